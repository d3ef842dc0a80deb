// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef WEATHERSERVICESOURCE_H
#define WEATHERSERVICESOURCE_H

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QSettings>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include "hvservicesource.h"
#include "hvsettings.h"
#include "hvweather.h"

class QFileSystemWatcher;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;
class QXmlStreamReader;

namespace Halvane {

class WeatherService;

/*
 * One weather item per city of the settings key "cities", first as an offline
 * placeholder, then filled from the forecast document downloaded for the city.
 * The settings file is watched: cities added, removed or marked as default take
 * effect at once. Whether an item shows the day or the night forecast follows
 * the sun at the city when the forecast was observed.
 */
class WeatherServiceSource : public HVServiceSource
{
    Q_OBJECT

public:
    explicit WeatherServiceSource(WeatherService *service);
    ~WeatherServiceSource() override;

    // The weather service's host, "host[:port]": $HALVANE_WEATHER_HOST, else
    // the settings key "weather/host", else the forecast provider's.
    QString weatherHost();
    // The forecast request for one city.
    QUrl forecastUrl(const QString &cityId);

    // Whether the moment (local time at the city) lies between sunrise and sunset.
    bool isDayTime(QDateTime &moment, const QString &longitude, const QString &latitude, const QString &gmtOffset);

    // Replies larger than this are discarded unread.
    static const qint64 MaxReplySize = 1024 * 1024;

public Q_SLOTS:
    // Every item, whatever the range; starts new downloads.
    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override;
    bool synchronize() override;
    void replyFinished(QNetworkReply *reply);
    void fetchWeather();
    void fetchWeather(const QStringList &cityIdList);
    void removeCity(const QString &cityid);
    void settingsChanged();
    void offlineInit();

private:
    // Re-reads the file; false (with a warning once) when it must not be decoded.
    bool syncSettings();
    QString citiesValue();
    QStringList readSettings();
    // A forecast for another city than requestedCityId (when given) is dropped.
    void parseXML(const QString &text, const QString &requestedCityId = QString());
    void readForecast(QXmlStreamReader &reader, HVWeather &item);
    void isNewOrChanged(const HVWeather &item, bool &isNew, bool &isChanged) const;
    void addItem(HVWeather &item);
    void updateItem(HVWeather &item);
    void watchSettingsFile();

    QString settingsKey;
    HVSettings settings;
    QStringList cityIds;
    QFileSystemWatcher *settingsWatcher;
    WeatherService *service;
    QNetworkAccessManager *networkManager;
    QList<HVItem> items;
    QTimer *fetchTimer;
    int fetchInterval;
    QString defaultCityId;
    QString previousDefaultCityId;
    bool defaultCityChanged;
    // Cities with a request on its way: at most one each.
    QSet<QString> pendingCityIds;
    // Cities whose last fetch failed: their next failures are no news.
    QSet<QString> failingCityIds;
    QSettings::Status settingsStatus = QSettings::NoError;
    bool settingsRefused = false;
    QString rejectedHost;
};

} // namespace Halvane

#endif // WEATHERSERVICESOURCE_H
