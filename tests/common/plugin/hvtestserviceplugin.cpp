// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvtestserviceplugin.h"

#include <dlfcn.h>

#include "hvitemtype.h"
#include "hvtestservice.h"

namespace Halvane {

// The file this copy of the plug-in was loaded from: tests tell copies apart by it.
static QString libraryFile()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&libraryFile), &info) && info.dli_fname)
        return QString::fromLocal8Bit(info.dli_fname);
    return QString();
}

QString HVTestServicePlugin::key() const
{
    return QStringLiteral(HVTEST_KEY);
}

bool HVTestServicePlugin::supports(const QString &itemType) const
{
    return itemType == HVTEST_ITEM_TYPE;
}

HVService *HVTestServicePlugin::createService()
{
    auto *service = new HVTestService(QStringLiteral(HVTEST_KEY), HVTEST_ITEM_TYPE, HVTEST_HAS_SOURCE);
    service->setObjectName(libraryFile());
    return service;
}

} // namespace Halvane
