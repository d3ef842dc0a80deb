// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QSPARQLQUERY_H
#define QSPARQLQUERY_H

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QVariant>
#include <QtCore/QVector>

#include "halvaneqtsparql_export.h"

// A SPARQL text and what kind of statement it is.
class HALVANEQTSPARQL_EXPORT QSparqlQuery
{
public:
    enum StatementType {
        SelectStatement,
        AskStatement,
        ConstructStatement,
        DescribeStatement,
        InsertStatement,
        DeleteStatement
    };

    explicit QSparqlQuery(const QString &query = QString(), StatementType type = SelectStatement);

    QString query() const { return m_query; }
    void setQuery(const QString &query) { m_query = query; }
    StatementType type() const { return m_type; }
    void setType(StatementType type) { m_type = type; }
    // Insert and delete statements change the store.
    bool isUpdate() const { return m_type == InsertStatement || m_type == DeleteStatement; }

    // Replaces the placeholder ?:name with the value as a SPARQL term: a QUrl
    // as <iri>, a number or boolean as such, a date-time as xsd:dateTime,
    // anything else as an escaped string literal. Outside input goes in this way.
    void bindValue(const QString &name, const QVariant &value);
    // The text with every bound placeholder replaced.
    QString preparedQueryText() const;

    // A value as a SPARQL term, as bindValue() writes it; empty for an IRI
    // that cannot be written safely.
    static QString term(const QVariant &value);

private:
    QString m_query;
    StatementType m_type;
    // By name: an import binds thousands.
    QHash<QString, QVariant> m_bindings;
};

#endif // QSPARQLQUERY_H
