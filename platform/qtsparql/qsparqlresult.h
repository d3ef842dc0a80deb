// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QSPARQLRESULT_H
#define QSPARQLRESULT_H

#include <QtCore/QObject>
#include <QtCore/QVector>

#include "qsparqlbinding.h"
#include "qsparqlerror.h"
#include "qsparqlquery.h"

// The answer of one query. Queries run to completion in exec(), so a result is
// finished from the start; the row position starts before the first row.
class HALVANEQTSPARQL_EXPORT QSparqlResult : public QObject
{
    Q_OBJECT

public:
    ~QSparqlResult() override;

    QString query() const { return m_query; }
    bool hasError() const { return m_error.isValid(); }
    QSparqlError lastError() const { return m_error; }
    bool isFinished() const { return true; }
    void waitForFinished() {}

    // Moves to the next row; false past the last one.
    bool next();
    bool previous();
    bool first();
    int pos() const { return m_position; }
    int size() const { return m_rows.size(); }
    bool isValid() const { return m_position >= 0 && m_position < m_rows.size(); }

    // A value of the current row by column, or by variable name.
    QSparqlBinding binding(int column) const;
    QSparqlBinding binding(const QString &name) const;
    QVariant value(int column) const { return binding(column).value(); }
    QStringList variableNames() const { return m_names; }
    // An ASK query's answer.
    bool boolValue() const { return m_boolValue; }

Q_SIGNALS:
    void finished();

private:
    friend class QSparqlConnection;
    explicit QSparqlResult(const QString &query, QObject *parent = nullptr);

    QString m_query;
    QSparqlError m_error;
    QStringList m_names;
    QVector<QVector<QSparqlBinding>> m_rows;
    int m_position = -1;
    bool m_boolValue = false;
};

#endif // QSPARQLRESULT_H
