// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The weather source's settings readers: the input is the settings file as a
// user or another program may leave it. A line "----" splits it into the file
// as first read and the file after an edit while the source runs.
#include <QtCore/QFile>
#include <QtNetwork/QNetworkAccessManager>

#include "fuzzsupport.h"
#include "weatherservice.h"
#include "weatherservicesource.h"

using namespace Halvane;

namespace {

QString settingsFile()
{
    return HVFuzz::scratchDirectory() + QStringLiteral("/config/halvane/halvane.conf");
}

void writeFile(const QByteArray &content)
{
    // QSettings trusts size and time to tell whether a file changed: every
    // write gets a time of its own.
    static qint64 seconds = 1000000000;
    QFile file(settingsFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    file.write(content);
    file.setFileTime(QDateTime::fromSecsSinceEpoch(++seconds), QFileDevice::FileModificationTime);
}

void checkItems(WeatherServiceSource *source)
{
    const QList<HVItem> items = source->retrieveItemList(QDateTime(), QDateTime());
    for (const HVItem &item : items) {
        const HVWeather weather(item);
        // An id never reaches the request anywhere but in its query value.
        const QUrl url = source->forecastUrl(weather.cityId());
        if (!url.isValid() || url.host() != QLatin1String("127.0.0.1") || url.hasFragment()
            || url.path() != QLatin1String("/widget/lumaforecastid/weather-data.asp"))
            abort();
    }
}

WeatherServiceSource *source()
{
    // One source for the run (creating its network manager is slow); each
    // input starts from an empty settings file.
    static WeatherService *service = nullptr;
    if (!service) {
        writeFile(QByteArray());
        service = new WeatherService;
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        service->source()->findChild<QNetworkAccessManager *>()->setNetworkAccessible(
            QNetworkAccessManager::NotAccessible);
        QT_WARNING_POP
    }
    return static_cast<WeatherServiceSource *>(service->source());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(HVFuzz::scratchDirectory() + QStringLiteral("/config")));
    qputenv("HALVANE_WEATHER_HOST", "127.0.0.1:9");
    HVFuzz::application();
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
    QDir().mkpath(HVFuzz::scratchDirectory() + QStringLiteral("/config/halvane"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const int split = input.indexOf("\n----\n");
    WeatherServiceSource *weather = source();

    writeFile(split < 0 ? input : input.left(split));
    weather->settingsChanged();
    weather->offlineInit();
    checkItems(weather);

    if (split >= 0) {
        writeFile(input.mid(split + 6));
        weather->settingsChanged();
        weather->offlineInit();
        checkItems(weather);
    }

    // Back to no cities at all.
    writeFile(QByteArray());
    weather->settingsChanged();
    const QList<HVItem> left = weather->retrieveItemList(QDateTime(), QDateTime());
    for (const HVItem &item : left)
        weather->removeCity(HVWeather(item).cityId());
    return 0;
}
