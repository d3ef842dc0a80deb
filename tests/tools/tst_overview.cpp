// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvtestfixture.h"

// Runs the real halvane-overview program against test plug-ins in a temporary
// plug-ins directory.
class TestOverview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void jsonListsEachTypeSortedByDate();
    void tableShowsTypesAndValues();
    void withoutPluginsSaysWhereItLooked();
    void badArgumentsGiveUsage_data();
    void badArgumentsGiveUsage();
    void demoRunsWithoutPlugins();
    void demoSamplesMakeNoNoise();
    void followPrintsEveryChange();
    void followSeesEachCalendarImport();
    void followMovesToTheNextDay();

private:
    QProcessEnvironment environment() const;
    bool run(const QStringList &arguments, QByteArray *out, QByteArray *err, int *exitCode);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_pluginsDir;
    QString m_itemsDir;
};

void TestOverview::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_pluginsDir = m_dir->filePath(QStringLiteral("plugins-base"));
    m_itemsDir = m_dir->filePath(QStringLiteral("items"));
    QVERIFY(QDir().mkpath(m_pluginsDir));
    QVERIFY(QDir().mkpath(m_itemsDir));
}

QProcessEnvironment TestOverview::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALVANE_PLUGINS_PATH"), m_pluginsDir);
    env.insert(QStringLiteral("HALVANE_TEST_ITEMS_DIR"), m_itemsDir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    return env;
}

bool TestOverview::run(const QStringList &arguments, QByteArray *out, QByteArray *err, int *exitCode)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral(HVTEST_OVERVIEW_PROGRAM), arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        return false;
    }
    *out = process.readAllStandardOutput();
    *err = process.readAllStandardError();
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return true;
}

void TestOverview::jsonListsEachTypeSortedByDate()
{
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), m_pluginsDir + QLatin1String("/plugins")));
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::SmsPlugin), m_pluginsDir));
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), m_pluginsDir));
    QVERIFY(HVTest::writeItems(m_itemsDir, QStringLiteral("halvanetestmessage"), QJsonArray{
        QJsonObject{{"id", "late"}, {"date", "today 18:30"}, {"from", "ann@example.org"}, {"messageType", 1}},
        QJsonObject{{"id", "early"}, {"date", "today 07:15"}, {"from", "bob@example.org"}, {"messageType", 1}},
        QJsonObject{{"id", "old"}, {"date", "yesterday 12:00"}, {"from", "old@example.org"}},
    }));
    QVERIFY(HVTest::writeItems(m_itemsDir, QStringLiteral("halvanetestsms"), QJsonArray{
        QJsonObject{{"id", "sms"}, {"date", "today 12:00"}, {"phoneNumber", "+4912345"}, {"messageType", 2}},
    }));
    QVERIFY(HVTest::writeItems(m_itemsDir, QStringLiteral("halvanetestevent"), QJsonArray{
        QJsonObject{{"id", "e"}, {"date", "today 10:00"}, {"displayLabel", "Review"},
                    {"startDateTime", "today 10:00"}, {"endDateTime", "today 11:30"},
                    {"participants", QJsonArray{QJsonObject{{"name", "Cy"}}}}},
    }));

    QByteArray out, err;
    int exitCode = 0;
    QVERIFY(run({QStringLiteral("--json"), QStringLiteral("--settle"), QStringLiteral("0")}, &out, &err, &exitCode));
    QCOMPARE(exitCode, 0);

    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(document.keys(), (QStringList{"event", "feed", "message", "weather"}));
    QVERIFY(document.value("feed").toArray().isEmpty());
    QVERIFY(document.value("weather").toArray().isEmpty());

    // Both message sources, merged by date; yesterday's message is not today's.
    const QJsonArray messages = document.value("message").toArray();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages.at(0).toObject().value("from").toString(), QStringLiteral("bob@example.org"));
    QCOMPARE(messages.at(1).toObject().value("phoneNumber").toString(), QStringLiteral("+4912345"));
    QCOMPARE(messages.at(1).toObject().value("messageType").toInt(), 2);
    QCOMPARE(messages.at(2).toObject().value("from").toString(), QStringLiteral("ann@example.org"));
    for (const QJsonValue &row : messages) {
        QCOMPARE(row.toObject().value("type").toString(), QStringLiteral("message"));
        // The message roles only, plus date and type.
        QCOMPARE(row.toObject().keys(), (QStringList{"attachments", "body", "date", "displayLabel", "from",
                                                     "messageType", "phoneNumber", "receivedDateTime", "subject",
                                                     "type"}));
    }
    const QDateTime early = QDateTime::fromString(messages.at(0).toObject().value("date").toString(), Qt::ISODate);
    QCOMPARE(early, QDateTime(QDate::currentDate(), QTime(7, 15)));
    QVERIFY2(early.timeSpec() != Qt::LocalTime, "a date names its offset from UTC");

    const QJsonObject event = document.value("event").toArray().at(0).toObject();
    QCOMPARE(event.value("displayLabel").toString(), QStringLiteral("Review"));
    QCOMPARE(event.value("startDateTime").toString(), QStringLiteral("10:00"));
    QCOMPARE(event.value("endDateTime").toString(), QStringLiteral("11:30"));
    QCOMPARE(event.value("participants").toArray(), (QJsonArray{"Cy"}));
}

void TestOverview::tableShowsTypesAndValues()
{
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::WeatherPlugin), m_pluginsDir));
    QVERIFY(HVTest::writeItems(m_itemsDir, QStringLiteral("halvanetestweather"), QJsonArray{
        QJsonObject{{"id", "paris"}, {"city", "Paris"}, {"temperatureMax", "21"}, {"defaultCity", true}},
    }));
    QByteArray out, err;
    int exitCode = 0;
    QVERIFY(run({QStringLiteral("--settle=0")}, &out, &err, &exitCode));
    QCOMPARE(exitCode, 0);
    const QString text = QString::fromUtf8(out);
    QVERIFY2(text.contains(QLatin1String("weather (1 item)")), qPrintable(text));
    QVERIFY(text.contains(QLatin1String("message (0 items)")));
    QVERIFY(text.contains(QLatin1String("Paris")));
    QVERIFY(text.contains(QLatin1String("temperatureMax")));
    QVERIFY(text.contains(QLatin1String("--:--"))); // no date: the weather has none
}

void TestOverview::withoutPluginsSaysWhereItLooked()
{
    HVTest::installPlugin(QLatin1String(HVTest::NotAPlugin), m_pluginsDir);
    QByteArray out, err;
    int exitCode = 0;
    QVERIFY(run({QStringLiteral("--json")}, &out, &err, &exitCode));
    QCOMPARE(exitCode, 1);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains("no service plug-ins found in " + QFile::encodeName(m_pluginsDir)), err.constData());
}

void TestOverview::badArgumentsGiveUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")};
    QTest::newRow("settle not a number") << QStringList{QStringLiteral("--settle"), QStringLiteral("soon")};
    QTest::newRow("negative follow") << QStringList{QStringLiteral("--follow"), QStringLiteral("-3")};
    QTest::newRow("follow without value") << QStringList{QStringLiteral("--follow")};
    QTest::newRow("positional") << QStringList{QStringLiteral("today")};
}

void TestOverview::badArgumentsGiveUsage()
{
    QFETCH(QStringList, arguments);
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), m_pluginsDir));
    QByteArray out, err;
    int exitCode = 0;
    QVERIFY(run(arguments, &out, &err, &exitCode));
    QCOMPARE(exitCode, 2);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains("Usage:"), err.constData());
}

void TestOverview::demoRunsWithoutPlugins()
{
    QByteArray out, err;
    int exitCode = 0;
    QVERIFY(run({QStringLiteral("--demo"), QStringLiteral("--json"), QStringLiteral("--settle=0")}, &out, &err,
                &exitCode));
    QCOMPARE(exitCode, 0);
    QVERIFY(err.contains("no service plug-ins found"));
    const QJsonObject document = QJsonDocument::fromJson(out).object();
    QCOMPARE(document.keys(), (QStringList{"event", "feed", "message", "weather"}));
}

// The demo's own sample data is no cause for a warning: the header-only
// message has no account to fetch from, and the profile's Tracker store is
// closed before the profile goes.
void TestOverview::demoSamplesMakeNoNoise()
{
    QVERIFY(QDir().mkpath(m_pluginsDir + "/plugins"));
    QVERIFY(QFile::copy(HVTEST_EMAIL_PLUGIN, m_pluginsDir + "/plugins/libhalvaneemailplugin.so"));
    QVERIFY(QFile::copy(HVTEST_FEEDS_PLUGIN, m_pluginsDir + "/plugins/libhalvanefeedsplugin.so"));
    QByteArray out, err;
    int exitCode = -1;
    QVERIFY(run({"--demo", "--json", "--settle=0"}, &out, &err, &exitCode));
    QCOMPARE(exitCode, 0);
    QVERIFY2(err.isEmpty(), err.constData());
    const QJsonObject document = QJsonDocument::fromJson(out).object();
    QVERIFY(!document.value("feed").toArray().isEmpty());
    QVERIFY(!document.value("message").toArray().isEmpty());
}

void TestOverview::followPrintsEveryChange()
{
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::FeedPlugin), m_pluginsDir));
    const QString key = QStringLiteral("halvanetestfeed");
    QVERIFY(HVTest::writeItems(m_itemsDir, key, QJsonArray{
        QJsonObject{{"id", "a"}, {"date", "today 08:00"}, {"title", "First"}},
        QJsonObject{{"id", "b"}, {"date", "today 09:00"}, {"title", "Second"}},
    }));

    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QStringLiteral(HVTEST_OVERVIEW_PROGRAM),
                  {QStringLiteral("--json"), QStringLiteral("--settle=0"), QStringLiteral("--follow=0")});
    auto readLine = [&process]() { return HVTest::readJsonLine(process); };

    const QJsonObject first = readLine();
    QCOMPARE(first.value("feed").toArray().size(), 2);
    QCOMPARE(first.value("feed").toArray().at(1).toObject().value("title").toString(), QStringLiteral("Second"));

    // Change "a", remove "b", add "c" at once.
    QVERIFY(HVTest::writeItems(m_itemsDir, key, QJsonArray{
        QJsonObject{{"id", "a"}, {"date", "today 08:00"}, {"title", "First, edited"}},
        QJsonObject{{"id", "c"}, {"date", "today 07:00"}, {"title", "Third"}},
    }));

    QMap<QString, QJsonObject> changes;
    for (int i = 0; i < 3; ++i) {
        const QJsonObject line = readLine();
        QCOMPARE(line.value("type").toString(), QStringLiteral("feed"));
        changes.insert(line.value("change").toString(), line);
    }
    QCOMPARE(changes.keys(), (QStringList{"changed", "inserted", "removed"}));
    QCOMPARE(changes.value("removed").value("item").toObject().value("title").toString(), QStringLiteral("Second"));
    QCOMPARE(changes.value("changed").value("item").toObject().value("title").toString(),
             QStringLiteral("First, edited"));
    // The new message is the earliest: it goes first.
    QCOMPARE(changes.value("inserted").value("row").toInt(), 0);
    QCOMPARE(changes.value("inserted").value("item").toObject().value("title").toString(), QStringLiteral("Third"));

    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestOverview::followSeesEachCalendarImport()
{
    QVERIFY(QFile::copy(HVTEST_EVENTS_PLUGIN, m_pluginsDir + QStringLiteral("/libhalvaneeventsplugin.so")));
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("HALVANE_CALENDAR_DB"), m_dir->filePath(QStringLiteral("calendar.db")));
    const QDate today = QDate::currentDate();
    const auto import = [&](const QByteArray &exdate) {
        QFile file(m_dir->filePath(QStringLiteral("series.ics")));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:series\nDTSTART:"
                   + today.addDays(-1).toString(QStringLiteral("yyyyMMdd")).toLatin1()
                   + "T100000\nDURATION:PT1H\nRRULE:FREQ=DAILY\n" + exdate + "SUMMARY:Daily\nEND:VEVENT\nEND:VCALENDAR\n");
        file.close();
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(HVTEST_CALENDAR_PROGRAM), {QStringLiteral("import"), file.fileName()});
        return tool.waitForFinished(30000) && tool.exitCode() == 0;
    };
    QVERIFY(import(QByteArray()));

    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(HVTEST_OVERVIEW_PROGRAM),
                  {QStringLiteral("--json"), QStringLiteral("--settle=0"), QStringLiteral("--follow=0")});
    QCOMPARE(HVTest::readJsonLine(process).value("event").toArray().size(), 1);
    // Today's occurrence dropped, then back, by another process: each is
    // seen while the overview waits idle, as a user interface does.
    const QByteArray exdate = "EXDATE:" + today.toString(QStringLiteral("yyyyMMdd")).toLatin1() + "T100000\n";
    QVERIFY(import(exdate));
    QCOMPARE(HVTest::readJsonLine(process, 5000).value("change").toString(), QStringLiteral("removed"));
    QVERIFY(import(QByteArray()));
    QCOMPARE(HVTest::readJsonLine(process, 5000).value("change").toString(), QStringLiteral("inserted"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

void TestOverview::followMovesToTheNextDay()
{
#ifdef __has_feature
#if __has_feature(address_sanitizer)
#define HVTEST_ASAN
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(HVTEST_ASAN)
    QSKIP("libfaketime and AddressSanitizer's start-up wait for each other for ever");
#endif
    const QString faketime = QStandardPaths::findExecutable(QStringLiteral("faketime"));
    if (faketime.isEmpty())
        QSKIP("needs faketime (package faketime)");
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::FeedPlugin), m_pluginsDir));
    QVERIFY(HVTest::writeItems(m_itemsDir, QStringLiteral("halvanetestfeed"), QJsonArray{
        QJsonObject{{"id", "a"}, {"date", "today 08:00"}, {"title", "Today's"}},
        QJsonObject{{"id", "b"}, {"date", "tomorrow 09:00"}, {"title", "Tomorrow's"}},
    }));

    // Started two seconds before midnight; timers keep the real clock.
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("FAKETIME_DONT_FAKE_MONOTONIC"), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(env);
    const QString start = QDate::currentDate().toString(Qt::ISODate) + QStringLiteral(" 23:59:58");
    process.start(faketime, {QStringLiteral("-f"), QLatin1Char('@') + start, QStringLiteral(HVTEST_OVERVIEW_PROGRAM),
                             QStringLiteral("--json"), QStringLiteral("--settle=0"), QStringLiteral("--follow=0")});
    const QJsonArray first = HVTest::readJsonLine(process).value("feed").toArray();
    QCOMPARE(first.size(), 1);
    QCOMPARE(first.at(0).toObject().value("title").toString(), QStringLiteral("Today's"));
    QJsonObject line;
    do
        line = HVTest::readJsonLine(process, 10000);
    while (!line.isEmpty() && line.value("type").toString() != QLatin1String("feed"));
    QCOMPARE(line.value("change").toString(), QStringLiteral("reset"));
    QCOMPARE(line.value("rows").toArray().size(), 1);
    QCOMPARE(line.value("rows").toArray().at(0).toObject().value("title").toString(), QStringLiteral("Tomorrow's"));
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestOverview)
#include "tst_overview.moc"
