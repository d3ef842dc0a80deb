// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVTESTSERVICEPLUGIN_H
#define HVTESTSERVICEPLUGIN_H

#include "hvserviceplugin.h"

namespace Halvane {

// A service plug-in for tests; its key, item type and whether it has a source
// are set when it is built.
class HVTestServicePlugin : public HVServicePlugin
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

#endif // HVTESTSERVICEPLUGIN_H
