// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QSPARQLBINDING_H
#define QSPARQLBINDING_H

#include <QtCore/QString>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

#include "halvaneqtsparql_export.h"

// One value of a result row: its variable name, its typed value and its data type.
class HALVANEQTSPARQL_EXPORT QSparqlBinding
{
public:
    QSparqlBinding() = default;
    QSparqlBinding(const QString &name, const QVariant &value, const QUrl &dataType = QUrl(),
                   bool blankNode = false);

    QString name() const { return m_name; }
    // URIs as QUrl, xsd:integer as qlonglong, xsd:double as double, xsd:boolean
    // as bool, xsd:dateTime as QDateTime, strings as QString; unbound: invalid.
    QVariant value() const { return m_value; }
    QUrl dataTypeUri() const { return m_dataType; }
    bool isUri() const;
    bool isLiteral() const;
    bool isBlank() const { return m_blank; }
    bool isValid() const { return m_value.isValid(); }

    // The value as SPARQL text: <uri>, _:blank, "literal" with a ^^<datatype>
    // for typed literals other than strings.
    QString toString() const;

private:
    QString m_name;
    QVariant m_value;
    QUrl m_dataType;
    bool m_blank = false;
};

#endif // QSPARQLBINDING_H
