// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QSaveFile>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtTest/QtTest>

#include <memory>

#include "forecastserver.h"
#include "hvweather.h"
#include "weatherservice.h"
#include "weatherservicesource.h"

using namespace Halvane;

namespace {

const Forecast Sunny{"Sunny", "01", "27", "15", "11", "SW"};
const Forecast Clear{"Clear", "33", "26", "14", "6", "W"};

ForecastPlace place(const QString &cityId)
{
    return ForecastPlace{cityId, "City " + cityId, "48.86", "2.35", "1", "6/21/2024", "12:00"};
}

} // namespace

// The weather source when its server hangs or is slow, and when its settings
// file cannot be read: a forecast server on loopback, a real settings file.
class TestWeatherFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void hangingServerGetsOneRequestPerCity();
    void slowServerStillFillsTheItems();
    void unreadableSettingsGiveNoCities();
    void corruptSettingsGiveNoCities();
    void serialisedSettingsAreRefused();
    void programWithoutOrganisationReadsHalvaneSettings();

private:
    void writeSettings(const QByteArray &content);
    void startSource();
    QList<QNetworkReply *> openReplies() const;

    QTemporaryDir m_config;
    ForecastServer m_server;
    std::unique_ptr<WeatherService> m_service;
    WeatherServiceSource *m_source = nullptr;
};

void TestWeatherFaults::initTestCase()
{
    qRegisterMetaType<QList<HVItem>>();
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
    QVERIFY(m_server.listen());
    qputenv("HALVANE_WEATHER_HOST", m_server.host().toLatin1());
}

void TestWeatherFaults::init()
{
    QDir(m_config.filePath("halvane")).removeRecursively();
    QVERIFY(QDir().mkpath(m_config.filePath("halvane")));
    m_server.clearRequests();
}

void TestWeatherFaults::cleanup()
{
    m_service.reset();
    m_source = nullptr;
    m_server.release("1");
    m_server.release("2");
}

void TestWeatherFaults::writeSettings(const QByteArray &content)
{
    QSaveFile file(m_config.filePath("halvane/halvane.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    QVERIFY(file.commit());
}

void TestWeatherFaults::startSource()
{
    m_service = std::make_unique<WeatherService>();
    m_source = static_cast<WeatherServiceSource *>(m_service->source());
    QVERIFY(m_source);
}

QList<QNetworkReply *> TestWeatherFaults::openReplies() const
{
    return m_source->findChild<QNetworkAccessManager *>()->findChildren<QNetworkReply *>();
}

void TestWeatherFaults::hangingServerGetsOneRequestPerCity()
{
    m_server.setDocument("1", forecastDocument(place("1"), Sunny, Clear));
    m_server.setDocument("2", forecastDocument(place("2"), Sunny, Clear));
    m_server.hold("1");
    m_server.hold("2");
    writeSettings("[General]\ncities=\"cityId:1,Alpha,x,y;cityId:2,Beta,x,y\"\n");
    startSource();

    // The user interface retrieves again and again while nothing comes back.
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(m_source->retrieveItemList(QDateTime(), QDateTime()).size(), 2);
        m_source->fetchWeather();
        QTest::qWait(50);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_server.requests().size(), 2, 10000);
    QTest::qWait(300);
    QStringList requested = m_server.requestedIds();
    requested.sort();
    QCOMPARE(requested, (QStringList{"1", "2"}));
    QCOMPARE(openReplies().size(), 2);

    // One answer comes: that city may be asked again, the other still not.
    QSignalSpy changed(m_source, &HVServiceSource::itemsChanged);
    m_server.release("1");
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(openReplies().size(), 1, 10000);
    m_server.clearRequests();
    m_source->fetchWeather();
    QTRY_COMPARE_WITH_TIMEOUT(m_server.requestedIds(), QStringList{"1"}, 10000);

    // Going away with a request still open is fine.
    m_service.reset();
    m_source = nullptr;
}

void TestWeatherFaults::slowServerStillFillsTheItems()
{
    m_server.setDocument("1", forecastDocument(place("1"), Sunny, Clear));
    m_server.hold("1");
    writeSettings("[General]\ncities=\"cityId:1,Alpha,x,y\"\n");
    startSource();
    QSignalSpy changed(m_source, &HVServiceSource::itemsChanged);
    QSignalSpy added(m_source, &HVServiceSource::itemsAdded);

    m_source->retrieveItemList(QDateTime(), QDateTime());
    QTimer::singleShot(1500, this, [this] { m_server.release("1"); });
    QElapsedTimer waited;
    waited.start();
    while (changed.isEmpty() && waited.elapsed() < 10000) {
        m_source->retrieveItemList(QDateTime(), QDateTime());
        QTest::qWait(100);
    }
    QCOMPARE(changed.count(), 1);
    QCOMPARE(added.count(), 1); // the placeholder, filled in place
    QCOMPARE(m_server.requestedIds(), QStringList{"1"});
    const QList<HVItem> items = m_source->retrieveItemList(QDateTime(), QDateTime());
    QCOMPARE(items.size(), 1);
    QCOMPARE(HVWeather(items.first()).description(), QStringLiteral("Sunny"));
}

void TestWeatherFaults::unreadableSettingsGiveNoCities()
{
    // A directory where the file should be: it can be neither read nor created.
    QVERIFY(QDir().mkpath(m_config.filePath("halvane/halvane.conf")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Weather settings cannot be read, no cities:"));
    startSource();
    QVERIFY(m_source->retrieveItemList(QDateTime(), QDateTime()).isEmpty());
    QTest::qWait(200);
    QVERIFY(openReplies().isEmpty());

    // Once the file is there, its cities are taken.
    QVERIFY(QDir(m_config.filePath("halvane/halvane.conf")).removeRecursively());
    writeSettings("[General]\ncities=\"cityId:1,Alpha,x,y\"\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_source->retrieveItemList(QDateTime(), QDateTime()).size(), 1, 10000);
}

void TestWeatherFaults::corruptSettingsGiveNoCities()
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) % 256));
    writeSettings(garbage);
    startSource();
    QVERIFY(m_source->retrieveItemList(QDateTime(), QDateTime()).isEmpty());

    // Broken lines around a good one: the good one counts.
    writeSettings("[General\n=\ncities\n\xff\xfe[General]\ncities=\"cityId:1,Alpha,x,y\"\n[weather\nhost=\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_source->retrieveItemList(QDateTime(), QDateTime()).size(), 1, 10000);
    QCOMPARE(HVWeather(m_source->retrieveItemList(QDateTime(), QDateTime()).first()).city(), QStringLiteral("Alpha"));
}

void TestWeatherFaults::serialisedSettingsAreRefused()
{
    // A list whose count says four thousand million entries: Qt would try to
    // make room for them all and abort.
    writeSettings(QByteArray("[General]\ncities=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x13QList<QVariant>\\xff\\xff\\xff\\xff)\n"
                             "[weather]\nhost=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x13QList<QVariant>\\xff\\xff\\xff\\xff)\n"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Weather settings refused, no cities: .*@Variant"));
    startSource();
    QVERIFY(m_source->retrieveItemList(QDateTime(), QDateTime()).isEmpty());
    // Nor is the host read from it.
    const QByteArray host = qgetenv("HALVANE_WEATHER_HOST");
    qunsetenv("HALVANE_WEATHER_HOST");
    QCOMPARE(m_source->forecastUrl(QStringLiteral("1")).host(), QStringLiteral("lumaforecastid.accu-weather.com"));
    qputenv("HALVANE_WEATHER_HOST", host);

    // Written again as text: taken without a new warning.
    writeSettings("[General]\ncities=\"cityId:1,Alpha,x,y\"\n");
    QTRY_COMPARE_WITH_TIMEOUT(m_source->retrieveItemList(QDateTime(), QDateTime()).size(), 1, 10000);
}

void TestWeatherFaults::programWithoutOrganisationReadsHalvaneSettings()
{
    // A user interface that never named itself: the user's cities still show.
    writeSettings("[General]\ncities=\"cityId:1,Alpha,x,y\"\n");
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QStringLiteral("someui"));
    startSource();
    const QList<HVItem> items = m_source->retrieveItemList(QDateTime(), QDateTime());
    QCOMPARE(items.size(), 1);
    QCOMPARE(HVWeather(items.first()).city(), QStringLiteral("Alpha"));
    QVERIFY(!QFile::exists(m_config.filePath("Unknown Organization/someui.conf")));
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
}

QTEST_GUILESS_MAIN(TestWeatherFaults)
#include "tst_weatherfaults.moc"
