// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusServiceWatcher>
#include <QtTest/QtTest>

#include "hvfeed.h"
#include "hvitemtype.h"
#include "hvservice.h"
#include "hvservicefactory.h"
#include "hvservicesource.h"
#include "hvtestfixture.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

using namespace Halvane;

namespace {

const QString EndpointService = QStringLiteral("org.halvane.TestFeeds");

QStringList *capturedMessages = nullptr;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (capturedMessages)
        capturedMessages->append(message);
    previousHandler(type, context, message);
}

const char Rss[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>Test Channel</title><link>https://test.example.org/</link>
<description>d</description>
<item><title>First</title><guid>https://test.example.org/1</guid><description>one</description></item>
<item><title>Second</title><guid>https://test.example.org/2</guid><description>two</description></item>
</channel></rss>
)";

} // namespace

// The feeds plug-in, loaded from a temporary plug-ins directory, on a local
// Tracker store and on a Tracker endpoint that halvane-feeds changes from
// another process. Runs with TZ=Europe/Berlin.
class TestFeedsServicePlugin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void pluginFollowsTheConvention();
    void rangeBoundsAreLocalAndInclusive();
    void recordsFromMessages();
    void invalidRangeGivesNoItems();
    void endpointChangesArriveLive();
    void unreachableEndpointGivesEmptyResults();
    void endpointStartedLaterStillNotifies();

private:
    void createService();
    bool insertMessage(const QString &urn, const QString &title, const QString &description, const QDateTime &downloaded);
    int feedsTool(const QStringList &arguments, QByteArray *output = nullptr);

    QTemporaryDir m_dir;
    QTemporaryDir m_pluginsDir;
    QProcess m_bus;
    QProcess m_endpoint;
    std::unique_ptr<QTemporaryDir> m_data;
    QStringList m_messages;
    HVService *m_service = nullptr;
    HVServiceSource *m_source = nullptr;
};

void TestFeedsServicePlugin::initTestCase()
{
    QCOMPARE(QDateTime(QDate(2026, 6, 21), QTime(0, 0)).offsetFromUtc(), 7200);
    qRegisterMetaType<QList<HVItem>>("QList<HVItem>");
    QVERIFY(m_dir.isValid());
    QVERIFY(m_pluginsDir.isValid());
    QVERIFY(QDir().mkpath(m_pluginsDir.filePath("plugins")));
    QVERIFY(QFile::copy(HVTEST_FEEDS_PLUGIN, m_pluginsDir.filePath("plugins/libhalvanefeedsplugin.so")));
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir.path() + "/"));
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());

    QVERIFY(HVTest::startSessionBus(m_bus, m_dir.filePath("bus")));
    QVERIFY(HVTest::startTrackerEndpoint(m_endpoint, m_dir.filePath("endpoint"), EndpointService));

    previousHandler = qInstallMessageHandler(captureMessage);
    capturedMessages = &m_messages;
    QCOMPARE(HVServiceFactory::keys(), QStringList{"halvanefeedsplugin"});
}

void TestFeedsServicePlugin::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
    capturedMessages = nullptr;
    m_endpoint.terminate();
    m_endpoint.waitForFinished();
    m_bus.terminate();
    m_bus.waitForFinished();
}

void TestFeedsServicePlugin::init()
{
    // A fresh local store per test.
    m_data = std::make_unique<QTemporaryDir>();
    QVERIFY(m_data->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data->path()));
    m_messages.clear();
}

void TestFeedsServicePlugin::cleanup()
{
    delete m_service;
    m_service = nullptr;
    m_source = nullptr;
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
}

void TestFeedsServicePlugin::createService()
{
    m_service = HVServiceFactory::createService("halvanefeedsplugin");
    QVERIFY(m_service);
    m_source = m_service->source();
    QVERIFY(m_source);
}

bool TestFeedsServicePlugin::insertMessage(const QString &urn, const QString &title, const QString &description,
                                           const QDateTime &downloaded)
{
    QSparqlConnection connection;
    QSparqlQuery insert("INSERT DATA { <urn:test:channel> a mfo:FeedChannel ; nie:title \"Channel <b>A</b>\" . "
                        "?:m a mfo:FeedMessage ; nie:title ?:t ; nie:description ?:d ; mfo:downloadedTime ?:when ; "
                        "nie:isLogicalPartOf <urn:test:channel> }",
                        QSparqlQuery::InsertStatement);
    insert.bindValue("m", QUrl(urn));
    insert.bindValue("t", title);
    insert.bindValue("d", description);
    insert.bindValue("when", downloaded.toUTC());
    std::unique_ptr<QSparqlResult> result(connection.exec(insert));
    if (result->hasError())
        qWarning() << result->lastError().message();
    return !result->hasError();
}

int TestFeedsServicePlugin::feedsTool(const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.start(HVTEST_FEEDS_PROGRAM, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitCode();
}

void TestFeedsServicePlugin::pluginFollowsTheConvention()
{
    QVERIFY(HVServiceFactory::supports("halvanefeedsplugin", HVItemType::TypeFeed));
    QVERIFY(!HVServiceFactory::supports("halvanefeedsplugin", HVItemType::TypeMessage));
    QVERIFY(!HVServiceFactory::supports("halvanefeedsplugin", QString()));
    createService();
    QVERIFY(m_messages.contains("FeedsService created."));
    QCOMPARE(m_service->service(), QString("Feeds"));
    QVERIFY(m_service->hasSource());
    QCOMPARE(m_service->source(), m_source);
    bool cancelled = false;
    QVERIFY(QMetaObject::invokeMethod(m_service, "cancelOperation", Q_RETURN_ARG(bool, cancelled)));
    QVERIFY(cancelled);
    QSignalSpy completed(m_service, &HVService::actionCompleted);
    QVERIFY(m_source->synchronize());
    QCOMPARE(completed.size(), 1);
    QVERIFY(completed.first().first().toBool());
}

void TestFeedsServicePlugin::rangeBoundsAreLocalAndInclusive()
{
    const QDateTime from(QDate(2026, 6, 21), QTime(0, 0));
    const QDateTime to(QDate(2026, 6, 22), QTime(0, 0));
    QVERIFY(insertMessage("urn:test:before", "before", "", from.addSecs(-1)));
    QVERIFY(insertMessage("urn:test:from", "at from", "", from));
    QVERIFY(insertMessage("urn:test:late", "late", "", to.addSecs(-1)));
    QVERIFY(insertMessage("urn:test:to", "at to", "", to));
    QVERIFY(insertMessage("urn:test:after", "after", "", to.addSecs(1)));
    createService();

    m_messages.clear();
    const QList<HVItem> items = m_source->retrieveItemList(from, to);
    QStringList titles;
    for (const HVItem &item : items)
        titles.append(HVFeed(item).title());
    titles.sort();
    QCOMPARE(titles, QStringList({"at from", "at to", "late"}));

    // The bounds go in as typed literals of the local time with its offset.
    const QString query = m_messages.filter("buildQuery - query - ").value(0);
    QVERIFY2(query.contains("(?contentCreated >='2026-06-21T00:00:00+02:00'^^xsd:dateTime) &&  "
                            "(?contentCreated <='2026-06-22T00:00:00+02:00'^^xsd:dateTime))} \""),
             qPrintable(query));
    QVERIFY(query.contains("\" SELECT ?messagetitle ?contentCreated ?title tracker:id(?messagetitle) "));
    QVERIFY(m_messages.contains("FeedsServiceSource::retrieveItemList"));
    QCOMPARE(m_messages.filter("getItemListFromBackend - adding item").size(), 3);

    // The same range given in UTC finds the same messages.
    QCOMPARE(m_source->retrieveItemList(from.toUTC(), to.toUTC()).size(), 3);
    // A winter day has another offset.
    QVERIFY(insertMessage("urn:test:winter", "winter", "", QDateTime(QDate(2026, 1, 10), QTime(0, 0))));
    QCOMPARE(m_source->retrieveItemList(QDateTime(QDate(2026, 1, 10), QTime(0, 0)),
                                        QDateTime(QDate(2026, 1, 10), QTime(0, 0, 1))).size(), 1);
    QCOMPARE(m_source->retrieveItemList(QDateTime(QDate(2026, 1, 9), QTime(23, 0)),
                                        QDateTime(QDate(2026, 1, 9), QTime(23, 59, 59))).size(), 0);
}

void TestFeedsServicePlugin::recordsFromMessages()
{
    const QDateTime downloaded(QDate(2026, 6, 21), QTime(9, 30));
    QVERIFY(insertMessage("urn:test:news", "<b>News</b> today &lt;3", "Body with <i>markup</i>", downloaded));
    createService();
    const QList<HVItem> items = m_source->retrieveItemList(downloaded.addSecs(-60), downloaded.addSecs(60));
    QCOMPARE(items.size(), 1);
    const HVFeed feed(items.first());
    QCOMPARE(feed.type(), HVItemType::TypeFeed);
    // The brackets the store keeps as entities show as brackets.
    QCOMPARE(feed.title(), QString("News today <3"));
    QCOMPARE(feed.displayLabel(), QString("News today <3"));
    QCOMPARE(feed.body(), QString("Body with <i>markup</i>"));
    QCOMPARE(feed.channel(), QString("Channel <b>A</b>"));
    QCOMPARE(feed.dateTime(), downloaded);
    QCOMPARE(feed.dateTime().timeSpec(), Qt::LocalTime);
    QCOMPARE(feed.id().localId(), QString("urn:test:news"));
    QCOMPARE(feed.id().managerUri(), QString("FeedPlugin"));
}

void TestFeedsServicePlugin::invalidRangeGivesNoItems()
{
    QVERIFY(insertMessage("urn:test:any", "any", "", QDateTime(QDate(2026, 6, 21), QTime(9, 30))));
    createService();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("invalid range"));
    QVERIFY(m_source->retrieveItemList(QDateTime(), QDateTime(QDate(2026, 6, 22), QTime(0, 0))).isEmpty());
}

void TestFeedsServicePlugin::endpointChangesArriveLive()
{
    qputenv("HALVANE_TRACKER_SERVICE", EndpointService.toUtf8());
    QTRY_VERIFY_WITH_TIMEOUT(std::unique_ptr<QSparqlResult>(QSparqlConnection().exec(
                                 QSparqlQuery("ASK { ?x a rdfs:Resource }", QSparqlQuery::AskStatement)))->boolValue(),
                             20000);
    createService();
    QStringList emissions;
    QList<HVItem> added, removed;
    connect(m_source, &HVServiceSource::itemsAdded, this, [&](const QList<HVItem> &items) {
        emissions.append(QString("added %1").arg(items.size()));
        added += items;
    });
    connect(m_source, &HVServiceSource::itemsRemoved, this, [&](const QList<HVItem> &items) {
        emissions.append(QString("removed %1").arg(items.size()));
        removed += items;
    });

    QFile rss(m_dir.filePath("test.rss"));
    QVERIFY(rss.open(QIODevice::WriteOnly));
    rss.write(Rss);
    rss.close();
    QCOMPARE(feedsTool({"import", rss.fileName()}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(added.size(), 2, 20000);
    // Inserts only: an empty removal comes first all the same.
    QCOMPARE(emissions.value(0), QString("removed 0"));
    QVERIFY(removed.isEmpty());
    QStringList titles{HVFeed(added.at(0)).title(), HVFeed(added.at(1)).title()};
    titles.sort();
    QCOMPARE(titles, QStringList({"First", "Second"}));
    QCOMPARE(HVFeed(added.first()).channel(), QString("Test Channel"));
    // Downloaded now: today's retrieval has them.
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    QCOMPARE(m_source->retrieveItemList(today, today.addDays(1)).size(), 2);

    // Imported again as it was: no message goes and comes back (each update
    // of a message is a removal and an insertion).
    const int emitted = emissions.size();
    QCOMPARE(feedsTool({"import", rss.fileName()}), 0);

    // A channel change is only logged.
    QSparqlConnection connection;
    std::unique_ptr<QSparqlResult> channels(connection.exec(QSparqlQuery("SELECT ?c WHERE { ?c a mfo:FeedChannel }")));
    QVERIFY(channels->next());
    QSparqlQuery rename("INSERT OR REPLACE { ?:c nie:title \"Renamed\" }", QSparqlQuery::InsertStatement);
    rename.bindValue("c", channels->value(0));
    QProcess writer;
    writer.start("tracker3", {"sparql", "--dbus-service", EndpointService, "--update", "--query",
                              rename.preparedQueryText()});
    QVERIFY(writer.waitForFinished(20000));
    QCOMPARE(writer.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_messages.filter("slotFeedChannelsChanged(): inserts: graph ").isEmpty(), 20000);
    QVERIFY(m_messages.contains("slotFeedChannelsChanged(): feed channels changed in Tracker."));

    // A removal in another process takes the message off, by its URN.
    const HVItemId gone = added.first().id();
    QCOMPARE(feedsTool({"remove", gone.localId()}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(removed.size(), 1, 20000);
    QCOMPARE(removed.first().id(), gone);
    QCOMPARE(removed.first().type(), HVItemType::TypeFeed);
    // The removal made no query of its own.
    QCOMPARE(emissions.mid(emitted), QStringList({"removed 1", "added 0"}));
    QVERIFY(!m_messages.filter("slotFeedMessagesChanged(): deletes: graph ").isEmpty());
    QCOMPARE(m_source->retrieveItemList(today, today.addDays(1)).size(), 1);
}

void TestFeedsServicePlugin::unreachableEndpointGivesEmptyResults()
{
    qputenv("HALVANE_TRACKER_SERVICE", "org.halvane.NobodyHere");
    createService();
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    QVERIFY(m_source->retrieveItemList(today, today.addDays(1)).isEmpty());
    QVERIFY(m_messages.contains("getItemListFromBackend - connection - ERROR")
            || m_messages.contains("getItemListFromBackend - result - ERROR"));
}

void TestFeedsServicePlugin::endpointStartedLaterStillNotifies()
{
    // The source is there first, as when the overview starts before Tracker.
    const QString later = QStringLiteral("org.halvane.TestFeedsLater");
    qputenv("HALVANE_TRACKER_SERVICE", later.toUtf8());
    createService();
    QList<HVItem> added;
    connect(m_source, &HVServiceSource::itemsAdded, this, [&](const QList<HVItem> &items) { added += items; });

    // Told through the bus in the order watchers were made: once this one
    // hears of the endpoint, the source has.
    QDBusServiceWatcher watcher(later, QDBusConnection::sessionBus());
    QSignalSpy registered(&watcher, &QDBusServiceWatcher::serviceRegistered);
    QProcess endpoint;
    const QString database = m_dir.filePath("later");
    QVERIFY(HVTest::startTrackerEndpoint(endpoint, database, later));
    QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 1, 20000);
    QFile rss(m_dir.filePath("later.rss"));
    const auto import = [&](const QByteArray &feed) {
        if (!rss.open(QIODevice::WriteOnly))
            return -1;
        rss.write(feed);
        rss.close();
        return feedsTool({"import", rss.fileName()});
    };
    QCOMPARE(import(Rss), 0);
    QTRY_COMPARE_WITH_TIMEOUT(added.size(), 2, 20000);

    // Gone and back: it listens again.
    endpoint.terminate();
    QVERIFY(endpoint.waitForFinished());
    QVERIFY(HVTest::startTrackerEndpoint(endpoint, database, later));
    QTRY_COMPARE_WITH_TIMEOUT(registered.size(), 2, 20000);
    QByteArray third(Rss);
    third.replace("<item><title>Second</title><guid>https://test.example.org/2</guid><description>two</description></item>\n", "")
        .replace("test.example.org/1", "test.example.org/3")
        .replace("<title>First</title>", "<title>Third</title>");
    QCOMPARE(import(third), 0);
    QTRY_COMPARE_WITH_TIMEOUT(added.size(), 3, 20000);
    QCOMPARE(HVFeed(added.last()).title(), QString("Third"));
    endpoint.terminate();
    QVERIFY(endpoint.waitForFinished());
}

QTEST_GUILESS_MAIN(TestFeedsServicePlugin)
#include "tst_feedsserviceplugin.moc"
