// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtTest/QtTest>

#include "database.h"
#include "historywriter.h"
#include "hvtestfixture.h"
#include "hvteststorage.h"

using namespace CommHistory;

class EventReceiver : public QObject
{
    Q_OBJECT
public:
    QList<QList<Event>> lists;
public Q_SLOTS:
    void received(const QList<CommHistory::Event> &events) { lists.append(events); }
};

// The history database when the disk fills up under a write, when the file
// cannot be read, and when the session bus the writers signal on is gone.
// Writes that hit the full disk are made by halvane-commhistory in a process
// whose file size is limited.
class TestHistoryFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void diskFullKeepsWhatWasStored();
    void unreadableHistory();
    void fullDiskStillReads();
    void foreignShapesAreSkipped();
    void sessionBusGoneStillStores();

private:
    int runTool(const QStringList &arguments, qint64 limitKiB, QByteArray *out = nullptr, QByteArray *err = nullptr);
    QStringList storedTexts();

    QTemporaryDir m_busDir;
    QProcess m_bus;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_database;
};

void TestHistoryFaults::initTestCase()
{
    QVERIFY(m_busDir.isValid());
    QVERIFY(HVTest::startSessionBus(m_bus, m_busDir.filePath("bus")));
}

void TestHistoryFaults::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_database = m_dir->filePath("commhistory.db");
    qputenv("HALVANE_COMMHISTORY_DB", QFile::encodeName(m_database));
}

int TestHistoryFaults::runTool(const QStringList &arguments, qint64 limitKiB, QByteArray *out, QByteArray *err)
{
    return HVTest::runWithFileLimit(HVTEST_COMMHISTORY_PROGRAM, arguments, limitKiB,
                                    QProcessEnvironment::systemEnvironment(), out, err);
}

QStringList TestHistoryFaults::storedTexts()
{
    Database db(m_database);
    if (!db.isOpen())
        return {"unreadable"};
    QStringList texts;
    for (const Event &event : db.events(Database::EventQuery()))
        texts.append(event.freeText());
    return texts;
}

void TestHistoryFaults::diskFullKeepsWhatWasStored()
{
    QStringList before;
    for (int i = 0; i < 5; ++i) {
        const QString text = QStringLiteral("kept %1").arg(i);
        QCOMPARE(runTool({"add-sms", "--from", "+15550001", "--text", text}, 0), 0);
        before.append(text);
    }
    QCOMPARE(storedTexts(), before);

    // A message far larger than the room left.
    const qint64 used = QFileInfo(m_database).size() + QFileInfo(m_database + "-wal").size();
    QByteArray err;
    const QString big(100000, QLatin1Char('b'));
    // (room for SQLite's shared-memory index, not for the message)
    QCOMPARE(runTool({"add-sms", "--from", "+15550002", "--text", big}, used / 1024 + 64, nullptr, &err), 1);
    QVERIFY2(err.contains("halvane-commhistory: cannot record"), err.constData());

    QCOMPARE(storedTexts(), before);
    QCOMPARE(HVTest::sqliteIntegrity(m_database), QStringLiteral("ok"));
    // With room again, it goes in.
    QCOMPARE(runTool({"add-sms", "--from", "+15550002", "--text", big}, 0), 0);
    QCOMPARE(storedTexts().size(), before.size() + 1);
    QCOMPARE(HVTest::sqliteIntegrity(m_database), QStringLiteral("ok"));
}

void TestHistoryFaults::unreadableHistory()
{
    // A directory where the file should be.
    QVERIFY(QDir().mkpath(m_database));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^CommHistory: "));
    {
        Database db(m_database);
        QVERIFY(!db.isOpen());
        QVERIFY(db.events(Database::EventQuery()).isEmpty());
        QVERIFY(!db.begin());
    }
    QByteArray err;
    QCOMPARE(runTool({"add-sms", "--from", "+15550001", "--text", "x"}, 0, nullptr, &err), 1);
    QVERIFY2(err.contains("\nhalvane-commhistory: "), err.constData());
    QCOMPARE(runTool({"list"}, 0, nullptr, &err), 1);
    QVERIFY(QFileInfo(m_database).isDir());
}

void TestHistoryFaults::fullDiskStillReads()
{
    QCOMPARE(runTool({"add-sms", "--from", "+15550001", "--text", "kept"}, 0), 0);
    // No room for SQLite's shared-memory index.
    HVTest::FileSizeLimit full(16);
    QVERIFY(full.isSet());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^CommHistory: the disk is full or read-only"));
    Database db(m_database);
    const auto texts = [&db] {
        QStringList texts;
        for (const Event &event : db.events(Database::EventQuery()))
            texts.append(event.freeText());
        return texts;
    };
    QCOMPARE(texts(), QStringList{"kept"});
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^CommHistory: the disk is full or read-only"));
    QVERIFY(!db.begin());
    QVERIFY2(db.errorString().contains("can only be read"), qPrintable(db.errorString()));

    // Room again: the same connection follows what others write, and writes.
    full.lift();
    QCOMPARE(runTool({"add-sms", "--from", "+15550001", "--text", "later"}, 0), 0);
    QTRY_COMPARE_WITH_TIMEOUT(texts(), (QStringList{"kept", "later"}), 5000);
    QVERIFY(db.begin());
    db.rollback();
}

void TestHistoryFaults::sessionBusGoneStillStores()
{
    HistoryWriter writer(m_database);
    QVERIFY(writer.isOpen());
    const Group group = writer.ensureGroup("+15550001");
    QVERIFY(group.isValid());

    m_bus.kill();
    QVERIFY(m_bus.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().isConnected(), 10000);

    // Stored all the same; only the signal is lost.
    Event event;
    event.setType(Event::SMSEvent);
    event.setDirection(Event::Inbound);
    event.setParentId(4098);
    event.setGroupId(group.id());
    event.setEndTime(QDateTime::currentDateTime());
    event.setFreeText("after the bus");
    QList<Event> events{event};
    QVERIFY(writer.addEvents(events));
    QVERIFY(events.first().isValid());
    events.first().setFreeText("changed after the bus");
    QVERIFY(writer.modifyEvents(events));
    QCOMPARE(storedTexts(), QStringList{"changed after the bus"});
    QVERIFY(writer.deleteEvent(events.first().id()));
    QVERIFY(storedTexts().isEmpty());

    // A program started now has no bus at all, and still records.
    QByteArray out;
    QCOMPARE(runTool({"add-sms", "--from", "+15550001", "--text", "no bus"}, 0, &out), 0);
    QCOMPARE(storedTexts(), QStringList{"no bus"});
}

void TestHistoryFaults::foreignShapesAreSkipped()
{
    registerTypes();
    // Anyone on the bus may send the history's signal names with other
    // arguments. A receiver that takes them as events without naming the
    // signature gets each element that is no event as an invalid one.
    EventReceiver receiver;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Only what this test sends: a writer of an earlier test may still be heard.
    QVERIFY(bus.connect(bus.baseService(), QString(), dbusInterface(), "eventsAdded", &receiver,
                        SLOT(received(QList<CommHistory::Event>))));
    const auto send = [&bus](const QVariant &argument) {
        QDBusMessage signal = QDBusMessage::createSignal(dbusObjectPath(), dbusInterface(), "eventsAdded");
        signal << argument;
        QVERIFY(bus.send(signal));
    };
    QDBusArgument mixed;
    mixed.beginArray(qMetaTypeId<QDBusVariant>());
    mixed << QDBusVariant(5) << QDBusVariant(QString("x"));
    mixed.endArray();
    send(QVariant::fromValue(mixed));
    QDBusArgument shortStruct;
    shortStruct.beginStructure();
    shortStruct << 7 << QString("x");
    shortStruct.endStructure();
    send(QVariant::fromValue(shortStruct));
    // (An array of strings reaches no event receiver at all.)
    send(QStringList{"a", "b"});

    Event event;
    event.setId(3);
    event.setType(Event::SMSEvent);
    event.setFreeText("ok");
    send(QVariant::fromValue(QList<Event>{event}));

    QTRY_COMPARE_WITH_TIMEOUT(receiver.lists.size(), 3, 10000);
    QCOMPARE(receiver.lists.at(0).size(), 2);
    QVERIFY(!receiver.lists.at(0).at(0).isValid());
    QVERIFY(!receiver.lists.at(0).at(1).isValid());
    for (const Event &skipped : receiver.lists.at(1))
        QVERIFY(!skipped.isValid());
    QCOMPARE(receiver.lists.at(2), QList<Event>{event});
}

QTEST_GUILESS_MAIN(TestHistoryFaults)
#include "tst_historyfaults.moc"
