// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemdetail.h"

namespace Halvane {

HVItemDetail::HVItemDetail(const QString &definitionName)
    : m_definitionName(definitionName)
{
}

void HVItemDetail::setValue(const QString &field, const QVariant &value)
{
    m_values.insert(field, value);
}

QVariant HVItemDetail::variantValue(const QString &field) const
{
    return m_values.value(field);
}

QString HVItemDetail::value(const QString &field) const
{
    return m_values.value(field).toString();
}

bool HVItemDetail::hasValue(const QString &field) const
{
    return m_values.contains(field);
}

bool HVItemDetail::operator==(const HVItemDetail &other) const
{
    return m_definitionName == other.m_definitionName && m_values == other.m_values;
}

} // namespace Halvane
