// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QSPARQLERROR_H
#define QSPARQLERROR_H

#include <QtCore/QString>

#include "halvaneqtsparql_export.h"

// What went wrong with a connection or a query.
class HALVANEQTSPARQL_EXPORT QSparqlError
{
public:
    enum ErrorType {
        NoError,
        ConnectionError,
        StatementError,
        TransactionError,
        UnknownError
    };

    QSparqlError(const QString &message = QString(), ErrorType type = NoError);

    QString message() const { return m_message; }
    ErrorType type() const { return m_type; }
    bool isValid() const { return m_type != NoError; }

private:
    QString m_message;
    ErrorType m_type;
};

#endif // QSPARQLERROR_H
