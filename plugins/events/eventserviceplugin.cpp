// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "eventserviceplugin.h"

#include "eventservice.h"
#include "hvitemtype.h"

namespace Halvane {

static const QString PluginKey = QStringLiteral("halvaneevent");

QString EventServicePlugin::key() const
{
    return PluginKey;
}

bool EventServicePlugin::supports(const QString &itemType) const
{
    return itemType == HVItemType::TypeEvent;
}

HVService *EventServicePlugin::createService()
{
    return new EventService;
}

} // namespace Halvane
