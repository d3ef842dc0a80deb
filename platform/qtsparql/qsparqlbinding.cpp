// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qsparqlbinding.h"

#include <QtCore/QDateTime>

QSparqlBinding::QSparqlBinding(const QString &name, const QVariant &value, const QUrl &dataType, bool blankNode)
    : m_name(name)
    , m_value(value)
    , m_dataType(dataType)
    , m_blank(blankNode)
{
}

bool QSparqlBinding::isUri() const
{
    return m_value.userType() == QMetaType::QUrl;
}

bool QSparqlBinding::isLiteral() const
{
    return m_value.isValid() && !isUri() && !m_blank;
}

QString QSparqlBinding::toString() const
{
    if (!m_value.isValid())
        return QString();
    if (m_blank)
        return QLatin1String("_:") + m_value.toString();
    if (isUri())
        return QLatin1Char('<') + m_value.toUrl().toString() + QLatin1Char('>');

    QString text;
    switch (m_value.userType()) {
    case QMetaType::QDateTime:
        text = m_value.toDateTime().toString(Qt::ISODateWithMs);
        break;
    case QMetaType::Bool:
        text = m_value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        break;
    default:
        text = m_value.toString();
        break;
    }
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    QString literal = QLatin1Char('"') + text + QLatin1Char('"');
    // Compared as a URL: its text form costs more than the literal itself.
    static const QUrl stringType(QStringLiteral("http://www.w3.org/2001/XMLSchema#string"));
    if (m_dataType.isValid() && m_dataType != stringType)
        literal += QLatin1String("^^<") + m_dataType.toString() + QLatin1Char('>');
    return literal;
}
