// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qsparqlresult.h"

QSparqlResult::QSparqlResult(const QString &query, QObject *parent)
    : QObject(parent)
    , m_query(query)
{
}

QSparqlResult::~QSparqlResult() = default;

bool QSparqlResult::next()
{
    if (m_position < m_rows.size())
        ++m_position;
    return m_position < m_rows.size();
}

bool QSparqlResult::previous()
{
    if (m_position >= 0)
        --m_position;
    return m_position >= 0;
}

bool QSparqlResult::first()
{
    m_position = m_rows.isEmpty() ? -1 : 0;
    return !m_rows.isEmpty();
}

QSparqlBinding QSparqlResult::binding(int column) const
{
    if (!isValid() || column < 0 || column >= m_rows.at(m_position).size())
        return QSparqlBinding();
    return m_rows.at(m_position).at(column);
}

QSparqlBinding QSparqlResult::binding(const QString &name) const
{
    return binding(m_names.indexOf(name));
}
