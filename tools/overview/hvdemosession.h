// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVDEMOSESSION_H
#define HVDEMOSESSION_H

#include <QtCore/QString>

#include <memory>

namespace Halvane {

class HVDemoProfile;
class HVDemoWeatherServer;

// The demo as a program runs it: the throw-away profile filled with the
// sample data, and the sample forecasts served on loopback in place of the
// provider's (HALVANE_WEATHER_HOST points there). The program deletes its
// sources before the session goes, so their stores close first.
class HVDemoSession
{
public:
    // program names the messages; samples is the default sample directory,
    // HALVANE_DEMO_DATA overrides it.
    HVDemoSession(const char *program, const QString &samples);
    ~HVDemoSession();

    // False, with a message on standard error, when the profile cannot be made.
    // A forecast server that does not start is a message only.
    bool start();

private:
    const char *m_program;
    QString m_samples;
    std::unique_ptr<HVDemoProfile> m_profile;
    std::unique_ptr<HVDemoWeatherServer> m_weather;
};

} // namespace Halvane

#endif // HVDEMOSESSION_H
