// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "weatherserviceplugin.h"

#include "hvitemtype.h"
#include "weatherservice.h"

namespace Halvane {

WeatherServicePlugin::WeatherServicePlugin()
    : pluginKey(QStringLiteral("halvaneweatherplugin"))
{
}

QString WeatherServicePlugin::key() const
{
    return pluginKey;
}

bool WeatherServicePlugin::supports(const QString &type) const
{
    return type == HVItemType::TypeWeather;
}

HVService *WeatherServicePlugin::createService()
{
    return new WeatherService;
}

} // namespace Halvane
