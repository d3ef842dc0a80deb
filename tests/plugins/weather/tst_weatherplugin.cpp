// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QPluginLoader>
#include <QtCore/QProcess>
#include <QtCore/QSaveFile>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>

#include "forecastserver.h"
#include "hvitemmodelfactory.h"
#include "hvitemtype.h"
#include "hvproxyitemmodel.h"
#include "hvservice.h"
#include "hvserviceplugin.h"
#include "hvservicesource.h"

using namespace Halvane;

// The built plug-in library, loaded as the framework and the overview program load it.
class TestWeatherPlugin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void pluginContract();
    void modelShowsForecasts();
    void demoShowsSampleForecasts();

private:
    QTemporaryDir m_dir;
    QString m_pluginsDir;
    ForecastServer m_server;
};

void TestWeatherPlugin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pluginsDir = m_dir.filePath(QStringLiteral("plugins-base"));
    QVERIFY(QDir().mkpath(m_pluginsDir + QLatin1String("/plugins")));
    QVERIFY(QFile::copy(QStringLiteral(WEATHER_PLUGIN_FILE),
                        m_pluginsDir + QLatin1String("/plugins/libhalvaneweatherplugin.so")));
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir + QLatin1Char('/')));

    const QString config = m_dir.filePath(QStringLiteral("config"));
    QVERIFY(QDir().mkpath(config + QLatin1String("/halvane")));
    QSaveFile file(config + QLatin1String("/halvane/halvane.conf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\ncities=\"cityId:1,Alpha,x,y,default;cityId:2,Beta,x,y\"\n");
    QVERIFY(file.commit());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));

    QVERIFY(m_server.listen());
    qputenv("HALVANE_WEATHER_HOST", m_server.host().toLatin1());
    const ForecastPlace paris{"1", "Paris", "48.86", "2.35", "1", "6/21/2024", "12:00"};
    const ForecastPlace sydney{"2", "Sydney", "-33.87", "151.21", "10", "6/21/2024", "22:00"};
    m_server.setDocument("1", forecastDocument(paris, {"Sunny", "01", "27", "15", "11", "SW"},
                                               {"Clear", "33", "26", "14", "6", "W"}));
    m_server.setDocument("2", forecastDocument(sydney, {"Showers", "12", "17", "9", "20", "S"},
                                               {"Cloudy", "38", "16", "8", "15", "SE"}));
}

void TestWeatherPlugin::pluginContract()
{
    QPluginLoader loader(m_pluginsDir + QLatin1String("/plugins/libhalvaneweatherplugin.so"));
    auto *plugin = qobject_cast<HVServicePlugin *>(loader.instance());
    QVERIFY2(plugin, qPrintable(loader.errorString()));
    QCOMPARE(plugin->key(), QStringLiteral("halvaneweatherplugin"));
    QVERIFY(plugin->supports(HVItemType::TypeWeather));
    QVERIFY(!plugin->supports(HVItemType::TypeEvent));
    QVERIFY(!plugin->supports(QString()));

    std::unique_ptr<HVService> service(plugin->createService());
    QCOMPARE(service->service(), QStringLiteral("weather"));
    QVERIFY(service->hasSource());
    QVERIFY(service->source());
    QCOMPARE(service->source(), service->source());
    bool cancelled = false;
    QVERIFY(QMetaObject::invokeMethod(service.get(), "cancelOperation", Q_RETURN_ARG(bool, cancelled)));
    QVERIFY(cancelled);

    QSignalSpy completed(service.get(), &HVService::actionCompleted);
    QVERIFY(service->source()->synchronize());
    QCOMPARE(completed.count(), 1);
    QCOMPARE(completed.at(0).at(0).toBool(), true);

    // The framework connects by these signatures.
    const QMetaObject *meta = service->source()->metaObject();
    for (const char *method : {"retrieveItemList(QDateTime,QDateTime)", "synchronize()",
                               "replyFinished(QNetworkReply*)", "fetchWeather()", "fetchWeather(QStringList)",
                               "removeCity(QString)", "settingsChanged()", "offlineInit()"})
        QVERIFY2(meta->indexOfMethod(method) >= meta->methodOffset(), method);
}

void TestWeatherPlugin::modelShowsForecasts()
{
    std::unique_ptr<HVProxyItemModel> model(HVItemModelFactory::createModel(HVItemType::TypeWeather));
    QVERIFY(model);
    const QHash<int, QByteArray> names = model->roleNames();
    const auto role = [&names](const QByteArray &name) { return names.key(name, -1); };
    QVERIFY(role("description") >= 0);

    const auto rowOf = [&](const QString &city) {
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data(role("city")).toString() == city)
                return row;
        }
        return -1;
    };
    const auto value = [&](const QString &city, const QByteArray &name) {
        const int row = rowOf(city);
        return row < 0 ? QVariant() : model->index(row, 0).data(role(name));
    };

    // Placeholders first, then the forecasts in their place.
    QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(), 2, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(value("Alpha", "description").toString(), QStringLiteral("Sunny"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(value("Beta", "description").toString(), QStringLiteral("Cloudy"), 10000);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(value("Alpha", "temperatureMax").toString(), QStringLiteral("27"));
    QCOMPARE(value("Alpha", "image").toString(), QStringLiteral("qrc:/img/01.svg"));
    QCOMPARE(value("Alpha", "defaultCity").toBool(), true);
    QCOMPARE(value("Beta", "defaultCity").toBool(), false);
    QCOMPARE(value("Beta", "windDirection").toString(), QStringLiteral("SE"));
    QCOMPARE(value("Beta", "cityId").toString(), QStringLiteral("2"));
}

void TestWeatherPlugin::demoShowsSampleForecasts()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALVANE_PLUGINS_PATH"), m_pluginsDir + QLatin1Char('/'));
    // The demo serves its own forecasts and uses its own profile.
    env.remove(QStringLiteral("HALVANE_WEATHER_HOST"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(HVTEST_OVERVIEW_PROGRAM),
                  {QStringLiteral("--demo"), QStringLiteral("--json"), QStringLiteral("--settle=3000")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QJsonObject document = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    const QJsonArray rows = document.value(QStringLiteral("weather")).toArray();
    QVERIFY2(rows.size() >= 3, process.readAllStandardError().right(2000).constData());

    int defaults = 0;
    QStringList cities;
    for (const QJsonValue &value : rows) {
        const QJsonObject row = value.toObject();
        cities.append(row.value(QStringLiteral("city")).toString());
        QVERIFY2(row.value(QStringLiteral("description")).toString() != QLatin1String("Disconnected"),
                 qPrintable(row.value(QStringLiteral("city")).toString()));
        QVERIFY(!row.value(QStringLiteral("description")).toString().isEmpty());
        QVERIFY(row.value(QStringLiteral("temperatureMax")).toString() != QLatin1String("-"));
        QVERIFY(row.value(QStringLiteral("temperatureMin")).toString() != QLatin1String("-"));
        QVERIFY(row.value(QStringLiteral("wind")).toString() != QLatin1String("-"));
        QVERIFY(row.value(QStringLiteral("image")).toString().startsWith(QLatin1String("qrc:/img/")));
        if (row.value(QStringLiteral("defaultCity")).toBool())
            ++defaults;
    }
    QCOMPARE(defaults, 1);
    QVERIFY2(cities.contains(QStringLiteral("Paris")), qPrintable(cities.join(QLatin1Char(','))));
}

QTEST_GUILESS_MAIN(TestWeatherPlugin)
#include "tst_weatherplugin.moc"
