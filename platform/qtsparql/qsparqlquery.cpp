// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qsparqlquery.h"

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>

QSparqlQuery::QSparqlQuery(const QString &query, StatementType type)
    : m_query(query)
    , m_type(type)
{
}

void QSparqlQuery::bindValue(const QString &name, const QVariant &value)
{
    m_bindings.insert(name, value);
}

QString QSparqlQuery::term(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::QUrl: {
        const QString iri = value.toUrl().toString(QUrl::FullyEncoded);
        // Characters that would end or break an IRI reference.
        static const QRegularExpression forbidden(QStringLiteral("[<>\\\\\"{}|^`\\x00-\\x20]"));
        return iri.isEmpty() || iri.contains(forbidden) ? QString() : QLatin1Char('<') + iri + QLatin1Char('>');
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toString();
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 17);
    case QMetaType::QDateTime:
        return QLatin1Char('"') + value.toDateTime().toString(Qt::ISODateWithMs)
            + QLatin1String("\"^^xsd:dateTime");
    default:
        break;
    }
    QString text = value.toString();
    // The query goes to Tracker as a C string: a NUL would cut it short.
    text.remove(QChar(0));
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('"'), QLatin1String("\\\""));
    text.replace(QLatin1Char('\''), QLatin1String("\\'"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString QSparqlQuery::preparedQueryText() const
{
    if (m_bindings.isEmpty())
        return m_query;
    // One pass over the text, so that a bound value that reads like a
    // placeholder stays text. Whole names only: ?:id must not eat ?:identity.
    static const QRegularExpression placeholder(QStringLiteral("\\?:([A-Za-z0-9_]+)"));
    QHash<QString, QString> terms;
    terms.reserve(m_bindings.size());
    for (auto binding = m_bindings.cbegin(); binding != m_bindings.cend(); ++binding)
        terms.insert(binding.key(), term(binding.value()));
    QString text;
    int last = 0;
    auto matches = placeholder.globalMatch(m_query);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const auto bound = terms.constFind(match.captured(1));
        if (bound == terms.constEnd())
            continue;
        text += m_query.midRef(last, match.capturedStart() - last) + *bound;
        last = match.capturedEnd();
    }
    text += m_query.midRef(last);
    return text;
}
