// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef SMSSERVICEPLUGIN_H
#define SMSSERVICEPLUGIN_H

#include "hvserviceplugin.h"

namespace Halvane {

// Received SMS of the communication history.
class SmsServicePlugin : public HVServicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVServicePluginInterface_iid)
    Q_INTERFACES(Halvane::HVServicePluginInterface)

public:
    QString key() const override;
    bool supports(const QString &itemType) const override;
    HVService *createService() override;
};

} // namespace Halvane

#endif // SMSSERVICEPLUGIN_H
