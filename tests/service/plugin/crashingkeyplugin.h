// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef CRASHINGKEYPLUGIN_H
#define CRASHINGKEYPLUGIN_H

#include "hvserviceplugin.h"

// A service plug-in that dies when asked for its key, as a broken one would.
class CrashingKeyPlugin : public Halvane::HVServicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVServicePluginInterface_iid)
    Q_INTERFACES(Halvane::HVServicePluginInterface)

public:
    QString key() const override;
    bool supports(const QString &itemType) const override;
    Halvane::HVService *createService() override;
};

#endif // CRASHINGKEYPLUGIN_H
