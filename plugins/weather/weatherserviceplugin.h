// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef WEATHERSERVICEPLUGIN_H
#define WEATHERSERVICEPLUGIN_H

#include "hvserviceplugin.h"

namespace Halvane {

// The weather plug-in: one item per configured city, filled from a forecast
// downloaded over HTTP.
class WeatherServicePlugin : public HVServicePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVServicePluginInterface_iid)
    Q_INTERFACES(Halvane::HVServicePluginInterface)

public:
    WeatherServicePlugin();

    QString key() const override;
    bool supports(const QString &type) const override;
    HVService *createService() override;

private:
    QString pluginKey;
};

} // namespace Halvane

#endif // WEATHERSERVICEPLUGIN_H
