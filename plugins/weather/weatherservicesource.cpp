// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "weatherservicesource.h"
#include "weather_debug.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QFileSystemWatcher>
#include <QtCore/QRegularExpression>
#include <QtCore/QTextCodec>
#include <QtCore/QTimer>
#include <QtCore/QXmlStreamReader>
#include <QtCore/qnumeric.h>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkConfigurationManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <limits>

#include "hvglobal.h"
#include "hvitemtype.h"
#include "solpos.h"
#include "weatherservice.h"

namespace Halvane {

namespace {

const QString PluginKey = QStringLiteral("halvaneweatherplugin");
const QString DefaultWeatherHost = QStringLiteral("lumaforecastid.accu-weather.com");
const QString HostKey = QStringLiteral("weather/host");
const char TooLargeProperty[] = "halvaneReplyTooLarge";
const char CityIdProperty[] = "halvaneCityId";
// A stalled server must not keep a reply open for ever.
const int TransferTimeout = 30000;
// The longest a whole reply may take: less than the regular fetches'
// interval (120 s), so that the next one asks again.
const int WholeReplyTimeout = 90000;
const char TooSlowProperty[] = "halvaneReplyTooSlow";

// Whether an entry is the default city's: its mark after id, name, country
// and zone. A city whose id or name holds the word ("defaultville") is not.
bool isDefaultEntry(const QStringList &fields)
{
    for (int i = 4; i < fields.size(); ++i) {
        if (fields.at(i).trimmed() == QLatin1String("default"))
            return true;
    }
    return false;
}

// Without a bearer that reports changes (NetworkManager), Qt polls the
// interfaces every 10 s in a thread of its own, waking the device all day;
// a scan before each fetch keeps networkAccessible() current instead.
QNetworkAccessManager *createNetworkManager(QObject *parent)
{
    if (!qEnvironmentVariableIsSet("QT_BEARER_POLL_TIMEOUT"))
        qputenv("QT_BEARER_POLL_TIMEOUT", QByteArray::number(std::numeric_limits<int>::max()));
    return new QNetworkAccessManager(parent);
}

// "host" or "host:port", a name or an address; nothing that could carry a path,
// a query or user information into the request.
bool isValidHost(const QString &host)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?|\\[[0-9A-Fa-f:.]+\\])(:[0-9]{1,5})?$"));
    return pattern.match(host).hasMatch();
}

// The forecast documents declare their encoding; without a declaration they
// are read as Latin-1, as they always were.
QString decodeBody(const QByteArray &body)
{
    static const QRegularExpression declaration(
        QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9._-]+)[\"']"));
    const QRegularExpressionMatch match = declaration.match(QString::fromLatin1(body.left(200)));
    if (match.hasMatch()) {
        if (QTextCodec *codec = QTextCodec::codecForName(match.captured(1).toLatin1()))
            return codec->toUnicode(body);
    }
    // Without a declaration XML is UTF-8; Latin-1 stays for what is not.
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(body.constData(), body.size(), &state);
    return state.invalidChars == 0 ? text : QString::fromLatin1(body);
}

} // namespace

WeatherServiceSource::WeatherServiceSource(WeatherService *service)
    : HVServiceSource(service)
    , settingsKey(QStringLiteral("cities"))
    // On Linux the native format is INI, in "<config>/<organisation>/<application>.conf",
    // the application's settings file.
    , settings(HVSettings::applicationNames())
    , settingsWatcher(new QFileSystemWatcher(this))
    , service(service)
    , networkManager(createNetworkManager(this))
    , fetchTimer(new QTimer(this))
    , fetchInterval(60000)
    , defaultCityChanged(false)
{
    cityIds = readSettings();

    // The file must exist to be watched.
    const QString fileName = settings.fileName();
    if (!QFile::exists(fileName)) {
        QDir().mkpath(QFileInfo(fileName).absolutePath());
        QFile file(fileName);
        if (file.open(QIODevice::WriteOnly | QIODevice::Text))
            file.write(QByteArray());
        else
            qWarning() << "It is not possible to create setting file:" << fileName;
    }

    watchSettingsFile();
    connect(settingsWatcher, &QFileSystemWatcher::fileChanged, this, &WeatherServiceSource::settingsChanged);
    // A file replaced or created later is noticed through its directory.
    connect(settingsWatcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        const QString name = settings.fileName();
        if (!settingsWatcher->files().contains(name) && QFile::exists(name))
            settingsChanged();
    });
    connect(networkManager, &QNetworkAccessManager::finished, this, &WeatherServiceSource::replyFinished);
    connect(fetchTimer, &QTimer::timeout, this, QOverload<>::of(&WeatherServiceSource::fetchWeather));

    fetchTimer->start(2 * fetchInterval);
    QTimer::singleShot(5000, this, QOverload<>::of(&WeatherServiceSource::fetchWeather));
    QTimer::singleShot(15000, this, QOverload<>::of(&WeatherServiceSource::fetchWeather));
}

WeatherServiceSource::~WeatherServiceSource() = default;

void WeatherServiceSource::watchSettingsFile()
{
    // Editors and QSettings replace the file instead of writing it: re-arm the
    // watch on whatever file now has the name.
    const QString fileName = settings.fileName();
    if (settingsWatcher->files().contains(fileName))
        settingsWatcher->removePath(fileName);
    if (QFile::exists(fileName))
        settingsWatcher->addPath(fileName);
    const QString dir = QFileInfo(fileName).absolutePath();
    if (!settingsWatcher->directories().contains(dir) && QFileInfo(dir).isDir())
        settingsWatcher->addPath(dir);
}

bool WeatherServiceSource::syncSettings()
{
    // Checked before and after QSettings reads it: the file may be replaced
    // in between.
    QString problem;
    bool safe = settingsFileIsSafe(settings.fileName(), &problem);
    if (safe) {
        settings.sync();
        safe = settingsFileIsSafe(settings.fileName(), &problem);
    }
    if (!safe && !settingsRefused)
        qWarning() << "Weather settings refused, no cities:" << problem;
    settingsRefused = !safe;
    return safe;
}

QString WeatherServiceSource::citiesValue()
{
    // Another process may have written the file since it was last read.
    if (!syncSettings())
        return QString();
    // Once per new state: every retrieval reads the settings.
    if (settings.status() != settingsStatus) {
        settingsStatus = settings.status();
        if (settingsStatus == QSettings::AccessError)
            qWarning() << "Weather settings cannot be read, no cities:" << settings.fileName();
        else if (settingsStatus == QSettings::FormatError)
            qWarning() << "Weather settings are malformed, cities may be missing:" << settings.fileName();
    }
    const QVariant value = settings.value(settingsKey);
    // An unquoted value with commas reads as a list: the user meant one string.
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

QString WeatherServiceSource::weatherHost()
{
    QString host = qEnvironmentVariable("HALVANE_WEATHER_HOST");
    if (host.isEmpty()) {
        if (syncSettings())
            host = settings.value(HostKey).toString();
    }
    host = host.trimmed();
    if (host.isEmpty())
        return DefaultWeatherHost;
    if (!isValidHost(host)) {
        // Once per bad value, not at every fetch.
        if (host != rejectedHost)
            qWarning() << "Invalid weather host, using the default:" << host;
        rejectedHost = host;
        return DefaultWeatherHost;
    }
    return host;
}

QUrl WeatherServiceSource::forecastUrl(const QString &cityId)
{
    QUrl url(QStringLiteral("http://") + weatherHost() + QStringLiteral("/widget/lumaforecastid/weather-data.asp"));
    // The id is a query value: "&", "#", "/" or a blank in it stay inside it.
    url.setQuery(QStringLiteral("location=cityId:") + QString::fromLatin1(QUrl::toPercentEncoding(cityId))
                 + QStringLiteral("&metric=1"));
    return url;
}

QStringList WeatherServiceSource::readSettings()
{
    qCDebug(HALVANE_WEATHER) << "WeatherServiceSource::getCityIds()";
    QStringList ids;
    const QString value = citiesValue();
    if (value.isEmpty())
        return ids;

    const QStringList entries = value.split(QLatin1Char(';'));
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(QLatin1Char(','));
        const bool isDefault = isDefaultEntry(fields);
        for (const QString &field : fields) {
            if (!field.contains(QLatin1String("cityId")))
                continue;
            QString id = field;
            // "...,default; cityId:b" is written by hand as often as without the blank.
            id = id.remove(QLatin1String("cityId:")).trimmed();
            if (id.isEmpty()) {
                qWarning() << "City entry without an id skipped:" << entry;
                continue;
            }
            if (ids.contains(id)) {
                qCDebug(HALVANE_WEATHER) << "City id listed twice, taken once:" << id;
                continue;
            }
            ids.append(id);
            if (isDefault && id != defaultCityId) {
                previousDefaultCityId = defaultCityId;
                defaultCityId = id;
                defaultCityChanged = true;
                qCDebug(HALVANE_WEATHER) << "default cityId changed:" << id;
            }
        }
    }
    qCDebug(HALVANE_WEATHER) << "ids:" << ids;
    return ids;
}

void WeatherServiceSource::offlineInit()
{
    qCDebug(HALVANE_WEATHER) << Q_FUNC_INFO;
    const QString value = citiesValue();
    if (value.isEmpty())
        return;

    const QStringList entries = value.split(QLatin1Char(';'));
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(QLatin1Char(','));
        if (fields.size() < 4)
            continue;
        QString id = fields.at(0);
        id = id.remove(QLatin1String("cityId:")).trimmed();
        if (id.isEmpty())
            continue;

        HVWeather item;
        item.setId(HVItemId(id, PluginKey));
        item.setCity(fields.at(1));
        item.setCityId(id);
        item.setDescription(QStringLiteral("Disconnected"));
        item.setImage(QStringLiteral("qrc:/img/Weather-partlycloudy-Tiny-1.2.svg"));
        item.setTemperatureMax(QStringLiteral("-"));
        item.setTemperatureMin(QStringLiteral("-"));
        item.setWind(QStringLiteral("-"));
        item.setWindDirection(QStringLiteral("-"));
        if (isDefaultEntry(fields)) {
            previousDefaultCityId = defaultCityId;
            defaultCityId = id;
            item.setDefaultCity(true);
        }
        qCDebug(HALVANE_WEATHER) << "OFF city" << item.city();
        qCDebug(HALVANE_WEATHER) << "-- offlineInit -- id : " << id;
        qCDebug(HALVANE_WEATHER) << "OFFLINE id:" << id;

        bool known = false;
        for (const HVItem &stored : qAsConst(items)) {
            if (HVWeather(stored).cityId() == id) {
                known = true;
                break;
            }
        }
        if (known)
            continue;
        items.append(item);
        qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource]item added for: " << item.city();
        Q_EMIT itemsAdded(QList<HVItem>{item});
    }
}

void WeatherServiceSource::fetchWeather()
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QNetworkConfigurationManager().updateConfigurations();
    QT_WARNING_POP
    offlineInit();
    fetchWeather(cityIds);
}

void WeatherServiceSource::fetchWeather(const QStringList &cityIdList)
{
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    if (networkManager->networkAccessible() == QNetworkAccessManager::NotAccessible)
        return;
    QT_WARNING_POP

    for (const QString &cityId : cityIdList) {
        // No default city before, say.
        if (cityId.isEmpty())
            continue;
        // Every retrieval fetches: a server that hangs must not collect a
        // request per retrieval. The one on its way brings the forecast.
        if (pendingCityIds.contains(cityId)) {
            qCDebug(HALVANE_WEATHER) << "Forecast still on its way for" << cityId;
            continue;
        }
        QNetworkRequest request(forecastUrl(cityId));
        request.setTransferTimeout(TransferTimeout);
        // A moved service answers with a redirect; never to a scheme less safe.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        // Not compressed: Qt would unpack a whole reply before the size limit sees it.
        request.setRawHeader("Accept-Encoding", "identity");
        QNetworkReply *reply = networkManager->get(request);
        reply->setProperty(CityIdProperty, cityId);
        pendingCityIds.insert(cityId);
        // Stop an oversized download as soon as it shows, instead of buffering it.
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
            if (received > MaxReplySize || total > MaxReplySize) {
                reply->setProperty(TooLargeProperty, true);
                reply->abort();
            }
        });
        // The transfer timeout counts silence only: a server that sends a
        // byte now and then would keep the city waiting for hours, and its
        // later fetches with it.
        QTimer::singleShot(WholeReplyTimeout, reply, [reply]() {
            if (reply->isRunning()) {
                reply->setProperty(TooSlowProperty, true);
                reply->abort();
            }
        });
    }
}

void WeatherServiceSource::replyFinished(QNetworkReply *reply)
{
    if (!reply)
        return;
    const QString requestedCityId = reply->property(CityIdProperty).toString();
    pendingCityIds.remove(requestedCityId);

    if (reply->property(TooLargeProperty).toBool() || reply->bytesAvailable() > MaxReplySize) {
        qWarning() << "Forecast reply larger than 1 MiB discarded:" << reply->url().toString();
        reply->deleteLater();
        return;
    }
    if (reply->property(TooSlowProperty).toBool()) {
        qWarning() << "Forecast reply not complete after" << WholeReplyTimeout / 1000 << "s, discarded:"
                   << reply->url().toString();
        reply->deleteLater();
        return;
    }
    // Why a city shows no forecast (refused, timed out, not found): said as
    // a warning once while it lasts, not at every fetch.
    const bool failed = reply->error() != QNetworkReply::NoError;
    const bool newlyFailed = failed && !failingCityIds.contains(requestedCityId);
    if (failed) {
        failingCityIds.insert(requestedCityId);
        if (newlyFailed)
            qWarning() << reply->errorString();
        else
            qCDebug(HALVANE_WEATHER) << reply->errorString();
        reply->deleteLater();
    } else {
        failingCityIds.remove(requestedCityId);
    }

    // An aborted reply (timed out) is closed: nothing to read.
    QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
    const int nul = body.indexOf('\0');
    if (nul >= 0)
        body.truncate(nul);
    const QString text = decodeBody(body);
    if (text.isEmpty() && (!failed || newlyFailed))
        qWarning() << "Responce string is invalid";
    else if (text.isEmpty())
        qCDebug(HALVANE_WEATHER) << "Responce string is invalid";
    else
        parseXML(text, requestedCityId);

    reply->deleteLater();
}

void WeatherServiceSource::parseXML(const QString &text, const QString &requestedCityId)
{
    HVWeather dayItem;
    HVWeather nightItem;
    QString city;
    QString cityId;
    QString latitude;
    QString longitude;
    QString time;
    QString gmtOffset;
    QString date;

    // A forecast of several days: today's is the first; later ones would
    // otherwise overwrite it.
    int days = 0;
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringRef name = reader.name();
            if (name == QLatin1String("day") && ++days > 1)
                reader.skipCurrentElement();
            else if (name == QLatin1String("city"))
                city = reader.readElementText();
            else if (name == QLatin1String("cityId"))
                cityId = reader.readElementText();
            else if (name == QLatin1String("lat"))
                latitude = reader.readElementText();
            else if (name == QLatin1String("lon"))
                longitude = reader.readElementText();
            else if (name == QLatin1String("time"))
                time = reader.readElementText();
            else if (name == QLatin1String("currentGmtOffset"))
                gmtOffset = reader.readElementText();
            else if (name == QLatin1String("obsdate"))
                date = reader.readElementText();
            else if (name == QLatin1String("daytime"))
                readForecast(reader, dayItem);
            else if (name == QLatin1String("nighttime"))
                readForecast(reader, nightItem);
        }
        if (reader.hasError())
            qWarning() << "xml error:" << reader.errorString();
    }

    // An error page or an empty document names no city: nothing to show.
    if (cityId.isEmpty()) {
        qWarning() << "Forecast without a cityId dropped";
        return;
    }
    // Another city's forecast would stay as a row nobody configured.
    if (!requestedCityId.isEmpty() && cityId != requestedCityId) {
        qCDebug(HALVANE_WEATHER) << "Forecast for a city not requested dropped:" << cityId << "asked for" << requestedCityId;
        return;
    }
    // A download that was under way when its city was removed.
    if (!cityIds.contains(cityId)) {
        qCDebug(HALVANE_WEATHER) << "Forecast for a city no longer configured dropped:" << cityId;
        return;
    }

    const HVItemId id(cityId, PluginKey);
    dayItem.setId(id);
    nightItem.setId(id);

    const QTime observed = QTime::fromString(time, QStringLiteral("hh:mm"));
    QDateTime moment(QDate::fromString(date, QStringLiteral("M/d/yyyy")), observed.isValid() ? observed : QTime(0, 0),
                     Qt::LocalTime);

    HVWeather item = isDayTime(moment, longitude, latitude, gmtOffset) ? dayItem : nightItem;
    item.setCity(city);
    item.setCityId(cityId);
    if (cityId == defaultCityId) {
        qCDebug(HALVANE_WEATHER) << "set default city to " << city;
        item.setDefaultCity(true);
    }

    // A document cut short (a flaky network) leaves fields out: those keep
    // what the last whole forecast said rather than going blank.
    if (reader.hasError()) {
        for (const HVItem &storedItem : qAsConst(items)) {
            const HVWeather stored(storedItem);
            if (stored.cityId() != cityId)
                continue;
            if (item.temperatureMin().isEmpty())
                item.setTemperatureMin(stored.temperatureMin());
            if (item.temperatureMax().isEmpty())
                item.setTemperatureMax(stored.temperatureMax());
            if (item.wind().isEmpty())
                item.setWind(stored.wind());
            if (item.windDirection().isEmpty())
                item.setWindDirection(stored.windDirection());
            if (item.description().isEmpty())
                item.setDescription(stored.description());
            break;
        }
    }

    // A document that names the city and says nothing of its weather (a
    // provider's error page, "service unavailable for cityId 1") would blank
    // the last forecast.
    if (item.description().isEmpty() && item.temperatureMin().isEmpty() && item.temperatureMax().isEmpty()) {
        qWarning() << "Forecast without weather dropped for" << cityId;
        return;
    }

    bool isNew = false;
    bool isChanged = false;
    isNewOrChanged(item, isNew, isChanged);
    if (isNew)
        addItem(item);
    else if (isChanged)
        updateItem(item);
}

void WeatherServiceSource::readForecast(QXmlStreamReader &reader, HVWeather &item)
{
    const QString blockName = reader.name().toString();
    // A block left open ends with the document.
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == blockName)
            break;
        if (!reader.isStartElement())
            continue;
        const QStringRef name = reader.name();
        if (name == QLatin1String("txtshort"))
            item.setDescription(reader.readElementText());
        else if (name == QLatin1String("weathericon"))
            item.setImage(QStringLiteral("qrc:/img/") + reader.readElementText() + QStringLiteral(".svg"));
        else if (name == QLatin1String("hightemperature"))
            item.setTemperatureMax(reader.readElementText());
        else if (name == QLatin1String("lowtemperature"))
            item.setTemperatureMin(reader.readElementText());
        else if (name == QLatin1String("windspeed"))
            item.setWind(reader.readElementText());
        else if (name == QLatin1String("winddirection"))
            item.setWindDirection(reader.readElementText());
    }
    qCDebug(HALVANE_WEATHER) << blockName << item.description() << item.image() << item.temperatureMin() << item.temperatureMax()
             << item.wind() << item.windDirection();
}

bool WeatherServiceSource::isDayTime(QDateTime &moment, const QString &longitude, const QString &latitude,
                                     const QString &gmtOffset)
{
    bool longitudeOk = false;
    bool latitudeOk = false;
    bool offsetOk = false;
    const float lon = longitude.toFloat(&longitudeOk);
    const float lat = latitude.toFloat(&latitudeOk);
    const float offset = gmtOffset.toFloat(&offsetOk);
    // "nan" and "inf" convert, but are no position.
    if (!longitudeOk || !latitudeOk || !offsetOk || !qIsFinite(lon) || !qIsFinite(lat) || !qIsFinite(offset)) {
        qWarning() << "isDayTime()::Conversions are not ok";
        return true;
    }

    // The sun's position takes zones of at most twelve hours; New Zealand's
    // summer time (+13) and Kiribati (+14) are the same clock a day apart.
    float zone = offset;
    QDate date = moment.date();
    if (zone > 12 && zone <= 14) {
        zone -= 24;
        date = date.addDays(-1);
    }

    posdata position;
    S_init(&position);
    position.longitude = lon;
    position.latitude = lat;
    position.timezone = zone;
    position.year = date.isValid() ? date.year() : moment.date().year();
    position.daynum = date.isValid() ? date.dayOfYear() : moment.date().dayOfYear();
    position.hour = moment.time().hour();
    position.minute = moment.time().minute();
    position.second = moment.time().second();
    position.tilt = lat;

    const long code = S_solpos(&position);
    S_decode(code, &position);
    if (code != 0)
        return true;

    // Polar night and polar day: no window at all.
    if (position.sretr >= 2999.0f)
        return false;
    if (position.sretr <= -2999.0f)
        return true;

    // Compared on the day's own scale, not on the clock: a sunset after local
    // midnight (or a sunrise before it) must not wrap the window around.
    const qint64 sunrise = qint64(60.0f * position.sretr) * 1000;
    const qint64 sunset = qint64(60.0f * position.ssetr) * 1000;
    const qint64 now = moment.time().msecsSinceStartOfDay();
    if (sunrise >= now)
        return false;
    return now < sunset;
}

void WeatherServiceSource::isNewOrChanged(const HVWeather &item, bool &isNew, bool &isChanged) const
{
    qCDebug(HALVANE_WEATHER) << "bool WeatherServiceSource::isNewItem(HVWeather &item): " << item.city();
    for (const HVItem &storedItem : items) {
        const HVWeather stored(storedItem);
        if (stored.cityId() != item.cityId())
            continue;
        isNew = false;
        qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource] it is not new";
        isChanged = !(stored.temperatureMin() == item.temperatureMin()
                      && stored.temperatureMax() == item.temperatureMax()
                      && stored.description() == item.description() && stored.wind() == item.wind()
                      && stored.windDirection() == item.windDirection()
                      && stored.defaultCity() == item.defaultCity());
        if (isChanged)
            qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource] it is changed";
        else
            qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource] it is not changed";
        return;
    }
    qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource] it is  new";
    isNew = true;
    isChanged = true;
}

void WeatherServiceSource::addItem(HVWeather &item)
{
    qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource] addItem(" << item.city() << ")";
    items.append(item);
    Q_EMIT itemsAdded(QList<HVItem>{item});
}

void WeatherServiceSource::updateItem(HVWeather &item)
{
    qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource] updateItem(" << item.city() << ")";
    for (HVItem &storedItem : items) {
        HVWeather stored(storedItem);
        if (stored.cityId() != item.cityId())
            continue;
        stored.setTemperatureMin(item.temperatureMin());
        stored.setTemperatureMax(item.temperatureMax());
        stored.setWind(item.wind());
        stored.setWindDirection(item.windDirection());
        stored.setDescription(item.description());
        stored.setImage(item.image());
        stored.setDefaultCity(item.defaultCity());
        storedItem = stored;
        Q_EMIT itemsChanged(QList<HVItem>{storedItem});
    }
}

void WeatherServiceSource::settingsChanged()
{
    watchSettingsFile();

    qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource]old set" << cityIds;
    const QStringList newIds = readSettings();
    qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource]new set" << newIds;

    QStringList removed;
    for (int i = 0; i < cityIds.size();) {
        if (newIds.contains(cityIds.at(i))) {
            ++i;
            continue;
        }
        removed.append(cityIds.takeAt(i));
    }
    QStringList added;
    for (const QString &id : newIds) {
        if (cityIds.contains(id))
            continue;
        cityIds.append(id);
        added.append(id);
    }

    for (QString id : qAsConst(removed)) {
        id.remove(QLatin1String("cityId:"));
        removeCity(id);
    }

    if (defaultCityChanged && !items.isEmpty()) {
        for (HVItem &storedItem : items) {
            HVWeather stored(storedItem);
            QList<HVItem> changed;
            if (stored.defaultCity()) {
                qCDebug(HALVANE_WEATHER) << "unset default city from " << stored.cityId();
                stored.setDefaultCity(false);
                storedItem = stored;
                changed.append(storedItem);
            }
            if (stored.cityId() == defaultCityId) {
                stored.setDefaultCity(true);
                qCDebug(HALVANE_WEATHER) << "set default city to::" << defaultCityId;
                storedItem = stored;
                changed.append(storedItem);
            }
            Q_EMIT itemsChanged(changed);
        }
    }

    if (!added.isEmpty())
        fetchWeather(added);

    if (defaultCityChanged) {
        fetchWeather(QStringList{defaultCityId, previousDefaultCityId});
        defaultCityChanged = false;
    }
}

void WeatherServiceSource::removeCity(const QString &cityid)
{
    // Dropped from the items too, or the next retrieval would bring it back.
    for (int i = 0; i < items.size();) {
        const HVWeather stored(items.at(i));
        if (stored.cityId() != cityid) {
            ++i;
            continue;
        }
        qCDebug(HALVANE_WEATHER) << "[WeatherServiceSource] remove: " << stored.city();
        items.removeAt(i);
        Q_EMIT itemsRemoved(QList<HVItem>{stored});
    }
}

QList<HVItem> WeatherServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    Q_UNUSED(fromDateTime)
    Q_UNUSED(toDateTime)
    fetchWeather();
    return items;
}

bool WeatherServiceSource::synchronize()
{
    Q_EMIT service->actionCompleted(true);
    return true;
}

} // namespace Halvane
