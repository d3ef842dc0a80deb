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
    using Shared = HVGlobalStatic<HVItemModel, SharedModelTag>;
    HVItemModel *shared = Shared::instance([] {
        auto *model = new HVItemModel(nullptr);
        // A user interface may delete it (it is any proxy's sourceModel()).
        QObject::connect(model, &QObject::destroyed, [model] { Shared::forget(model); });
        return model;
    });
    return new HVProxyItemModel(itemType, shared, shared);
}

QStringList HVItemModelFactory::supportedItemTypes()
{
    return HVItemModel::getSupportedItemTypes();
}

} // namespace Halvane
