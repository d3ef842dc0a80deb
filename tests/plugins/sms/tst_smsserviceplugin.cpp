// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtTest/QtTest>

#include <ctime>

#include "commhistory.h"
#include "historywriter.h"
#include "hvitemmodel.h"
#include "hvitemmodelfactory.h"
#include "hvitemtype.h"
#include "hvmessage.h"
#include "hvproxyitemmodel.h"
#include "hvservice.h"
#include "hvservicefactory.h"
#include "hvservicesource.h"

using namespace Halvane;
using CommHistory::Event;

static QStringList s_warnings;
static QtMessageHandler s_testHandler = nullptr;

static void collectWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        s_warnings << message;
    if (s_testHandler)
        s_testHandler(type, context, message);
}

// The SMS plug-in, loaded from a temporary plug-ins directory, on a real
// history file; halvane-commhistory changes the history from another process.
class TestSmsServicePlugin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void retrievalAnswersTheStartDay();
    void onlyReceivedSmsAreRetrieved();
    void recordFromNameOrJoinedNumbers();
    void unknownGroupGivesNoSender();
    void repeatedRetrievalsRegisterNumberedPaths();
    void liveChangesArriveOnceEach();
    void sentMessagesNeverArriveAsReceived();
    void liveChangesKeepToTheRetrievedDay();
    void deletionOfAnEventNotHeldStillRemovesIt();
    void corruptHistoryGivesNoItems();
    void modelsFollowTheHistory();

private:
    QList<HVItem> retrieve(const QDateTime &from, const QDateTime &to);
    Event addSms(const QDateTime &end, int groupId, const QString &text, Event::EventDirection direction = Event::Inbound,
                 Event::EventType type = Event::SMSEvent);
    QString tool(const QStringList &arguments);

    QTemporaryDir m_pluginsDir;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
    HVService *m_service = nullptr;
    HVServiceSource *m_source = nullptr;
    // Every retrieval in this process takes the next number of the plug-in's paths.
    int m_retrievals = 0;
};

void TestSmsServicePlugin::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test runs on a private session bus");
    // For the signal spies; the item manager registers it only when it is first used.
    qRegisterMetaType<QList<HVItem>>("QList<HVItem>");
    QVERIFY(m_pluginsDir.isValid());
    QVERIFY(QDir().mkpath(m_pluginsDir.filePath("plugins")));
    QVERIFY(QFile::copy(HVTEST_SMS_PLUGIN, m_pluginsDir.filePath("plugins/libhalvanesmsplugin.so")));
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir.path() + "/"));
    QCOMPARE(HVServiceFactory::keys(), QStringList{"halvanesms"});
}

void TestSmsServicePlugin::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = m_dir->filePath("commhistory.db");
    qputenv("HALVANE_COMMHISTORY_DB", QFile::encodeName(m_db));
    m_service = HVServiceFactory::createService("halvanesms");
    QVERIFY(m_service);
    m_source = m_service->source();
    QVERIFY(m_source);
}

void TestSmsServicePlugin::cleanup()
{
    delete m_service;
    m_service = nullptr;
    m_source = nullptr;
}

QList<HVItem> TestSmsServicePlugin::retrieve(const QDateTime &from, const QDateTime &to)
{
    ++m_retrievals;
    return m_source->retrieveItemList(from, to);
}

Event TestSmsServicePlugin::addSms(const QDateTime &end, int groupId, const QString &text,
                                   Event::EventDirection direction, Event::EventType type)
{
    CommHistory::HistoryWriter writer(m_db);
    Event event;
    event.setType(type);
    event.setDirection(direction);
    event.setParentId(4098);
    event.setGroupId(groupId);
    event.setStartTime(end.addSecs(-30));
    event.setEndTime(end);
    event.setFreeText(text);
    QList<Event> events{event};
    return writer.addEvents(events) ? events.first() : Event();
}

QString TestSmsServicePlugin::tool(const QStringList &arguments)
{
    QProcess process;
    process.start(HVTEST_COMMHISTORY_PROGRAM, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "halvane-commhistory" << arguments << "failed:" << process.readAllStandardError();
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void TestSmsServicePlugin::retrievalAnswersTheStartDay()
{
    const QDate day(2026, 6, 21);
    CommHistory::HistoryWriter writer(m_db);
    const int group = writer.ensureGroup("+4410", "Ann").id();
    const int early = addSms(QDateTime(day, QTime(0, 0)), group, "early").id();
    const int late = addSms(QDateTime(day, QTime(23, 59, 59, 500)), group, "late").id();
    addSms(QDateTime(day.addDays(-1), QTime(23, 59, 59)), group, "day before");
    addSms(QDateTime(day.addDays(1), QTime(0, 0)), group, "day after");

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^data :  \"\\w+ Jun 21 23:59:59 2026\"$"));
    QTest::ignoreMessage(QtDebugMsg, "receiveEvents after getEvents");
    const QList<HVItem> whole = retrieve(QDateTime(day, QTime(0, 0)), QDateTime(day.addDays(1), QTime(0, 0)));
    // The end plays no part: a retrieval always answers the start's whole day.
    const QList<HVItem> morning = retrieve(QDateTime(day, QTime(0, 0)), QDateTime(day, QTime(9, 0)));
    const QList<HVItem> fromNoon = retrieve(QDateTime(day, QTime(12, 0)), QDateTime(day.addDays(3), QTime(0, 0)));

    QCOMPARE(whole.size(), 2);
    QCOMPARE(morning, whole);
    QCOMPARE(fromNoon, whole);
    QCOMPARE(HVMessage(whole.at(0)).body(), QString("early"));
    QCOMPARE(whole.at(0).id(), HVItemId(QString::number(early), "SMSPlugin"));
    QCOMPARE(whole.at(1).id(), HVItemId(QString::number(late), "SMSPlugin"));

    const HVMessage message(whole.at(1));
    QCOMPARE(message.type(), HVItemType::TypeMessage);
    QCOMPARE(message.messageType(), HVMessage::Sms);
    QCOMPARE(message.subject(), QString("SMS"));
    QCOMPARE(message.from(), QString("Ann"));
    QCOMPARE(message.phoneNumber(), QString("+4410"));
    QCOMPARE(message.receivedDateTime(), QDateTime(day, QTime(23, 59, 59, 500)));
    QCOMPARE(message.receivedDateTime().timeSpec(), Qt::LocalTime);
    QCOMPARE(message.dateTime(), message.receivedDateTime());
    QVERIFY(message.description().isEmpty());
    QVERIFY(message.displayLabel().isEmpty());

    // Where the clocks go back at midnight, the day's last hour comes twice,
    // and the second is the day's too.
    qputenv("TZ", "America/Santiago");
    tzset();
    const QDateTime secondTime = QDateTime::fromString(QStringLiteral("2026-04-05T03:30:00Z"), Qt::ISODate).toLocalTime();
    const int repeated = addSms(secondTime, group, "repeated hour").id();
    const QList<HVItem> longDay = retrieve(QDateTime(QDate(2026, 4, 4), QTime(0, 0)), QDateTime(QDate(2026, 4, 5), QTime(0, 0)));
    qunsetenv("TZ");
    tzset();
    QCOMPARE(secondTime.date(), QDate(2026, 4, 4));
    QCOMPARE(longDay.size(), 1);
    QCOMPARE(longDay.first().id().localId(), QString::number(repeated));
}

void TestSmsServicePlugin::onlyReceivedSmsAreRetrieved()
{
    const QDateTime noon(QDate(2026, 6, 21), QTime(12, 0));
    CommHistory::HistoryWriter writer(m_db);
    const int group = writer.ensureGroup("+4410").id();
    addSms(noon, group, "sent, filed in the inbox", Event::Outbound);
    addSms(noon, group, "a call", Event::Inbound, Event::CallEvent);
    addSms(noon, group, "no direction", Event::UnknownDirection);
    const int received = addSms(noon, group, "received").id();

    const QList<HVItem> items = retrieve(noon, noon.addDays(1));
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().id().localId(), QString::number(received));

    // halvane-commhistory files sent messages in the sent folder.
    QVERIFY(!tool({"add-sms", "--from", "+4410", "--text", "sent", "--outbound", "--time", "2026-06-21T13:00:00"}).isEmpty());
    QCOMPARE(retrieve(noon, noon.addDays(1)).size(), 1);
}

void TestSmsServicePlugin::recordFromNameOrJoinedNumbers()
{
    const QDateTime noon(QDate(2026, 6, 21), QTime(12, 0));
    CommHistory::HistoryWriter writer(m_db);
    CommHistory::Group conference;
    conference.setRemoteUids({"+111", "+222", "+333"});
    QVERIFY(writer.database().begin());
    QVERIFY(writer.database().insertGroup(conference));
    QVERIFY(writer.database().commit());
    addSms(noon, conference.id(), "to all");
    addSms(noon.addSecs(60), writer.ensureGroup("+444").id(), "bare number");
    addSms(noon.addSecs(120), writer.ensureGroup("+555", "Bea").id(), "named");

    const QList<HVItem> items = retrieve(noon, noon);
    QCOMPARE(items.size(), 3);
    QCOMPARE(HVMessage(items.at(0)).from(), QString("+111|+222|+333"));
    QCOMPARE(HVMessage(items.at(0)).phoneNumber(), QString("+111|+222|+333"));
    QCOMPARE(HVMessage(items.at(1)).from(), QString("+444"));
    QCOMPARE(HVMessage(items.at(1)).phoneNumber(), QString("+444"));
    QCOMPARE(HVMessage(items.at(2)).from(), QString("Bea"));
    QCOMPARE(HVMessage(items.at(2)).phoneNumber(), QString("+555"));
}

void TestSmsServicePlugin::unknownGroupGivesNoSender()
{
    const QDateTime noon(QDate(2026, 6, 21), QTime(12, 0));
    CommHistory::HistoryWriter writer(m_db);
    const int named = writer.ensureGroup("+555", "Bea").id();
    addSms(noon, named, "known");
    addSms(noon.addSecs(60), named + 7, "orphan");

    const QList<HVItem> items = retrieve(noon, noon);
    QCOMPARE(items.size(), 2);
    // Never the last row's group.
    QCOMPARE(HVMessage(items.at(1)).body(), QString("orphan"));
    QCOMPARE(HVMessage(items.at(1)).from(), QString());
    QCOMPARE(HVMessage(items.at(1)).phoneNumber(), QString());
    QCOMPARE(HVMessage(items.at(0)).from(), QString("Bea"));
}

void TestSmsServicePlugin::repeatedRetrievalsRegisterNumberedPaths()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDateTime now = QDateTime::currentDateTime();
    const int first = m_retrievals;
    for (int i = 0; i < 3; ++i) {
        retrieve(now, now);
        const QString path = QString("/SMSManager%1").arg(first + i);
        QCOMPARE(bus.objectRegisteredAt(path), static_cast<QObject *>(m_source));
        QVERIFY(!bus.objectRegisteredAt(QString("/SMSManager%1").arg(first + i + 1)));
    }
}

void TestSmsServicePlugin::liveChangesArriveOnceEach()
{
    QSignalSpy added(m_source, &HVServiceSource::itemsAdded);
    QSignalSpy changed(m_source, &HVServiceSource::itemsChanged);
    QSignalSpy removed(m_source, &HVServiceSource::itemsRemoved);
    const QDateTime now = QDateTime::currentDateTime();
    // Nothing is followed before the first retrieval; after it, each further
    // retrieval must not add another delivery.
    QVERIFY(!tool({"add-sms", "--from", "+4410", "--text", "before"}).isEmpty());
    s_warnings.clear();
    s_testHandler = qInstallMessageHandler(collectWarnings);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(retrieve(now, now).size(), 1);
    qInstallMessageHandler(s_testHandler);
    // QtDBus refuses a connection it already has, with a warning of the
    // source: the later retrievals did not try.
    QCOMPARE(s_warnings, QStringList());

    QTest::ignoreMessage(QtDebugMsg, "eventsAddedSlot events :  1");
    // Received a while ago, within the day.
    const QDateTime sent = qMax(now.addSecs(-120), QDateTime(now.date(), QTime(0, 0)));
    const QString id = tool({"add-sms", "--from", "+4420", "--name", "Cy", "--text", "hello", "--time",
                             sent.toString(Qt::ISODate)});
    QVERIFY(!id.isEmpty());
    QTRY_COMPARE(added.size(), 1);
    const QList<HVItem> items = added.first().first().value<QList<HVItem>>();
    QCOMPARE(items.size(), 1);
    const HVMessage message(items.first());
    QCOMPARE(message.id(), HVItemId(id, "SMSPlugin"));
    QCOMPARE(message.body(), QString("hello"));
    // A conversation begun after the retrieval still has its sender.
    QCOMPARE(message.from(), QString("Cy"));
    QCOMPARE(message.phoneNumber(), QString("+4420"));
    QCOMPARE(message.receivedDateTime(), QDateTime::fromString(sent.toString(Qt::ISODate), Qt::ISODate));

    QVERIFY(tool({"update", id, "--text", "hello again"}).isEmpty());
    QTRY_COMPARE(changed.size(), 1);
    const HVMessage update(changed.first().first().value<QList<HVItem>>().value(0));
    QCOMPARE(update.id(), HVItemId(id, "SMSPlugin"));
    QCOMPARE(update.body(), QString("hello again"));
    // An edited message was still received when it was.
    QCOMPARE(update.receivedDateTime(), message.receivedDateTime());

    QVERIFY(tool({"delete", id}).isEmpty());
    QTRY_COMPARE(removed.size(), 1);
    QCOMPARE(removed.first().first().value<QList<HVItem>>().value(0).id(), HVItemId(id, "SMSPlugin"));

    // Signals from one sender keep their order: a second delivery of any of
    // them would have come before this last one.
    QVERIFY(!tool({"add-sms", "--from", "+4420", "--text", "last"}).isEmpty());
    QTRY_COMPARE(added.size(), 2);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(removed.size(), 1);

    // A sender saved in the address book since comes named: the new message,
    // and the day's earlier one from that number.
    QVERIFY(!tool({"add-sms", "--from", "+4410", "--name", "Al", "--text", "named"}).isEmpty());
    QTRY_COMPARE(added.size(), 3);
    QCOMPARE(HVMessage(added.last().first().value<QList<HVItem>>().value(0)).from(), QString("Al"));
    QTRY_COMPARE(changed.size(), 2);
    const QList<HVItem> renamed = changed.last().first().value<QList<HVItem>>();
    QCOMPARE(renamed.size(), 1);
    QCOMPARE(HVMessage(renamed.first()).body(), QString("before"));
    QCOMPARE(HVMessage(renamed.first()).from(), QString("Al"));
}

void TestSmsServicePlugin::sentMessagesNeverArriveAsReceived()
{
    QSignalSpy added(m_source, &HVServiceSource::itemsAdded);
    QSignalSpy changed(m_source, &HVServiceSource::itemsChanged);
    const QDateTime now = QDateTime::currentDateTime();
    retrieve(now, now);

    const QString sent = tool({"add-sms", "--from", "+4430", "--text", "on my way", "--outbound"});
    QVERIFY(!sent.isEmpty());
    QTRY_COMPARE(added.size(), 1);
    QVERIFY(added.first().first().value<QList<HVItem>>().isEmpty());
    QVERIFY(tool({"update", sent, "--text", "on my way!"}).isEmpty());
    QTRY_COMPARE(changed.size(), 1);
    QVERIFY(changed.first().first().value<QList<HVItem>>().isEmpty());

    // Several events in one signal: only the received SMS comes through.
    Event out;
    out.setType(Event::SMSEvent);
    out.setDirection(Event::Outbound);
    out.setEndTime(now);
    Event call = out;
    call.setType(Event::CallEvent);
    call.setDirection(Event::Inbound);
    Event in = out;
    in.setDirection(Event::Inbound);
    in.setFreeText("received");
    CommHistory::HistoryWriter writer(m_db);
    QList<Event> events{out, call, in};
    QVERIFY(writer.addEvents(events));
    QTRY_COMPARE(added.size(), 2);
    const QList<HVItem> items = added.at(1).first().value<QList<HVItem>>();
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().id().localId(), QString::number(events.at(2).id()));
}

void TestSmsServicePlugin::liveChangesKeepToTheRetrievedDay()
{
    QSignalSpy added(m_source, &HVServiceSource::itemsAdded);
    QSignalSpy changed(m_source, &HVServiceSource::itemsChanged);
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(retrieve(now, now.addDays(7)).isEmpty());

    // A history sync brings old and future-dated messages with today's.
    Event event;
    event.setType(Event::SMSEvent);
    event.setDirection(Event::Inbound);
    event.setParentId(4098);
    QList<Event> events;
    for (int days : {-1, 0, 1}) {
        event.setEndTime(now.addDays(days));
        event.setFreeText(QString::number(days));
        events << event;
    }
    CommHistory::HistoryWriter writer(m_db);
    QVERIFY(writer.addEvents(events));
    QTRY_COMPARE(added.size(), 1);
    const QList<HVItem> items = added.first().first().value<QList<HVItem>>();
    QCOMPARE(items.size(), 1);
    QCOMPARE(HVMessage(items.first()).body(), QString("0"));

    QList<Event> old{events.first()};
    old.first().setFreeText("edited");
    QVERIFY(writer.modifyEvents(old));
    QTRY_COMPARE(changed.size(), 1);
    QVERIFY(changed.first().first().value<QList<HVItem>>().isEmpty());
}

void TestSmsServicePlugin::deletionOfAnEventNotHeldStillRemovesIt()
{
    QSignalSpy removed(m_source, &HVServiceSource::itemsRemoved);
    const QDateTime now = QDateTime::currentDateTime();
    CommHistory::HistoryWriter writer(m_db);
    const int group = writer.ensureGroup("+4440", "Dee").id();
    const int held = addSms(now.addSecs(-120), group, "held").id();
    const int neighbour = addSms(now.addSecs(-60), group, "neighbour").id();
    QCOMPARE(retrieve(now, now).size(), 2);

    // Recorded after the retrieval: the source's rows do not hold it.
    const int unheld = addSms(now, group, "new").id();
    QVERIFY(unheld > neighbour);
    QTest::ignoreMessage(QtDebugMsg, "eventDeletedSlot one event  ");
    QVERIFY(tool({"delete", QString::number(unheld)}).isEmpty());
    QTRY_COMPARE(removed.size(), 1);
    const QList<HVItem> gone = removed.first().first().value<QList<HVItem>>();
    QCOMPARE(gone.size(), 1);
    QCOMPARE(gone.first().type(), HVItemType::TypeMessage);
    QCOMPARE(gone.first().id(), HVItemId(QString::number(unheld), "SMSPlugin"));

    // One the retrieval found is removed with its own record.
    QVERIFY(tool({"delete", QString::number(held)}).isEmpty());
    QTRY_COMPARE(removed.size(), 2);
    const HVMessage heldItem(removed.at(1).first().value<QList<HVItem>>().value(0));
    QCOMPARE(heldItem.id(), HVItemId(QString::number(held), "SMSPlugin"));
    QCOMPARE(heldItem.body(), QString("held"));
}

void TestSmsServicePlugin::corruptHistoryGivesNoItems()
{
    QFile file(m_db);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a usable history database"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a usable history database"));
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(retrieve(now, now).isEmpty());
    QVERIFY(retrieve(now, now).isEmpty());
    QCOMPARE(QFileInfo(m_db).size(), 4096);
}

void TestSmsServicePlugin::modelsFollowTheHistory()
{
    // The framework's own road: model, item manager, handler, the plug-in.
    QVERIFY(!tool({"add-sms", "--from", "+4450", "--name", "Eve", "--text", "good morning"}).isEmpty());
    QVERIFY(!tool({"add-sms", "--from", "+4450", "--text", "not shown", "--outbound"}).isEmpty());
    HVProxyItemModel *model = HVItemModelFactory::createModel(HVItemType::TypeMessage);
    QVERIFY(model);
    ++m_retrievals;
    const int from = model->roleNames().key("from");
    const int body = model->roleNames().key("body");
    QTRY_COMPARE(model->rowCount(), 1);
    QCOMPARE(model->data(model->index(0, 0), from).toString(), QString("Eve"));

    const QString id = tool({"add-sms", "--from", "+4460", "--text", "are you there?"});
    QVERIFY(!id.isEmpty());
    QTRY_COMPARE(model->rowCount(), 2);
    QStringList bodies{model->data(model->index(0, 0), body).toString(), model->data(model->index(1, 0), body).toString()};
    QVERIFY(bodies.contains("are you there?"));

    QVERIFY(tool({"delete", id}).isEmpty());
    QTRY_COMPARE(model->rowCount(), 1);
    QCOMPARE(model->data(model->index(0, 0), body).toString(), QString("good morning"));
}

QTEST_GUILESS_MAIN(TestSmsServicePlugin)
#include "tst_smsserviceplugin.moc"
