// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "smsserviceplugin.h"

#include "hvitemtype.h"
#include "smsservice.h"

namespace Halvane {

QString SmsServicePlugin::key() const
{
    return QStringLiteral("halvanesms");
}

bool SmsServicePlugin::supports(const QString &itemType) const
{
    return itemType == HVItemType::TypeMessage;
}

HVService *SmsServicePlugin::createService()
{
    return new SmsService;
}

} // namespace Halvane
