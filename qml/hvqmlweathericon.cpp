// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlweathericon.h"

#include <QtCore/QFileInfo>
#include <QtCore/QUrl>

namespace Halvane {

namespace {

const char *dayName(int number)
{
    switch (number) {
    case 1: case 2: case 30: case 33: case 34:
        return "weather-clear";
    case 3: case 4: case 5: case 35: case 36: case 37:
        return "weather-few-clouds";
    case 6: case 38:
        return "weather-clouds";
    case 7: case 8:
        return "weather-overcast";
    case 11:
        return "weather-fog";
    case 12: case 18:
        return "weather-showers";
    case 13: case 14: case 39: case 40:
        return "weather-showers-scattered";
    case 15: case 16: case 17: case 41: case 42:
        return "weather-storm";
    case 19: case 20: case 21: case 43:
        return "weather-snow-scattered";
    case 22: case 23: case 44:
        return "weather-snow";
    case 24: case 26:
        return "weather-freezing-rain";
    case 25:
        return "weather-hail";
    case 29:
        return "weather-snow-rain";
    case 31:
        return "weather-snow";
    case 32:
        return "weather-clear-wind";
    }
    return "weather-none-available";
}

} // namespace

int HVQmlWeatherIcon::iconNumber(const QString &image)
{
    const QString base = QFileInfo(QUrl(image).path()).completeBaseName();
    bool ok = false;
    const int number = base.toInt(&ok);
    return ok && number > 0 ? number : -1;
}

QString HVQmlWeatherIcon::name(const QString &image) const
{
    return name(image, iconNumber(image) >= 33);
}

QString HVQmlWeatherIcon::name(const QString &image, bool night) const
{
    QString icon = QLatin1String(dayName(iconNumber(image)));
    // Themes have night variants of the sky, not of rain or snow alone.
    static const QStringList withNight = {QStringLiteral("weather-clear"), QStringLiteral("weather-few-clouds"),
                                          QStringLiteral("weather-clouds"), QStringLiteral("weather-clear-wind"),
                                          QStringLiteral("weather-showers-scattered"),
                                          QStringLiteral("weather-snow-scattered"), QStringLiteral("weather-storm")};
    if (night && withNight.contains(icon))
        icon += QLatin1String("-night");
    return icon;
}

} // namespace Halvane
