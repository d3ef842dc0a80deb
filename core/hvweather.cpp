// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvweather.h"

namespace Halvane {

static const QString CityField = QStringLiteral("city");
static const QString CityIdField = QStringLiteral("cityId");
static const QString ImageField = QStringLiteral("image");
static const QString TemperatureField = QStringLiteral("temperature");
static const QString TemperatureMinField = QStringLiteral("temperatureMin");
static const QString TemperatureMaxField = QStringLiteral("temperatureMax");
static const QString WindField = QStringLiteral("wind");
static const QString WindDirectionField = QStringLiteral("windDirection");
static const QString DefaultCityField = QStringLiteral("defaultCity");

HVWeather::HVWeather()
    : HVItem(HVItemType::TypeWeather)
{
}

HVWeather::HVWeather(const HVItem &item)
    : HVItem(item, HVItemType::TypeWeather)
{
}

QString HVWeather::city() const
{
    return value(CityField).toString();
}

void HVWeather::setCity(const QString &city)
{
    setValue(CityField, city);
}

QString HVWeather::cityId() const
{
    return value(CityIdField).toString();
}

void HVWeather::setCityId(const QString &cityId)
{
    setValue(CityIdField, cityId);
}

QString HVWeather::image() const
{
    return value(ImageField).toString();
}

void HVWeather::setImage(const QString &image)
{
    setValue(ImageField, image);
}

QString HVWeather::temperature() const
{
    return value(TemperatureField).toString();
}

void HVWeather::setTemperature(const QString &temperature)
{
    setValue(TemperatureField, temperature);
}

QString HVWeather::temperatureMin() const
{
    return value(TemperatureMinField).toString();
}

void HVWeather::setTemperatureMin(const QString &temperatureMin)
{
    setValue(TemperatureMinField, temperatureMin);
}

QString HVWeather::temperatureMax() const
{
    return value(TemperatureMaxField).toString();
}

void HVWeather::setTemperatureMax(const QString &temperatureMax)
{
    setValue(TemperatureMaxField, temperatureMax);
}

QString HVWeather::wind() const
{
    return value(WindField).toString();
}

void HVWeather::setWind(const QString &wind)
{
    setValue(WindField, wind);
}

QString HVWeather::windDirection() const
{
    return value(WindDirectionField).toString();
}

void HVWeather::setWindDirection(const QString &windDirection)
{
    setValue(WindDirectionField, windDirection);
}

bool HVWeather::defaultCity() const
{
    return value(DefaultCityField).toBool();
}

void HVWeather::setDefaultCity(bool defaultCity)
{
    setValue(DefaultCityField, defaultCity);
}

} // namespace Halvane
