// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvservicesource.h"

namespace Halvane {

HVServiceSource::HVServiceSource(HVService *service)
    : QObject(nullptr)
    , ownerService(service)
{
    Q_UNUSED(ownerService)
}

HVServiceSource::~HVServiceSource() = default;

QList<HVItem> HVServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    Q_UNUSED(fromDateTime)
    Q_UNUSED(toDateTime)
    return QList<HVItem>();
}

bool HVServiceSource::synchronize()
{
    return false;
}

} // namespace Halvane
