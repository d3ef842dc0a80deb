// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVWEATHER_H
#define HVWEATHER_H

#include "hvitem.h"
#include "hvitemtype.h"

namespace Halvane {

/*!
 * A weather forecast for one city. A view of an HVItem of type HVItemType::TypeWeather.
 */
class HALVANECORE_EXPORT HVWeather : public HVItem
{
public:
    // An empty record of this type.
    HVWeather();
    // Views any record as this type, keeping all its values.
    explicit HVWeather(const HVItem &item);

    // The forecast text is the record's description.
    QString city() const;
    void setCity(const QString &city);
    QString cityId() const;
    void setCityId(const QString &cityId);
    QString image() const;
    void setImage(const QString &image);
    QString temperature() const;
    void setTemperature(const QString &temperature);
    QString temperatureMin() const;
    void setTemperatureMin(const QString &temperatureMin);
    QString temperatureMax() const;
    void setTemperatureMax(const QString &temperatureMax);
    QString wind() const;
    void setWind(const QString &wind);
    QString windDirection() const;
    void setWindDirection(const QString &windDirection);
    bool defaultCity() const;
    void setDefaultCity(bool defaultCity);
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVWeather, Q_MOVABLE_TYPE);

#endif // HVWEATHER_H
