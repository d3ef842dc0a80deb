// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef EVENTSERVICEPLUGIN_H
#define EVENTSERVICEPLUGIN_H

#include "hvserviceplugin.h"

namespace Halvane {

// Calendar events and to-dos of the device calendar.
class EventServicePlugin : public HVServicePlugin
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

#endif // EVENTSERVICEPLUGIN_H
