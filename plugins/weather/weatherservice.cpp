// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "weatherservice.h"

#include "weatherservicesource.h"

namespace Halvane {

WeatherService::WeatherService()
    : serviceName(QStringLiteral("weather"))
    , m_source(nullptr)
{
    m_source = new WeatherServiceSource(this);
}

WeatherService::~WeatherService()
{
    delete m_source;
    m_source = nullptr;
}

QString WeatherService::service() const
{
    return serviceName;
}

bool WeatherService::hasSource() const
{
    return true;
}

HVServiceSource *WeatherService::source() const
{
    return m_source;
}

bool WeatherService::cancelOperation()
{
    // Downloads end by themselves; there is nothing to cancel.
    return true;
}

} // namespace Halvane
