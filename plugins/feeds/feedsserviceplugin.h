// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef FEEDSSERVICEPLUGIN_H
#define FEEDSSERVICEPLUGIN_H

#include "hvserviceplugin.h"

namespace Halvane {

// Downloaded feed messages of the Tracker store.
class FeedsServicePlugin : public HVServicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVServicePluginInterface_iid)
    Q_INTERFACES(Halvane::HVServicePluginInterface)

public:
    QString key() const override;
    bool supports(const QString &type) const override;
    HVService *createService() override;
};

} // namespace Halvane

#endif // FEEDSSERVICEPLUGIN_H
