// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "feedsserviceplugin.h"

#include "feedsservice.h"
#include "hvitemtype.h"

namespace Halvane {

namespace {
const char PluginKey[] = "halvanefeedsplugin";
}

QString FeedsServicePlugin::key() const
{
    return QLatin1String(PluginKey);
}

bool FeedsServicePlugin::supports(const QString &type) const
{
    return type == HVItemType::TypeFeed;
}

HVService *FeedsServicePlugin::createService()
{
    return new FeedsService;
}

} // namespace Halvane
