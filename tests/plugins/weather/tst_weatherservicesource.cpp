// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QSaveFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QUrlQuery>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtTest/QtTest>

#include <cstdio>
#include <memory>
#include <unistd.h>

#include "forecastserver.h"
#include "hvitemtype.h"
#include "hvweather.h"
#include "solpos.h"
#include "weatherservice.h"
#include "weatherservicesource.h"

using namespace Halvane;

namespace {

const ForecastPlace Paris{"1", "Paris", "48.86", "2.35", "1", "6/21/2024", "12:00"};
const Forecast Sunny{"Sunny", "01", "27", "15", "11", "SW"};
const Forecast Clear{"Clear", "33", "26", "14", "6", "W"};

// Captures what is written to standard error (S_decode's messages) while alive.
class StderrCapture
{
public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        m_file.open();
        dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved = -1;
};

QList<HVWeather> weatherItems(const QList<HVItem> &items)
{
    QList<HVWeather> result;
    for (const HVItem &item : items)
        result.append(HVWeather(item));
    return result;
}

HVWeather findCity(const QList<HVItem> &items, const QString &cityId)
{
    for (const HVItem &item : items) {
        if (HVWeather(item).cityId() == cityId)
            return HVWeather(item);
    }
    return HVWeather();
}

} // namespace

// The weather source against a forecast server on loopback and a real settings
// file in a temporary configuration directory.
class TestWeatherServiceSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void settingsGivePlaceholders();
    void settingsAreReadAsUtf8();
    void forecastFillsPlaceholderOnce();
    void badReplies_data();
    void badReplies();
    void cityIdStaysInsideTheQuery();
    void invalidHostFallsBack();
    void settingsEditsWhileRunning();
    void lateForecastOfRemovedCityIsDropped();
    void forecastForAnotherCityIsDropped();
    void errorPageKeepsTheForecast();
    void movedServiceIsFollowed();
    void blankBeforeAnEntryIsNoPartOfItsId();
    void defaultIsTheMarkNotTheWord();
    void failingCityWarnsOnce();
    void dayOrNightFromTheSun_data();
    void dayOrNightFromTheSun();
    void badPositionMeansDay();
    void forecastByObservationTime();

private:
    void writeSettings(const QString &cities);
    void startSource();
    // Waits until every download of the source has been handled.
    void waitIdle();
    // Fetches the given cities and waits until their replies have been handled.
    void fetchAndWait(const QStringList &cityIds);
    // The source's items; the downloads the retrieval starts are waited for.
    QList<HVItem> currentItems();
    QString settingsFile() const;

    QTemporaryDir m_config;
    ForecastServer m_server;
    std::unique_ptr<WeatherService> m_service;
    WeatherServiceSource *m_source = nullptr;
    std::unique_ptr<QSignalSpy> m_added;
    std::unique_ptr<QSignalSpy> m_changed;
    std::unique_ptr<QSignalSpy> m_removed;
};

void TestWeatherServiceSource::initTestCase()
{
    qRegisterMetaType<QList<HVItem>>();
    qRegisterMetaType<QNetworkReply *>();
    QVERIFY(m_config.isValid());
    // QSettings takes its directory once per process.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
    QVERIFY(m_server.listen());
    qputenv("HALVANE_WEATHER_HOST", m_server.host().toLatin1());
}

void TestWeatherServiceSource::init()
{
    QFile::remove(settingsFile());
    m_server.clearRequests();
}

void TestWeatherServiceSource::cleanup()
{
    m_added.reset();
    m_changed.reset();
    m_removed.reset();
    m_service.reset();
    m_source = nullptr;
}

QString TestWeatherServiceSource::settingsFile() const
{
    return m_config.filePath(QStringLiteral("halvane/halvane.conf"));
}

void TestWeatherServiceSource::writeSettings(const QString &cities)
{
    // As an editor would: a new file put in place of the old one.
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QSaveFile file(settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\ncities=\"" + cities.toUtf8() + "\"\n");
    QVERIFY(file.commit());
}

void TestWeatherServiceSource::startSource()
{
    m_service = std::make_unique<WeatherService>();
    m_source = static_cast<WeatherServiceSource *>(m_service->source());
    QVERIFY(m_source);
    m_added = std::make_unique<QSignalSpy>(m_source, &HVServiceSource::itemsAdded);
    m_changed = std::make_unique<QSignalSpy>(m_source, &HVServiceSource::itemsChanged);
    m_removed = std::make_unique<QSignalSpy>(m_source, &HVServiceSource::itemsRemoved);
}

void TestWeatherServiceSource::waitIdle()
{
    // Replies are the manager's children until handled and deleted.
    auto *manager = m_source->findChild<QNetworkAccessManager *>();
    QVERIFY(manager);
    QTRY_VERIFY_WITH_TIMEOUT(manager->findChildren<QNetworkReply *>().isEmpty(), 10000);
}

void TestWeatherServiceSource::fetchAndWait(const QStringList &cityIds)
{
    m_source->fetchWeather(cityIds);
    waitIdle();
}

QList<HVItem> TestWeatherServiceSource::currentItems()
{
    const QList<HVItem> items = m_source->retrieveItemList(QDateTime(), QDateTime());
    waitIdle();
    return items;
}

void TestWeatherServiceSource::settingsGivePlaceholders()
{
    writeSettings("cityId:1,Alpha,x,y,default;cityId:2,Beta,x,y;cityId:3,Gamma");
    startSource();
    // The constructor only schedules its downloads.
    QVERIFY(m_server.requests().isEmpty());

    const QList<HVItem> items = m_source->retrieveItemList(QDateTime(), QDateTime());
    QCOMPARE(items.size(), 2);
    const QList<HVWeather> weather = weatherItems(items);
    QCOMPARE(weather.at(0).type(), HVItemType::TypeWeather);
    QCOMPARE(weather.at(0).city(), QStringLiteral("Alpha"));
    QCOMPARE(weather.at(0).cityId(), QStringLiteral("1"));
    QCOMPARE(weather.at(0).id().localId(), QStringLiteral("1"));
    QVERIFY(weather.at(0).defaultCity());
    QCOMPARE(weather.at(1).city(), QStringLiteral("Beta"));
    QVERIFY(!weather.at(1).defaultCity());
    for (const HVWeather &placeholder : weather) {
        QCOMPARE(placeholder.description(), QStringLiteral("Disconnected"));
        QCOMPARE(placeholder.image(), QStringLiteral("qrc:/img/Weather-partlycloudy-Tiny-1.2.svg"));
        QCOMPARE(placeholder.temperatureMax(), QStringLiteral("-"));
        QCOMPARE(placeholder.temperatureMin(), QStringLiteral("-"));
        QCOMPARE(placeholder.wind(), QStringLiteral("-"));
        QCOMPARE(placeholder.windDirection(), QStringLiteral("-"));
    }
    QCOMPARE(m_added->count(), 2);

    // Gamma has no placeholder but is asked for all the same.
    waitIdle();
    QStringList requested = m_server.requestedIds();
    requested.sort();
    QCOMPARE(requested, (QStringList{"1", "2", "3"}));

    // Placeholders are not added twice; any range gives every item.
    const QList<HVItem> again = m_source->retrieveItemList(QDateTime::currentDateTime().addYears(-3),
                                                           QDateTime::currentDateTime().addYears(-2));
    waitIdle();
    QCOMPARE(again.size(), 2);
    QCOMPARE(m_added->count(), 2);
}

void TestWeatherServiceSource::settingsAreReadAsUtf8()
{
    // Written in a UTF-8 editor; an escape and plain ASCII read as before.
    writeSettings(QString::fromUtf8("cityId:1,S\xc3\xa3o Paulo,x,y;cityId:2,Bras\\x00edlia,x,y;cityId:3,Lima,x,y"));
    startSource();
    m_source->offlineInit();
    const QList<HVItem> items = currentItems();
    QCOMPARE(findCity(items, "1").city(), QString::fromUtf8("S\xc3\xa3o Paulo"));
    QCOMPARE(findCity(items, "2").city(), QString::fromUtf8("Bras\xc3\xadlia"));
    QCOMPARE(findCity(items, "3").city(), QStringLiteral("Lima"));
}

void TestWeatherServiceSource::forecastFillsPlaceholderOnce()
{
    writeSettings("cityId:1,Alpha,x,y,default");
    startSource();
    m_source->offlineInit();
    QCOMPARE(m_added->count(), 1);

    // Another name in the document: the settings name stays.
    ForecastPlace place = Paris;
    place.city = QStringLiteral("Paris (Centre)");
    m_server.setDocument("1", forecastDocument(place, Sunny, Clear));
    fetchAndWait({"1"});
    QCOMPARE(m_changed->count(), 1);
    HVWeather changed(m_changed->at(0).at(0).value<QList<HVItem>>().value(0));
    QCOMPARE(changed.city(), QStringLiteral("Alpha"));
    QCOMPARE(changed.description(), QStringLiteral("Sunny"));
    QCOMPARE(changed.image(), QStringLiteral("qrc:/img/01.svg"));
    QCOMPARE(changed.temperatureMax(), QStringLiteral("27"));
    QCOMPARE(changed.temperatureMin(), QStringLiteral("15"));
    QCOMPARE(changed.wind(), QStringLiteral("11"));
    QCOMPARE(changed.windDirection(), QStringLiteral("SW"));
    QVERIFY(changed.defaultCity());
    QCOMPARE(m_added->count(), 1);

    // The same forecast again changes nothing.
    fetchAndWait({"1"});
    QCOMPARE(m_changed->count(), 1);

    // Nor does a new icon alone; the stored icon stays.
    Forecast newIcon = Sunny;
    newIcon.icon = QStringLiteral("02");
    m_server.setDocument("1", forecastDocument(place, newIcon, Clear));
    fetchAndWait({"1"});
    QCOMPARE(m_changed->count(), 1);
    QCOMPARE(findCity(currentItems(), "1").image(), QStringLiteral("qrc:/img/01.svg"));

    // A new temperature does, and takes the new icon along.
    Forecast warmer = newIcon;
    warmer.high = QStringLiteral("29");
    m_server.setDocument("1", forecastDocument(place, warmer, Clear));
    fetchAndWait({"1"});
    QCOMPARE(m_changed->count(), 2);
    const HVWeather stored = findCity(currentItems(), "1");
    QCOMPARE(stored.temperatureMax(), QStringLiteral("29"));
    QCOMPARE(stored.image(), QStringLiteral("qrc:/img/02.svg"));

    // A forecast of several days is today's: the days after it change nothing.
    Forecast cold = warmer;
    cold.high = QStringLiteral("5");
    QByteArray days = forecastDocument(place, warmer, Clear);
    QByteArray later = forecastDocument(place, cold, cold);
    later = later.mid(later.indexOf("<day "), later.indexOf("</day>") + 6 - later.indexOf("<day ")).replace("\"1\"", "\"2\"");
    m_server.setDocument("1", days.insert(days.indexOf("</day>") + 6, later));
    fetchAndWait({"1"});
    QCOMPARE(m_changed->count(), 2);
    QCOMPARE(findCity(currentItems(), "1").temperatureMax(), QStringLiteral("29"));

    // A document cut short keeps what it leaves out.
    const QByteArray whole = forecastDocument(place, warmer, Clear);
    m_server.setDocument("1", whole.left(whole.indexOf("<lowtemperature>")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^xml error:"));
    fetchAndWait({"1"});
    QCOMPARE(findCity(currentItems(), "1").temperatureMin(), warmer.low);
    QCOMPARE(findCity(currentItems(), "1").wind(), warmer.wind);

    // Without an XML declaration the document is UTF-8.
    Forecast french = warmer;
    french.description = QString::fromUtf8("Ensoleill\xc3\xa9");
    const QByteArray declared = forecastDocument(place, french, Clear);
    m_server.setDocument("1", declared.mid(declared.indexOf('\n') + 1));
    fetchAndWait({"1"});
    QCOMPARE(findCity(currentItems(), "1").description(), french.description);
}

void TestWeatherServiceSource::badReplies_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QString>("description"); // of the item afterwards

    const QByteArray document = forecastDocument(Paris, Sunny, Clear);
    QTest::newRow("error page") << 500 << QByteArray("<html><body>Internal error</body></html>")
                                << "Forecast without a cityId dropped" << "Disconnected";
    QTest::newRow("not found, empty") << 404 << QByteArray() << "Responce string is invalid" << "Disconnected";
    QTest::newRow("empty body") << 200 << QByteArray() << "Responce string is invalid" << "Disconnected";
    QTest::newRow("NUL first") << 200 << QByteArray("\0<xml/>", 7) << "Responce string is invalid"
                               << "Disconnected";
    QTest::newRow("not XML") << 200 << QByteArray("cityId=1; sunny") << "xml error:" << "Disconnected";
    QTest::newRow("malformed before the id")
        << 200 << QByteArray("<adc_database><local><city>Paris</cty><cityId>1</cityId></local></adc_database>")
        << "xml error:" << "Disconnected";
    // Built from what came before the fault.
    QByteArray malformedLate = document;
    malformedLate.replace("</nighttime>", "</nightime>");
    QTest::newRow("malformed after the day") << 200 << malformedLate << "xml error:" << "Sunny";
    // Cut inside the day block: the block ends with the document.
    const QByteArray truncated = document.left(document.indexOf("<hightemperature>"));
    QTest::newRow("truncated block") << 200 << truncated << "xml error:" << "Sunny";
    QByteArray oversized = document;
    oversized.replace("<adc_database>", "<adc_database><!-- " + QByteArray(1100 * 1024, 'x') + " -->");
    QTest::newRow("oversized") << 200 << oversized << "Forecast reply larger than 1 MiB discarded" << "Disconnected";
}

void TestWeatherServiceSource::badReplies()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, warning);
    QFETCH(QString, description);

    writeSettings("cityId:1,Alpha,x,y");
    startSource();
    m_source->offlineInit();
    m_server.setResponse("1", status, body);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^" + QRegularExpression::escape(warning)));
    fetchAndWait({"1"});

    const QList<HVItem> items = currentItems();
    QCOMPARE(items.size(), 1);
    QCOMPARE(HVWeather(items.at(0)).description(), description);
    QCOMPARE(m_added->count(), 1);
    QCOMPARE(m_changed->count(), description == QLatin1String("Disconnected") ? 0 : 1);
}

void TestWeatherServiceSource::cityIdStaysInsideTheQuery()
{
    const QString id = QStringLiteral("a&b #c/d e?f=g");
    writeSettings("cityId:" + id + ",Odd,x,y");
    startSource();
    fetchAndWait({id});

    QCOMPARE(m_server.requests().size(), 1);
    const QUrl url = m_server.requests().at(0);
    QCOMPARE(url.host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(url.path(), QStringLiteral("/widget/lumaforecastid/weather-data.asp"));
    QVERIFY(!url.hasFragment());
    const QUrlQuery query(url);
    QCOMPARE(query.queryItems(QUrl::FullyDecoded).size(), 2);
    QCOMPARE(query.queryItemValue("location", QUrl::FullyDecoded), "cityId:" + id);
    QCOMPARE(query.queryItemValue("metric"), QStringLiteral("1"));
    // The ordinary form stays readable.
    QCOMPARE(m_source->forecastUrl("12345").toString(),
             "http://" + m_server.host() + "/widget/lumaforecastid/weather-data.asp?location=cityId:12345&metric=1");
}

void TestWeatherServiceSource::invalidHostFallsBack()
{
    writeSettings("cityId:1,Alpha,x,y");
    startSource();
    QCOMPARE(m_source->weatherHost(), m_server.host());

    const QByteArray saved = qgetenv("HALVANE_WEATHER_HOST");
    qputenv("HALVANE_WEATHER_HOST", "evil.example/path?x=");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Invalid weather host, using the default:"));
    QCOMPARE(m_source->forecastUrl("1").host(), QStringLiteral("lumaforecastid.accu-weather.com"));

    // Without the variable the settings key counts.
    qunsetenv("HALVANE_WEATHER_HOST");
    QFile file(settingsFile());
    QVERIFY(file.open(QIODevice::Append));
    file.write("[weather]\nhost=forecast.test:8080\n");
    file.close();
    const QUrl url = m_source->forecastUrl("1");
    qputenv("HALVANE_WEATHER_HOST", saved);
    QCOMPARE(url.host(), QStringLiteral("forecast.test"));
    QCOMPARE(url.port(), 8080);
}

void TestWeatherServiceSource::settingsEditsWhileRunning()
{
    ForecastPlace second = Paris;
    second.cityId = "2";
    ForecastPlace third = Paris;
    third.cityId = "3";
    third.city = "Gamma";
    m_server.setDocument("3", forecastDocument(third, Sunny, Clear));

    writeSettings("cityId:1,Alpha,x,y,default;cityId:2,Beta,x,y");
    startSource();
    m_source->offlineInit();
    QCOMPARE(m_added->count(), 2);

    // Removed: its item goes, and stays gone.
    writeSettings("cityId:1,Alpha,x,y,default");
    QTRY_COMPARE_WITH_TIMEOUT(m_removed->count(), 1, 10000);
    QCOMPARE(HVWeather(m_removed->at(0).at(0).value<QList<HVItem>>().value(0)).city(), QStringLiteral("Beta"));
    QCOMPARE(weatherItems(currentItems()).size(), 1);

    // Added: only the new city is asked for at once, and its forecast arrives as a new item.
    m_server.clearRequests();
    const int addedBefore = m_added->count();
    writeSettings("cityId:1,Alpha,x,y,default;cityId:3,Gamma,x,y");
    QTRY_COMPARE_WITH_TIMEOUT(m_added->count(), addedBefore + 1, 10000);
    waitIdle();
    QStringList requested = m_server.requestedIds();
    QCOMPARE(requested, QStringList{"3"});
    QCOMPARE(HVWeather(m_added->last().at(0).value<QList<HVItem>>().value(0)).description(),
             QStringLiteral("Sunny"));

    // The default mark moves: one change per stored item, then both cities are fetched.
    m_server.clearRequests();
    m_changed->clear();
    // (a size of its own: the settings notice a change by size and time)
    writeSettings("cityId:1,Alpha,x,y;cityId:3,Gamma,x,yz,default");
    QTRY_COMPARE_WITH_TIMEOUT(m_server.requestedIds().size(), 2, 10000);
    waitIdle();
    requested = m_server.requestedIds();
    requested.sort();
    QCOMPARE(requested, (QStringList{"1", "3"}));
    QCOMPARE(m_changed->count(), 2);
    const QList<HVItem> unmarked = m_changed->at(0).at(0).value<QList<HVItem>>();
    QCOMPARE(unmarked.size(), 1);
    QCOMPARE(HVWeather(unmarked.at(0)).cityId(), QStringLiteral("1"));
    QVERIFY(!HVWeather(unmarked.at(0)).defaultCity());
    const QList<HVItem> marked = m_changed->at(1).at(0).value<QList<HVItem>>();
    QCOMPARE(HVWeather(marked.value(0)).cityId(), QStringLiteral("3"));
    QVERIFY(HVWeather(marked.value(0)).defaultCity());

    const QList<HVItem> items = currentItems();
    QVERIFY(!findCity(items, "1").defaultCity());
    QVERIFY(findCity(items, "3").defaultCity());
}

void TestWeatherServiceSource::lateForecastOfRemovedCityIsDropped()
{
    ForecastPlace second = Paris;
    second.cityId = "2";
    m_server.setDocument("2", forecastDocument(second, Sunny, Clear));
    m_server.hold("2");

    writeSettings("cityId:1,Alpha,x,y;cityId:2,Beta,x,y");
    startSource();
    m_source->offlineInit();
    auto *manager = m_source->findChild<QNetworkAccessManager *>();
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    m_source->fetchWeather(QStringList{"2"});
    QTRY_COMPARE_WITH_TIMEOUT(m_server.requestedIds(), QStringList{"2"}, 10000);

    writeSettings("cityId:1,Alpha,x,y");
    QTRY_COMPARE_WITH_TIMEOUT(m_removed->count(), 1, 10000);
    m_server.release("2");
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);

    QCOMPARE(m_added->count(), 2);
    QCOMPARE(m_changed->count(), 0);
    QVERIFY(findCity(currentItems(), "2").cityId().isEmpty());
}

void TestWeatherServiceSource::forecastForAnotherCityIsDropped()
{
    writeSettings("cityId:1,Alpha,x,y;cityId:2,Beta,x,y");
    startSource();
    m_source->offlineInit();
    QCOMPARE(m_added->count(), 2);

    // Asked for 1, answered for 9 (configured nowhere) and for 2 (not asked).
    ForecastPlace stranger = Paris;
    stranger.cityId = "9";
    m_server.setDocument("1", forecastDocument(stranger, Sunny, Clear));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Forecast for a city not requested dropped: \"9\""));
    fetchAndWait({"1"});
    ForecastPlace other = Paris;
    other.cityId = "2";
    m_server.setDocument("1", forecastDocument(other, Sunny, Clear));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Forecast for a city not requested dropped: \"2\""));
    fetchAndWait({"1"});

    // Neither a new row nor a changed placeholder.
    QCOMPARE(m_added->count(), 2);
    QCOMPARE(m_changed->count(), 0);
}

void TestWeatherServiceSource::errorPageKeepsTheForecast()
{
    writeSettings("cityId:1,Alpha,x,y");
    startSource();
    m_server.setDocument("1", forecastDocument(Paris, Sunny, Clear));
    fetchAndWait({"1"});
    // The provider's page for a city it cannot serve now.
    m_server.setResponse("1", 503, "<adc_database><local><cityId>1</cityId></local></adc_database>");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Error"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Forecast without weather dropped for \"1\""));
    fetchAndWait({"1"});
    const QList<HVItem> items = currentItems();
    QCOMPARE(items.size(), 1);
    QCOMPARE(HVWeather(items.at(0)).description(), QStringLiteral("Sunny"));
}

void TestWeatherServiceSource::movedServiceIsFollowed()
{
    ForecastServer moved;
    QVERIFY(moved.listen());
    moved.setDocument("1", forecastDocument(Paris, Sunny, Clear));
    writeSettings("cityId:1,Alpha,x,y");
    startSource();
    m_server.setResponse("1", 301, "http://" + moved.host().toLatin1()
                                       + "/widget/lumaforecastid/weather-data.asp?location=cityId:1&metric=1");
    fetchAndWait({"1"});
    QCOMPARE(moved.requestedIds(), QStringList({"1"}));
    QCOMPARE(HVWeather(currentItems().value(0)).description(), QStringLiteral("Sunny"));
}

void TestWeatherServiceSource::blankBeforeAnEntryIsNoPartOfItsId()
{
    // As written by hand: a blank after the semicolon.
    writeSettings("cityId:2,Beta,x,y; cityId:1,Alpha,x,y");
    startSource();
    m_server.setDocument("1", forecastDocument(Paris, Sunny, Clear));
    currentItems();
    QVERIFY2(m_server.requestedIds().contains("1"), qPrintable(m_server.requestedIds().join('|')));
    const QList<HVItem> items = currentItems();
    QVERIFY(std::any_of(items.cbegin(), items.cend(),
                        [](const HVItem &item) { return HVWeather(item).description() == QLatin1String("Sunny"); }));
}

void TestWeatherServiceSource::defaultIsTheMarkNotTheWord()
{
    writeSettings("cityId:defaultville,Defaultville,x,y;cityId:1,Alpha,x,y,default");
    startSource();
    QStringList defaults;
    for (const HVItem &item : currentItems()) {
        if (HVWeather(item).defaultCity())
            defaults.append(HVWeather(item).cityId());
    }
    QCOMPARE(defaults, QStringList{"1"});
}

void TestWeatherServiceSource::failingCityWarnsOnce()
{
    writeSettings("cityId:1,Alpha,x,y");
    startSource();
    m_server.setResponse("1", 404, QByteArray());
    static int warnings = 0;
    warnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &) {
        warnings += type == QtWarningMsg;
    });
    for (int fetch = 0; fetch < 3; ++fetch)
        fetchAndWait({"1"});
    qInstallMessageHandler(previous);
    // Why it has no forecast, and the empty reply: once, not at every fetch.
    QCOMPARE(warnings, 2);
}

void TestWeatherServiceSource::dayOrNightFromTheSun_data()
{
    QTest::addColumn<QString>("latitude");
    QTest::addColumn<QString>("longitude");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<bool>("day");

    const QDate midsummer(2024, 6, 21);
    QTest::newRow("Paris noon") << "48.86" << "2.35" << "1" << midsummer << QTime(12, 0) << true;
    QTest::newRow("Paris 23:55") << "48.86" << "2.35" << "1" << midsummer << QTime(23, 55) << false;
    QTest::newRow("Paris 04:00") << "48.86" << "2.35" << "1" << midsummer << QTime(4, 0) << false;
    // Where the sun does not set, or does not rise.
    QTest::newRow("Tromso midnight sun") << "69.65" << "18.96" << "1" << midsummer << QTime(0, 30) << true;
    QTest::newRow("Tromso polar night") << "69.65" << "18.96" << "1" << QDate(2024, 12, 21) << QTime(12, 0)
                                        << false;
    // Sunset after local midnight (far west in its zone): the window must not wrap.
    QTest::newRow("sunset past midnight, noon") << "65.0" << "-30.0" << "0" << midsummer << QTime(12, 0) << true;
    QTest::newRow("sunset past midnight, 23:59") << "65.0" << "-30.0" << "0" << midsummer << QTime(23, 59)
                                                 << true;
    QTest::newRow("sunset past midnight, 02:00") << "65.0" << "-30.0" << "0" << midsummer << QTime(2, 0)
                                                 << false;
    // Zones beyond twelve hours: New Zealand's summer time, Kiribati.
    QTest::newRow("Auckland 23:30") << "-36.85" << "174.76" << "13" << QDate(2026, 12, 10) << QTime(23, 30) << false;
    QTest::newRow("Auckland noon") << "-36.85" << "174.76" << "13" << QDate(2026, 12, 10) << QTime(12, 0) << true;
    QTest::newRow("Kiritimati 03:00") << "1.87" << "-157.43" << "14" << QDate(2026, 12, 10) << QTime(3, 0) << false;
}

void TestWeatherServiceSource::dayOrNightFromTheSun()
{
    QFETCH(QString, latitude);
    QFETCH(QString, longitude);
    QFETCH(QString, offset);
    QFETCH(QDate, date);
    QFETCH(QTime, time);
    QFETCH(bool, day);

    writeSettings(QString());
    startSource();
    QDateTime moment(date, time, Qt::LocalTime);
    QCOMPARE(m_source->isDayTime(moment, longitude, latitude, offset), day);
}

void TestWeatherServiceSource::badPositionMeansDay()
{
    writeSettings(QString());
    startSource();

    // Around Paris' sunrise and sunset on 21 June: the ends belong to the night.
    posdata position;
    S_init(&position);
    position.latitude = 48.86f;
    position.longitude = 2.35f;
    position.timezone = 1;
    position.year = 2024;
    position.daynum = QDate(2024, 6, 21).dayOfYear();
    position.hour = 12;
    position.minute = 0;
    position.second = 0;
    position.tilt = position.latitude;
    QCOMPARE(S_solpos(&position), 0L);
    const QTime sunrise = QTime(0, 0).addSecs(int(60.0f * position.sretr));
    const QTime sunset = QTime(0, 0).addSecs(int(60.0f * position.ssetr));
    QCOMPARE(sunrise.hour(), 4); // 04:53 CET
    QCOMPARE(sunset.hour(), 20);  // 20:51 CET
    const auto isDay = [this](const QTime &time) {
        QDateTime moment(QDate(2024, 6, 21), time, Qt::LocalTime);
        return m_source->isDayTime(moment, "2.35", "48.86", "1");
    };
    // The record keeps the moment's own time: the window barely moves within minutes.
    QVERIFY(!isDay(sunrise.addSecs(-60)));
    QVERIFY(isDay(sunrise.addSecs(60)));
    QVERIFY(isDay(sunset.addSecs(-60)));
    QVERIFY(!isDay(sunset.addSecs(60)));

    // Unreadable numbers: the day forecast, with a warning.
    QDateTime noon(QDate(2024, 6, 21), QTime(23, 55), Qt::LocalTime);
    QTest::ignoreMessage(QtWarningMsg, "isDayTime()::Conversions are not ok");
    QVERIFY(m_source->isDayTime(noon, "2.35", "north", "1"));
    QTest::ignoreMessage(QtWarningMsg, "isDayTime()::Conversions are not ok");
    QVERIFY(m_source->isDayTime(noon, "2.35", "48.86", ""));
    // Numbers that are not numbers count as unreadable (at 23:55 only a fault gives day).
    for (const char *bad : {"nan", "inf", "-inf"}) {
        QTest::ignoreMessage(QtWarningMsg, "isDayTime()::Conversions are not ok");
        QVERIFY(m_source->isDayTime(noon, bad, "48.86", "1"));
        QTest::ignoreMessage(QtWarningMsg, "isDayTime()::Conversions are not ok");
        QVERIFY(m_source->isDayTime(noon, "2.35", bad, "1"));
        QTest::ignoreMessage(QtWarningMsg, "isDayTime()::Conversions are not ok");
        QVERIFY(m_source->isDayTime(noon, "2.35", "48.86", bad));
    }

    // Out of range for the sun's position: the day forecast, and the reason on standard error.
    {
        StderrCapture capture;
        QVERIFY(m_source->isDayTime(noon, "2.35", "48.86", "25"));
        QCOMPARE(capture.text(), QByteArray("S_decode ==> Please fix the time zone: 25.000000\n"));
    }
    {
        StderrCapture capture;
        QDateTime undated(QDate(), QTime(23, 55), Qt::LocalTime);
        QVERIFY(m_source->isDayTime(undated, "2.35", "48.86", "1"));
        QVERIFY2(capture.text().contains("Please fix the year"), "no year message");
    }
}

void TestWeatherServiceSource::forecastByObservationTime()
{
    writeSettings("cityId:1,Alpha,x,y");
    startSource();

    ForecastPlace place = Paris;
    m_server.setDocument("1", forecastDocument(place, Sunny, Clear));
    fetchAndWait({"1"});
    QCOMPARE(findCity(currentItems(), "1").description(), QStringLiteral("Sunny"));

    place.time = QStringLiteral("23:55");
    m_server.setDocument("1", forecastDocument(place, Sunny, Clear));
    fetchAndWait({"1"});
    const HVWeather night = findCity(currentItems(), "1");
    QCOMPARE(night.description(), QStringLiteral("Clear"));
    QCOMPARE(night.temperatureMax(), QStringLiteral("26"));
    QCOMPARE(night.image(), QStringLiteral("qrc:/img/33.svg"));

    // No readable date: the day forecast.
    place.date = QStringLiteral("21.06.2024");
    m_server.setDocument("1", forecastDocument(place, Sunny, Clear));
    fetchAndWait({"1"});
    QCOMPARE(findCity(currentItems(), "1").description(), QStringLiteral("Sunny"));
}

QTEST_GUILESS_MAIN(TestWeatherServiceSource)
#include "tst_weatherservicesource.moc"
