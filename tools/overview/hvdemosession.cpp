// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvdemosession.h"

#include <cstdio>

#include "hvdemoprofile.h"
#include "hvdemoweatherserver.h"

namespace Halvane {

HVDemoSession::HVDemoSession(const char *program, const QString &samples)
    : m_program(program)
    , m_samples(qEnvironmentVariableIsEmpty("HALVANE_DEMO_DATA") ? samples : qEnvironmentVariable("HALVANE_DEMO_DATA"))
{
}

// The weather server goes before the profile, the reverse of their start.
HVDemoSession::~HVDemoSession()
{
    m_weather.reset();
    m_profile.reset();
}

bool HVDemoSession::start()
{
    m_profile = std::make_unique<HVDemoProfile>(m_samples);
    if (!m_profile->prepare()) {
        std::fprintf(stderr, "%s: cannot prepare the demo: %s\n", m_program, qPrintable(m_profile->errorString()));
        return false;
    }
    m_weather = std::make_unique<HVDemoWeatherServer>(m_samples + QLatin1String("/weather"));
    if (m_weather->start())
        qputenv("HALVANE_WEATHER_HOST", m_weather->host().toLatin1());
    else
        std::fprintf(stderr, "%s: the demo's forecast server did not start: %s\n", m_program,
                     qPrintable(m_weather->errorString()));
    return true;
}

} // namespace Halvane
