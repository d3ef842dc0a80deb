// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvtestservice.h"

#include "hvtestservicesource.h"

namespace Halvane {

HVTestService::HVTestService(const QString &key, const QString &itemType, bool withSource)
    : m_key(key)
{
    if (withSource)
        m_source = new HVTestServiceSource(this, key, itemType);
}

HVTestService::~HVTestService()
{
    delete m_source;
}

QString HVTestService::service() const
{
    return m_key;
}

bool HVTestService::hasSource() const
{
    return m_source != nullptr;
}

HVServiceSource *HVTestService::source() const
{
    return m_source;
}

bool HVTestService::cancelOperation()
{
    return true;
}

} // namespace Halvane
