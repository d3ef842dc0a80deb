// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <KCalendarCore/Event>

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "extendedcalendar.h"
#include "extendedstorage.h"
#include "hvteststorage.h"

using namespace KCalendarCore;
using mKCal::ExtendedCalendar;
using mKCal::ExtendedStorage;

// The calendar database when the disk fills up under a write, and when the
// file cannot be read. The writes are made by halvane-calendar in a process
// whose file size is limited, as a full disk would refuse them.
class TestStorageFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void diskFullKeepsWhatWasStored();
    void entryThatDoesNotReadBackIsRefused();
    void fullDiskStillReads();
    void unreadableDatabase_data();
    void unreadableDatabase();

private:
    ExtendedStorage::Ptr openStorage(bool readOnly = false) const;
    // halvane-calendar with its arguments, its files limited to limitKiB (0: no limit).
    int runTool(const QStringList &arguments, qint64 limitKiB, QByteArray *err = nullptr) const;
    QStringList storedUids() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_database;
};

void TestStorageFaults::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_database = m_dir->filePath("calendar.db");
}

ExtendedStorage::Ptr TestStorageFaults::openStorage(bool readOnly) const
{
    ExtendedCalendar::Ptr calendar(new ExtendedCalendar(QTimeZone::systemTimeZone()));
    return ExtendedStorage::Ptr(new ExtendedStorage(calendar, m_database, readOnly));
}

int TestStorageFaults::runTool(const QStringList &arguments, qint64 limitKiB, QByteArray *err) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HALVANE_CALENDAR_DB", m_database);
    return HVTest::runWithFileLimit(HVTEST_CALENDAR_PROGRAM, arguments, limitKiB, env, nullptr, err);
}

QStringList TestStorageFaults::storedUids() const
{
    const ExtendedStorage::Ptr storage = openStorage(true);
    if (!storage->open() || !storage->loadAll())
        return {"unreadable"};
    QStringList uids;
    for (const Incidence::Ptr &incidence : storage->calendar()->rawIncidences())
        uids.append(incidence->uid());
    uids.sort();
    return uids;
}

void TestStorageFaults::diskFullKeepsWhatWasStored()
{
    QStringList before;
    {
        const ExtendedStorage::Ptr storage = openStorage();
        QVERIFY(storage->open());
        for (int i = 0; i < 20; ++i) {
            Event::Ptr event(new Event);
            event->setUid(QStringLiteral("kept-%1").arg(i, 2, 10, QLatin1Char('0')));
            event->setDtStart(QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC).addSecs(3600 * i));
            event->setDtEnd(event->dtStart().addSecs(1800));
            event->setSummary(event->uid());
            storage->calendar()->addIncidence(event);
            before.append(event->uid());
        }
        QVERIFY(storage->save());
    }
    QCOMPARE(storedUids(), before);

    // A file far larger than the room left.
    QByteArray ics = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n";
    for (int i = 0; i < 400; ++i) {
        ics += "BEGIN:VEVENT\r\nUID:new-" + QByteArray::number(i) + "\r\nDTSTAMP:20240101T000000Z\r\n"
               "DTSTART:20240502T090000Z\r\nDTEND:20240502T100000Z\r\nSUMMARY:New\r\nDESCRIPTION:"
            + QByteArray(2000, 'x') + "\r\nEND:VEVENT\r\n";
    }
    ics += "END:VCALENDAR\r\n";
    QFile file(m_dir->filePath("big.ics"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ics);
    file.close();

    const qint64 used = QFileInfo(m_database).size() + QFileInfo(m_database + "-wal").size();
    QByteArray err;
    QCOMPARE(runTool({"import", file.fileName()}, used / 1024 + 64, &err), 1);
    QVERIFY2(err.contains("nothing imported"), err.constData());

    // Nothing of the import, everything from before, and a sound file.
    QCOMPARE(storedUids(), before);
    QCOMPARE(HVTest::sqliteIntegrity(m_database), QStringLiteral("ok"));

    // With room again, the same import goes through.
    QCOMPARE(runTool({"import", file.fileName()}, 0, &err), 0);
    QCOMPARE(storedUids().size(), before.size() + 400);
    QCOMPARE(HVTest::sqliteIntegrity(m_database), QStringLiteral("ok"));
}

void TestStorageFaults::entryThatDoesNotReadBackIsRefused()
{
    // iCalendar text drops a form feed: stored, this entry would carry
    // another uid than its row, and could never be found again by its own.
    const ExtendedStorage::Ptr storage = openStorage();
    QVERIFY(storage->open());
    Event::Ptr good(new Event);
    good->setUid("good");
    good->setDtStart(QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC));
    storage->calendar()->addIncidence(good);
    Event::Ptr odd(new Event);
    odd->setUid("form\ffeed");
    odd->setDtStart(QDateTime(QDate(2024, 5, 1), QTime(9, 0), Qt::UTC));
    storage->calendar()->addIncidence(odd);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot write the calendar entry .*: it does not read back"));
    QVERIFY(!storage->save());
    QVERIFY(storage->errorString().contains("does not read back"));
    // One transaction: the good one is not stored either, and stays pending.
    QCOMPARE(storedUids(), QStringList());
    QVERIFY(storage->hasPendingChanges());
    storage->calendar()->deleteIncidence(odd);
    QVERIFY(storage->save());
    QCOMPARE(storedUids(), QStringList{"good"});
}

void TestStorageFaults::fullDiskStillReads()
{
    const QDate day(2024, 5, 1);
    QCOMPARE(runTool({"add", "--summary", "kept", "--start", "2024-05-01T08:00", "--end", "2024-05-01T09:00"}, 0), 0);
    // No room for SQLite's shared-memory index.
    HVTest::FileSizeLimit full(16);
    QVERIFY(full.isSet());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: the calendar database is unreadable"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: the disk is full or read-only"));
    const ExtendedStorage::Ptr storage = openStorage();
    QVERIFY(storage->open());
    const auto summaries = [&storage, &day] {
        storage->load(day, day.addDays(1));
        QStringList summaries;
        for (const Incidence::Ptr &incidence : storage->calendar()->rawIncidences())
            summaries.append(incidence->summary());
        summaries.sort();
        return summaries;
    };
    QCOMPARE(summaries(), QStringList{"kept"});
    Event::Ptr refused(new Event);
    refused->setDtStart(QDateTime(day, QTime(10, 0)));
    refused->setSummary("refused");
    storage->calendar()->addIncidence(refused);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: the disk is full or read-only"));
    QVERIFY(!storage->save());
    storage->calendar()->deleteIncidence(refused);

    // Room again: the same storage follows what others write, and writes.
    full.lift();
    QCOMPARE(runTool({"add", "--summary", "later", "--start", "2024-05-01T11:00", "--end", "2024-05-01T12:00"}, 0), 0);
    // Asked once, as on the file event of that write.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: there is room again"));
    QVERIFY(storage->modifiedElsewhere());
    QCOMPARE(summaries(), (QStringList{"kept", "later"}));
    storage->calendar()->addIncidence(refused);
    QVERIFY(storage->save());
    QCOMPARE(storedUids().size(), 3);
}

void TestStorageFaults::unreadableDatabase_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("directory in its place") << "directory";
    QTest::newRow("cut in half") << "truncated";
    QTest::newRow("pages overwritten") << "overwritten";
}

void TestStorageFaults::unreadableDatabase()
{
    QFETCH(QString, kind);
    if (kind == "directory") {
        QVERIFY(QDir().mkpath(m_database));
    } else {
        {
            const ExtendedStorage::Ptr storage = openStorage();
            QVERIFY(storage->open());
            for (int i = 0; i < 300; ++i) {
                Event::Ptr event(new Event);
                event->setUid(QStringLiteral("entry-%1").arg(i));
                event->setDtStart(QDateTime(QDate(2024, 5, 1), QTime(8, 0), Qt::UTC).addSecs(600 * i));
                event->setDtEnd(event->dtStart().addSecs(600));
                event->setDescription(QString(500, QLatin1Char('d')));
                storage->calendar()->addIncidence(event);
            }
            QVERIFY(storage->save());
        }
        QFile file(m_database);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        QVERIFY(size > 65536);
        if (kind == "truncated") {
            QVERIFY(file.resize(size / 2));
        } else {
            file.seek(size / 3);
            file.write(QByteArray(16384, '\xa5'));
        }
    }
    QByteArray content;
    if (kind != "directory") {
        QFile file(m_database);
        QVERIFY(file.open(QIODevice::ReadOnly));
        content = file.readAll();
    }

    // Reads fail or give what is left; nothing crashes.
    {
        const ExtendedStorage::Ptr storage = openStorage();
        if (storage->open()) {
            storage->load(QDate(2024, 5, 1), QDate(2024, 5, 3));
            storage->loadRecurringIncidences();
            storage->loadAll();
        } else {
            QVERIFY(!storage->errorString().isEmpty());
            QVERIFY(!storage->load(QDate(2024, 5, 1)));
            QVERIFY(storage->calendar()->rawIncidences().isEmpty());
        }
    }
    // The tool says so and fails; a file it cannot read it leaves as it was.
    // (Pages overwritten where no statement looks go unnoticed by SQLite:
    // there the tool may work on, around them.)
    QByteArray err;
    const int listed = runTool({"list"}, 0, &err);
    QVERIFY2(listed == 0 || (listed == 1 && err.contains("halvane-calendar: ")), err.constData());
    if (kind == "overwritten")
        return;
    QCOMPARE(listed, 1);
    QCOMPARE(runTool({"add", "--summary", "x", "--start", "2024-05-01T10:00", "--end", "2024-05-01T11:00"}, 0, &err),
             1);
    QVERIFY2(err.contains("halvane-calendar: "), err.constData());
    if (kind != "directory") {
        QFile file(m_database);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() == content);
    }
}

QTEST_GUILESS_MAIN(TestStorageFaults)
#include "tst_storagefaults.moc"
