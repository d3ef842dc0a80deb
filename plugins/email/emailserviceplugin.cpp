// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "emailserviceplugin.h"

#include "emailservice.h"
#include "hvitemtype.h"

namespace Halvane {

QString EmailServicePlugin::key() const
{
    return QStringLiteral("halvaneemailplugin");
}

bool EmailServicePlugin::supports(const QString &itemType) const
{
    return itemType == HVItemType::TypeMessage;
}

HVService *EmailServicePlugin::createService()
{
    return new EmailService;
}

} // namespace Halvane
