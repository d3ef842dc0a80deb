// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemmodelfactory.h"

#include "hvglobalstatic_p.h"
#include "hvitemmodel.h"
#include "hvproxyitemmodel.h"

namespace Halvane {

namespace {
struct SharedModelTag;
}

HVProxyItemModel *HVItemModelFactory::createModel(const QString &itemType)
{
    // Null once destroyed at unload: the proxy then has no source and no parent.
    HVItemModel *shared = HVGlobalStatic<HVItemModel, SharedModelTag>::instance([] { return new HVItemModel(nullptr); });
    return new HVProxyItemModel(itemType, shared, shared);
}

QStringList HVItemModelFactory::supportedItemTypes()
{
    return HVItemModel::getSupportedItemTypes();
}

} // namespace Halvane
