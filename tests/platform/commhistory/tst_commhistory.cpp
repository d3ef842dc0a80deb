// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtTest/QtTest>

#include "commhistory.h"
#include "database.h"
#include "groupmodel.h"
#include "historywriter.h"
#include "syncsmsmodel.h"

using namespace CommHistory;

// Collects the history's change signals as they come back from the session bus.
class SignalCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QList<Event>> added;
    QList<QList<Event>> updated;
    QList<int> deleted;

public Q_SLOTS:
    void eventsAdded(const QList<CommHistory::Event> &events) { added.append(events); }
    void eventsUpdated(const QList<CommHistory::Event> &events) { updated.append(events); }
    void eventDeleted(int id) { deleted.append(id); }
};

// The history layer on a real database file and a private session bus.
class TestCommHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void missingDatabaseIsCreatedAndShared();
    void writersSignalCommittedChanges();
    void failedChangesAreNotSignalled();
    void filterTimeSelectsItsDayUpToIt_data();
    void filterTimeSelectsItsDayUpToIt();
    void modelsLookUpRows();
    void corruptDatabaseGivesNothingAndStaysUntouched();

private:
    Event sms(const QDateTime &end, Event::EventDirection direction = Event::Inbound, int folder = 4098);
    int addEvent(const Event &event);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
    SignalCatcher m_catcher;
};

void TestCommHistory::initTestCase()
{
    registerTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY2(bus.isConnected(), "the test runs on a private session bus");
    QVERIFY(bus.connect(QString(), QString(), dbusInterface(), "eventsAdded", &m_catcher,
                        SLOT(eventsAdded(QList<CommHistory::Event>))));
    QVERIFY(bus.connect(QString(), QString(), dbusInterface(), "eventsUpdated", &m_catcher,
                        SLOT(eventsUpdated(QList<CommHistory::Event>))));
    QVERIFY(bus.connect(QString(), QString(), dbusInterface(), "eventDeleted", &m_catcher, SLOT(eventDeleted(int))));
}

void TestCommHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = m_dir->filePath("history/commhistory.db");
    qputenv("HALVANE_COMMHISTORY_DB", QFile::encodeName(m_db));
    m_catcher.added.clear();
    m_catcher.updated.clear();
    m_catcher.deleted.clear();
}

void TestCommHistory::cleanup()
{
    // Signals from one connection keep their order: once this marker is back,
    // nothing of this test is still on its way into the next.
    QDBusConnection::sessionBus().send(QDBusMessage::createSignal("/marker", dbusInterface(), "eventDeleted") << -1);
    QTRY_VERIFY(m_catcher.deleted.contains(-1));
}

Event TestCommHistory::sms(const QDateTime &end, Event::EventDirection direction, int folder)
{
    Event event;
    event.setType(Event::SMSEvent);
    event.setDirection(direction);
    event.setParentId(folder);
    event.setStartTime(end.addSecs(-5));
    event.setEndTime(end);
    event.setFreeText("at " + end.toString(Qt::ISODate));
    return event;
}

int TestCommHistory::addEvent(const Event &event)
{
    HistoryWriter writer(m_db);
    QList<Event> events{event};
    if (!writer.addEvents(events))
        return -1;
    return events.first().id();
}

void TestCommHistory::missingDatabaseIsCreatedAndShared()
{
    QVERIFY(!QFile::exists(m_db));
    QCOMPARE(databasePath(), m_db);
    qunsetenv("HALVANE_COMMHISTORY_DB");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->filePath("data")));
    QCOMPARE(databasePath(), m_dir->filePath("data/halvane/commhistory.db"));
    qputenv("HALVANE_COMMHISTORY_DB", QFile::encodeName(m_db));

    // A reader and a writer on the same new file, each with its own connection.
    SyncSMSModel reader(4098);
    reader.setQueryMode(EventModel::SyncQuery);
    QVERIFY(reader.getEvents());
    QCOMPARE(reader.rowCount(), 0);
    QVERIFY(QFile::exists(m_db));

    HistoryWriter writer(m_db);
    QVERIFY(writer.isOpen());
    const Group group = writer.ensureGroup("+100", "Ann");
    QVERIFY(group.isValid());
    QCOMPARE(writer.ensureGroup("+100").id(), group.id());
    QCOMPARE(writer.ensureGroup("+100").contactName(), QString("Ann"));
    QVERIFY(writer.ensureGroup("+200").id() != group.id());
    // The same number written otherwise is the same sender, with its name.
    const Group claire = writer.ensureGroup("+33 6 12 34 56 78", "Claire");
    QCOMPARE(writer.ensureGroup("+33612345678").id(), claire.id());
    QCOMPARE(writer.ensureGroup("0033612345678").contactName(), QString("Claire"));
    QCOMPARE(writer.ensureGroup("06 12 34 56 78").contactName(), QString("Claire"));
    // As pasted from a browser or a messenger: no-break spaces, a
    // non-breaking hyphen, direction marks, Arabic-Indic digits.
    QCOMPARE(writer.ensureGroup(QString::fromUtf8("\xe2\x80\xaa+33\xc2\xa0" "6\xe2\x80\xaf" "12\xe2\x80\x91" "34 56 78\xe2\x80\xac"))
                 .id(), claire.id());
    QCOMPARE(writer.ensureGroup(QString::fromUtf8("+\xd9\xa3\xd9\xa3\xd9\xa6\xd9\xa1\xd9\xa2\xd9\xa3\xd9\xa4\xd9\xa5\xd9\xa6\xd9\xa7\xd9\xa8"))
                 .id(), claire.id());
    QVERIFY(writer.ensureGroup("012345678").id() != claire.id());
    // At home in France, a national number is a French one, not Bert's in
    // Berlin; "(0)" is not dialled from abroad.
    const Group bert = writer.ensureGroup("+49 (0)30 1234567", "Bert");
    QCOMPARE(writer.ensureGroup("+49301234567").id(), bert.id());
    QVERIFY(writer.ensureGroup("030 1234567").id() != bert.id());

    Event event = sms(QDateTime::currentDateTime());
    event.setGroupId(group.id());
    QList<Event> events{event};
    QVERIFY(writer.addEvents(events));
    QVERIFY(reader.getEvents());
    QCOMPARE(reader.rowCount(), 1);
    QCOMPARE(reader.event(reader.index(0, 0)).groupId(), group.id());
}

void TestCommHistory::writersSignalCommittedChanges()
{
    HistoryWriter writer(m_db);
    const Group group = writer.ensureGroup("+100");
    Event first = sms(QDateTime(QDate(2026, 3, 1), QTime(9, 0)));
    first.setGroupId(group.id());
    first.setRemoteUid("+100");
    Event second = sms(QDateTime(QDate(2026, 3, 1), QTime(9, 30)), Event::Outbound, 4099);
    QList<Event> events{first, second};
    QVERIFY(writer.addEvents(events));
    QVERIFY(events.at(0).id() >= 0 && events.at(1).id() > events.at(0).id());
    QVERIFY(events.at(0).lastModified().isValid());

    // Every field travels over the bus; the signal comes after the commit,
    // so a reader sees the events when it arrives.
    QTRY_COMPARE(m_catcher.added.size(), 1);
    QCOMPARE(m_catcher.added.first(), events);
    Database reader(m_db);
    QCOMPARE(reader.event(events.at(1).id()), events.at(1));

    Event changed = events.first();
    changed.setFreeText("edited");
    QList<Event> changes{changed};
    QVERIFY(writer.modifyEvents(changes));
    QVERIFY(changes.first().lastModified() >= events.first().lastModified());
    QTRY_COMPARE(m_catcher.updated.size(), 1);
    QCOMPARE(m_catcher.updated.first(), changes);
    QCOMPARE(reader.event(changed.id()).freeText(), QString("edited"));

    QVERIFY(writer.deleteEvent(events.at(1).id()));
    QTRY_COMPARE(m_catcher.deleted, QList<int>{events.at(1).id()});
    QVERIFY(!reader.event(events.at(1).id()).isValid());
}

void TestCommHistory::failedChangesAreNotSignalled()
{
    HistoryWriter writer(m_db);
    const int kept = addEvent(sms(QDateTime::currentDateTime()));
    QVERIFY(kept >= 0);
    QTRY_COMPARE(m_catcher.added.size(), 1);

    QVERIFY(!writer.deleteEvent(kept + 100));
    Event ghost = sms(QDateTime::currentDateTime());
    ghost.setId(kept + 100);
    Event real = writer.database().event(kept);
    real.setFreeText("not stored");
    // One unknown event spoils the whole change.
    QList<Event> changes{real, ghost};
    QVERIFY(!writer.modifyEvents(changes));
    QVERIFY(writer.database().event(kept).freeText() != QString("not stored"));

    // A later change is the next signal to arrive: nothing came for the failed ones.
    QVERIFY(writer.deleteEvent(kept));
    QTRY_COMPARE(m_catcher.deleted, QList<int>{kept});
    QCOMPARE(m_catcher.updated.size(), 0);
    QCOMPARE(m_catcher.added.size(), 1);
}

void TestCommHistory::filterTimeSelectsItsDayUpToIt_data()
{
    QTest::addColumn<QTime>("filterTime");
    QTest::addColumn<bool>("byLastModified");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("end of day") << QTime(23, 59, 59) << false
                                << QStringList{"00:00", "08:00", "12:00", "23:59:59"};
    QTest::newRow("noon, inclusive") << QTime(12, 0) << false << QStringList{"00:00", "08:00", "12:00"};
    QTest::newRow("midnight") << QTime(0, 0) << false << QStringList{"00:00"};
    QTest::newRow("by last change") << QTime(23, 59, 59) << true << QStringList{"00:00", "08:00", "late change", "12:00", "23:59:59"};
}

void TestCommHistory::filterTimeSelectsItsDayUpToIt()
{
    QFETCH(QTime, filterTime);
    QFETCH(bool, byLastModified);
    QFETCH(QStringList, expected);

    const QDate day(2026, 5, 14);
    const auto at = [&](const QDate &date, const QTime &time, const QString &text) {
        Event event = sms(QDateTime(date, time));
        event.setLastModified(QDateTime(date, time));
        event.setFreeText(text);
        return event;
    };
    QList<Event> events{
        at(day, QTime(12, 0), "12:00"),
        at(day, QTime(8, 0), "08:00"),
        at(day, QTime(23, 59, 59), "23:59:59"),
        at(day, QTime(0, 0), "00:00"),
        at(day.addDays(-1), QTime(23, 59, 59), "day before"),
        at(day.addDays(1), QTime(0, 0), "day after"),
    };
    Event otherFolder = at(day, QTime(9, 0), "other folder");
    otherFolder.setParentId(4099);
    Event call = at(day, QTime(9, 0), "a call");
    call.setType(Event::CallEvent);
    // Arrived the day before, changed on the day.
    Event changedLater = at(day.addDays(-1), QTime(10, 0), "late change");
    changedLater.setLastModified(QDateTime(day, QTime(10, 0)));
    events << otherFolder << call << changedLater;
    HistoryWriter writer(m_db);
    QVERIFY(writer.addEvents(events));

    SyncSMSModel model(4098, QDateTime(), false);
    model.setQueryMode(EventModel::SyncQuery);
    model.setSyncSmsFilter(SyncSMSFilter(4098, QDateTime(day, filterTime), byLastModified));
    QVERIFY(model.getEvents());
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.event(model.index(row, 0)).freeText();
    QCOMPARE(texts, expected);

    // Without a time: every SMS of the folder.
    model.setSyncSmsFilter(SyncSMSFilter(4098, QDateTime(), false));
    QVERIFY(model.getEvents());
    QCOMPARE(model.rowCount(), 7);
}

void TestCommHistory::modelsLookUpRows()
{
    HistoryWriter writer(m_db);
    const Group ann = writer.ensureGroup("+100", "Ann");
    const Group bob = writer.ensureGroup("+200");
    QList<Event> events{sms(QDateTime(QDate(2026, 1, 2), QTime(8, 0))), sms(QDateTime(QDate(2026, 1, 2), QTime(9, 0)))};
    QVERIFY(writer.addEvents(events));

    SyncSMSModel model(4098);
    model.setQueryMode(EventModel::SyncQuery);
    QVERIFY(model.getEvents());
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.findEvent(events.at(1).id()).row(), 1);
    QCOMPARE(model.event(model.findEvent(events.at(1).id())), events.at(1));
    // An event the model does not hold: no row, and no event read from one.
    QVERIFY(!model.findEvent(events.at(1).id() + 1).isValid());
    QVERIFY(!model.event(model.findEvent(events.at(1).id() + 1)).isValid());
    QVERIFY(!model.event(model.index(2, 0)).isValid());

    GroupModel groups;
    groups.enableContactChanges(false);
    groups.setQueryMode(EventModel::SyncQuery);
    QVERIFY(groups.getGroups(QString(), QString()));
    QCOMPARE(groups.rowCount(), 2);
    QCOMPARE(groups.group(groups.index(0, 0)), ann);
    QCOMPARE(groups.group(groups.index(1, 0)), bob);
    QVERIFY(!groups.group(groups.index(2, 0)).isValid());
    QVERIFY(groups.getGroups(QString(), "+200"));
    QCOMPARE(groups.rowCount(), 1);
    QCOMPARE(groups.group(groups.index(0, 0)).remoteUids(), QStringList{"+200"});
}

void TestCommHistory::corruptDatabaseGivesNothingAndStaysUntouched()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_db).absolutePath()));
    const QByteArray garbage = QByteArray("this is no history\n").repeated(300);
    {
        QFile file(m_db);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a usable history database"));
    SyncSMSModel model(4098, QDateTime::currentDateTime(), false);
    model.setQueryMode(EventModel::SyncQuery);
    QVERIFY(!model.getEvents());
    QCOMPARE(model.rowCount(), 0);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a usable history database"));
    GroupModel groups;
    QVERIFY(!groups.getGroups());
    QCOMPARE(groups.rowCount(), 0);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not a usable history database"));
    HistoryWriter writer(m_db);
    QVERIFY(!writer.isOpen());
    QVERIFY(!writer.errorString().isEmpty());
    QVERIFY(!writer.ensureGroup("+100").isValid());
    QList<Event> events{sms(QDateTime::currentDateTime())};
    QVERIFY(!writer.addEvents(events));

    QFile file(m_db);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
}

QTEST_GUILESS_MAIN(TestCommHistory)
#include "tst_commhistory.moc"
