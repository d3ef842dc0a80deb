// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <KCalendarCore/Event>
#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/Todo>

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlQuery>
#include <QtTest/QtTest>

#include "extendedcalendar.h"
#include "extendedstorage.h"

using namespace KCalendarCore;
using mKCal::ExtendedCalendar;
using mKCal::ExtendedStorage;

// The calendar database on real SQLite files; each storage is its own
// connection, as separate processes would be.
class TestExtendedStorage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void defaultDatabaseFollowsEnvironment();
    void savedEntriesReachAnotherConnection();
    void loadReadsOnlyWhatTouchesTheRange();
    void changesElsewhereAreAppliedBeforeALoad();
    void loadedRangesFollowChangesElsewhere();
    void readerBehindTheChangeLogLoadsAgain();
    void fileOfTheFirstFormatIsMigratedWithoutLoss();
    void damagedParsedFormFallsBackToTheText();
    void unreadableDatabaseGivesEmptyResults_data();
    void unreadableDatabaseGivesEmptyResults();

private:
    struct Open {
        ExtendedCalendar::Ptr calendar;
        ExtendedStorage::Ptr storage;
    };
    Open open() const;
    static Event::Ptr event(const QString &uid, const QDateTime &start, int minutes);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_database;
};

void TestExtendedStorage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // A directory that does not exist yet: opening creates it.
    m_database = m_dir->filePath("sub/calendar.db");
}

TestExtendedStorage::Open TestExtendedStorage::open() const
{
    Open result;
    result.calendar = ExtendedCalendar::Ptr(new ExtendedCalendar(QTimeZone::systemTimeZone()));
    result.storage = ExtendedStorage::Ptr(new ExtendedStorage(result.calendar, m_database));
    return result;
}

Event::Ptr TestExtendedStorage::event(const QString &uid, const QDateTime &start, int minutes)
{
    Event::Ptr event(new Event);
    event->setUid(uid);
    event->setSummary(uid);
    event->setDtStart(start);
    event->setDtEnd(start.addSecs(minutes * 60));
    return event;
}

void TestExtendedStorage::defaultDatabaseFollowsEnvironment()
{
    qputenv("HALVANE_CALENDAR_DB", "/somewhere/else.db");
    QCOMPARE(ExtendedStorage::defaultDatabaseName(), QStringLiteral("/somewhere/else.db"));
    qunsetenv("HALVANE_CALENDAR_DB");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir->path()));
    QCOMPARE(ExtendedStorage::defaultDatabaseName(), m_dir->filePath("halvane/calendar.db"));
    ExtendedCalendar::Ptr calendar(new ExtendedCalendar(QStringLiteral("UTC")));
    QCOMPARE(ExtendedCalendar::defaultStorage(calendar)->databaseName(), m_dir->filePath("halvane/calendar.db"));
    // A time-zone name nobody knows still gives a usable calendar.
    QCOMPARE(ExtendedCalendar(QStringLiteral("No/Such_Zone")).timeZone(), QTimeZone::systemTimeZone());
}

void TestExtendedStorage::savedEntriesReachAnotherConnection()
{
    const QDate today = QDate::currentDate();
    {
        Open writer = open();
        QVERIFY2(writer.storage->open(), qPrintable(writer.storage->errorString()));
        Event::Ptr meeting = event("meeting", QDateTime(today, QTime(9, 0)), 60);
        meeting->setLocation("Room 1");
        meeting->setGeoLatitude(48.8566f);
        meeting->setGeoLongitude(2.3522f);
        meeting->setOrganizer(Person("Ada", "ada@example.org"));
        meeting->addAttendee(Attendee("Bo", "bo@example.org"));
        writer.calendar->addIncidence(meeting);
        Todo::Ptr todo(new Todo);
        todo->setUid("todo");
        todo->setDtDue(QDateTime(today, QTime(20, 0)));
        writer.calendar->addIncidence(todo);
        QVERIFY(writer.storage->hasPendingChanges());
        QVERIFY(writer.storage->save());
        QVERIFY(!writer.storage->hasPendingChanges());
    }

    // Another process holds a long write: reading does not wait for it.
    QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
    locker.setDatabaseName(m_database);
    QVERIFY(locker.open());
    QVERIFY(QSqlQuery(locker).exec("BEGIN IMMEDIATE"));
    Open reader = open();
    QVERIFY(reader.storage->open());
    QVERIFY(reader.storage->load(today));
    QSqlQuery(locker).exec("ROLLBACK");
    locker.close();
    locker = QSqlDatabase();
    QSqlDatabase::removeDatabase("locker");
    const Incidence::Ptr meeting = reader.calendar->incidence("meeting");
    QVERIFY(meeting);
    QCOMPARE(meeting->dtStart(), QDateTime(today, QTime(9, 0)));
    QCOMPARE(meeting->location(), QStringLiteral("Room 1"));
    QCOMPARE(meeting->organizer().email(), QStringLiteral("ada@example.org"));
    QCOMPARE(meeting->attendees().size(), 1);
    QVERIFY(meeting->hasGeo());
    // A to-do without start is found by its due date.
    QVERIFY(reader.calendar->incidence("todo"));
    // Loading again reads nothing new.
    const int read = reader.storage->incidencesRead();
    QVERIFY(reader.storage->load(today));
    QCOMPARE(reader.storage->incidencesRead(), read);
    QCOMPARE(reader.calendar->rawIncidences().size(), 2);
}

void TestExtendedStorage::loadReadsOnlyWhatTouchesTheRange()
{
    const QDate today = QDate::currentDate();
    const QDateTime midnight(today, QTime(0, 0));
    {
        Open writer = open();
        QVERIFY(writer.storage->open());
        for (int i = 0; i < 10000; ++i)
            writer.calendar->addIncidence(event(QString("past-%1").arg(i), midnight.addSecs(-3600 - i * 1800), 30));
        // Yesterday 23:00 to today 01:00 touches today; yesterday 22:00 to 23:59 does not.
        writer.calendar->addIncidence(event("overnight", midnight.addSecs(-3600), 120));
        writer.calendar->addIncidence(event("late", midnight.addSecs(-7200), 119));
        writer.calendar->addIncidence(event("tomorrow", midnight.addDays(1).addSecs(3600), 30));
        // Three weeks long: started before the range and ends after it.
        writer.calendar->addIncidence(event("conference", midnight.addDays(-10), 21 * 24 * 60));
        Event::Ptr holiday(new Event);
        holiday->setUid("holiday");
        holiday->setDtStart(QDateTime(today.addDays(2), QTime(0, 0)));
        holiday->setAllDay(true);
        writer.calendar->addIncidence(holiday);
        Event::Ptr daily = event("daily", midnight.addDays(-400).addSecs(8 * 3600), 15);
        daily->recurrence()->setDaily(1);
        writer.calendar->addIncidence(daily);
        Event::Ptr ended = event("ended", midnight.addDays(-400).addSecs(8 * 3600), 15);
        ended->recurrence()->setDaily(1);
        ended->recurrence()->setDuration(5);
        writer.calendar->addIncidence(ended);
        Event::Ptr weekly = event("weekly", midnight.addDays(-2).addSecs(8 * 3600), 15);
        weekly->recurrence()->setWeekly(1);
        writer.calendar->addIncidence(weekly);
        // Yesterday's occurrences: one ends before midnight, one after.
        Event::Ptr evening = event("evening", midnight.addDays(-8).addSecs(22 * 3600), 60);
        evening->recurrence()->setWeekly(1);
        writer.calendar->addIncidence(evening);
        Event::Ptr night = event("night", midnight.addDays(-8).addSecs(23 * 3600), 120);
        night->recurrence()->setWeekly(1);
        writer.calendar->addIncidence(night);
        QVERIFY(writer.storage->save());
    }

    Open reader = open();
    QVERIFY(reader.storage->open());
    auto uids = [&reader]() {
        QStringList list;
        const auto all = reader.calendar->rawIncidences();
        for (const Incidence::Ptr &incidence : all)
            list.append(incidence->uid());
        list.sort();
        return list;
    };
    QVERIFY(reader.storage->load(today));
    QCOMPARE(uids(), (QStringList{"conference", "daily", "night", "overnight"}));
    QCOMPARE(reader.storage->incidencesRead(), 4);
    // Recurring entries that ended before the loaded dates stay unread.
    QVERIFY(reader.storage->loadRecurringIncidences());
    QCOMPARE(uids(), (QStringList{"conference", "daily", "evening", "night", "overnight", "weekly"}));
    QVERIFY(reader.storage->load(today.addDays(1), today.addDays(2)));
    QCOMPARE(uids(), (QStringList{"conference", "daily", "evening", "holiday", "night", "overnight", "tomorrow", "weekly"}));
    QCOMPARE(reader.storage->incidencesRead(), 8);
    QVERIFY(reader.storage->loadIncidence("past-17"));
    QVERIFY(reader.calendar->incidence("past-17"));
    QVERIFY(reader.storage->loadAll());
    QCOMPARE(reader.calendar->rawIncidences().size(), 10010);
}

void TestExtendedStorage::changesElsewhereAreAppliedBeforeALoad()
{
    const QDate today = QDate::currentDate();
    Open writer = open();
    QVERIFY(writer.storage->open());
    writer.calendar->addIncidence(event("kept", QDateTime(today, QTime(9, 0)), 30));
    writer.calendar->addIncidence(event("renamed", QDateTime(today, QTime(10, 0)), 30));
    writer.calendar->addIncidence(event("removed", QDateTime(today, QTime(11, 0)), 30));
    writer.calendar->addIncidence(event("moved", QDateTime(today, QTime(12, 0)), 30));
    QVERIFY(writer.storage->save());

    Open reader = open();
    QVERIFY(reader.storage->open());
    QVERIFY(reader.storage->load(today));
    QCOMPARE(reader.calendar->rawIncidences().size(), 4);
    QVERIFY(!reader.storage->modifiedElsewhere());

    writer.calendar->incidence("renamed")->setSummary("new name");
    writer.calendar->deleteIncidence(writer.calendar->incidence("removed"));
    // Moved out of the range: the reader keeps what it loaded, now current.
    writer.calendar->incidence("moved")->setDtStart(QDateTime(today.addDays(5), QTime(12, 0)));
    writer.calendar->addIncidence(event("added", QDateTime(today, QTime(13, 0)), 30));
    QVERIFY(writer.storage->save());

    QVERIFY(reader.storage->modifiedElsewhere());
    QVERIFY(!reader.storage->modifiedElsewhere());
    QVERIFY(reader.storage->load(today));
    QCOMPARE(reader.calendar->incidence("renamed")->summary(), QStringLiteral("new name"));
    QVERIFY(!reader.calendar->incidence("removed"));
    QVERIFY(reader.calendar->incidence("added"));
    QCOMPARE(reader.calendar->incidence("moved")->dtStart().date(), today.addDays(5));
    QCOMPARE(reader.calendar->rawIncidences().size(), 4);
    // Applying them is no change of the reader's own to save.
    QVERIFY(!reader.storage->hasPendingChanges());
    // Nor does the writer see its own changes as another's.
    QVERIFY(!writer.storage->modifiedElsewhere());
}

void TestExtendedStorage::loadedRangesFollowChangesElsewhere()
{
    const QDate today = QDate::currentDate();
    const QDateTime midnight(today, QTime(0, 0));
    Open writer = open();
    QVERIFY(writer.storage->open());
    writer.calendar->addIncidence(event("today", midnight.addSecs(9 * 3600), 30));
    Event::Ptr series = event("series", midnight.addDays(-30).addSecs(8 * 3600), 15);
    series->recurrence()->setDaily(1);
    writer.calendar->addIncidence(series);
    QVERIFY(writer.storage->save());

    Open reader = open();
    QVERIFY(reader.storage->open());
    QVERIFY(reader.storage->load(today));
    QVERIFY(reader.storage->loadRecurringIncidences());
    QCOMPARE(reader.storage->incidencesRead(), 2);
    const Incidence::Ptr kept = reader.calendar->incidence("today");

    // Asking again parses nothing and keeps the very same entries.
    QVERIFY(reader.storage->load(today));
    QVERIFY(reader.storage->loadRecurringIncidences());
    QCOMPARE(reader.storage->incidencesRead(), 2);
    QCOMPARE(reader.calendar->incidence("today"), kept);

    // Written elsewhere: within what was loaded (the day, the recurring
    // entries), or outside it (next month, a series that ended long ago).
    writer.calendar->addIncidence(event("also-today", midnight.addSecs(15 * 3600), 30));
    writer.calendar->addIncidence(event("next-month", midnight.addDays(30), 30));
    Event::Ptr weekly = event("weekly", midnight.addDays(-60).addSecs(10 * 3600), 60);
    weekly->recurrence()->setWeekly(1);
    writer.calendar->addIncidence(weekly);
    Event::Ptr ended = event("ended", midnight.addDays(-60), 60);
    ended->recurrence()->setDaily(1);
    ended->recurrence()->setDuration(3);
    writer.calendar->addIncidence(ended);
    writer.calendar->incidence("series")->recurrence()->setDuration(40);
    QVERIFY(writer.storage->save());

    QVERIFY(reader.storage->load(today));
    QVERIFY(reader.storage->loadRecurringIncidences());
    QVERIFY(reader.calendar->incidence("also-today"));
    QVERIFY(reader.calendar->incidence("weekly"));
    QVERIFY(!reader.calendar->incidence("next-month"));
    QVERIFY(!reader.calendar->incidence("ended"));
    // Only the changed row was parsed again; the others stayed as they were.
    QCOMPARE(reader.calendar->incidence("series")->recurrence()->duration(), 40);
    QCOMPARE(reader.calendar->incidence("today"), kept);
    QCOMPARE(reader.storage->incidencesRead(), 5);
    QVERIFY(reader.storage->load(today.addDays(30)));
    QVERIFY(reader.calendar->incidence("next-month"));

    // Removed elsewhere after everything was read.
    QVERIFY(reader.storage->loadAll());
    QVERIFY(reader.calendar->incidence("ended"));
    writer.calendar->deleteIncidence(writer.calendar->incidence("weekly"));
    writer.calendar->addIncidence(event("last-year", midnight.addDays(-365), 30));
    QVERIFY(writer.storage->save());
    QVERIFY(reader.storage->loadAll());
    QVERIFY(!reader.calendar->incidence("weekly"));
    QVERIFY(reader.calendar->incidence("last-year"));
    QVERIFY(!reader.storage->hasPendingChanges());

    // A series and its moved occurrence written again together (a calendar
    // imported anew): both read again, the occurrence not lost with its series.
    for (int i = 0; i < 8; ++i) {
        Event::Ptr daily = event(QString("daily-%1").arg(i), midnight.addDays(-3).addSecs(9 * 3600), 30);
        daily->recurrence()->setDaily(1);
        Incidence::Ptr moved(daily->clone());
        moved->clearRecurrence();
        moved->setRecurrenceId(midnight.addSecs(9 * 3600));
        moved->setDtStart(midnight.addSecs(15 * 3600));
        moved.staticCast<Event>()->setDtEnd(midnight.addSecs(15 * 3600 + 1800));
        writer.calendar->addIncidence(daily);
        writer.calendar->addIncidence(moved);
    }
    QVERIFY(writer.storage->save());
    QVERIFY(reader.storage->loadAll());
    for (int i = 0; i < 8; ++i) {
        const QString uid = QString("daily-%1").arg(i);
        writer.calendar->incidence(uid)->setDescription("again");
        writer.calendar->incidence(uid, midnight.addSecs(9 * 3600))->setDescription("again");
    }
    QVERIFY(writer.storage->save());
    QVERIFY(reader.storage->loadAll());
    for (int i = 0; i < 8; ++i) {
        const Incidence::Ptr moved = reader.calendar->incidence(QString("daily-%1").arg(i), midnight.addSecs(9 * 3600));
        QVERIFY2(moved && moved->description() == "again", qPrintable(QString::number(i)));
    }
}

void TestExtendedStorage::readerBehindTheChangeLogLoadsAgain()
{
    const QDate today = QDate::currentDate();
    const QDateTime midnight(today, QTime(0, 0));
    Open writer = open();
    QVERIFY(writer.storage->open());
    writer.calendar->addIncidence(event("kept", midnight.addSecs(8 * 3600), 30));
    QVERIFY(writer.storage->save());
    Open reader = open();
    QVERIFY(reader.storage->open());
    QVERIFY(reader.storage->load(today));
    QCOMPARE(reader.calendar->rawIncidences().size(), 1);

    // More changes than the log keeps: the reader cannot tell which rows of
    // the day are new and must ask again.
    writer.calendar->incidence("kept")->setSummary("changed");
    writer.calendar->addIncidence(event("fresh", midnight.addSecs(9 * 3600), 30));
    QVERIFY(writer.storage->save());
    for (int i = 0; i < 10001; ++i)
        writer.calendar->addIncidence(event(QString("old-%1").arg(i), midnight.addDays(-400).addSecs(i * 600), 5));
    QVERIFY(writer.storage->save());

    QVERIFY(reader.storage->load(today));
    QVERIFY(reader.calendar->incidence("fresh"));
    QCOMPARE(reader.calendar->incidence("kept")->summary(), QStringLiteral("changed"));
    QCOMPARE(reader.calendar->rawIncidences().size(), 2);
}

void TestExtendedStorage::fileOfTheFirstFormatIsMigratedWithoutLoss()
{
    const QDate today = QDate::currentDate();
    const QDateTime nine(today, QTime(9, 0));
    Event::Ptr daily = event("daily", nine.addDays(-30), 30);
    daily->recurrence()->setDaily(1);
    // Every other week from three days ago: not today.
    Event::Ptr fortnightly = event("fortnightly", nine.addDays(-3), 30);
    fortnightly->recurrence()->setWeekly(2);
    // Weekly from two days ago: its days are known exactly, not a day either way.
    Event::Ptr weekly = event("weekly", nine.addDays(-2), 30);
    weekly->recurrence()->setWeekly(1);
    Event::Ptr single = event("single", nine.addSecs(3600), 30);
    const Event::Ptr entries[] = {daily, fortnightly, weekly, single};

    // The tables and rows as the first format wrote them.
    QDir().mkpath(QFileInfo(m_database).absolutePath());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "first-format");
        db.setDatabaseName(m_database);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("CREATE TABLE incidences (uid TEXT NOT NULL, recurrence_id TEXT NOT NULL DEFAULT '',"
                           " start_time INTEGER, end_time INTEGER, recurs INTEGER NOT NULL DEFAULT 0,"
                           " long INTEGER NOT NULL DEFAULT 0, ical TEXT NOT NULL, PRIMARY KEY (uid, recurrence_id))"));
        QVERIFY(query.exec("CREATE TABLE changes (seq INTEGER PRIMARY KEY AUTOINCREMENT, uid TEXT NOT NULL,"
                           " recurrence_id TEXT NOT NULL DEFAULT '')"));
        ICalFormat format;
        for (const Event::Ptr &entry : entries) {
            const bool recurs = entry->recurs();
            query.prepare("INSERT INTO incidences VALUES (?, '', ?, ?, ?, ?, ?)");
            query.addBindValue(entry->uid());
            query.addBindValue(entry->dtStart().toSecsSinceEpoch());
            query.addBindValue(recurs ? std::numeric_limits<qint64>::max() : entry->dtEnd().toSecsSinceEpoch());
            query.addBindValue(recurs ? 1 : 0);
            query.addBindValue(recurs ? 1 : 0);
            query.addBindValue(format.toICalString(entry));
            QVERIFY(query.exec());
        }
        db.close();
    }
    QSqlDatabase::removeDatabase("first-format");

    Open migrated = open();
    QVERIFY(migrated.storage->open());
    QVERIFY(migrated.storage->load(today));
    QStringList uids;
    for (const Incidence::Ptr &incidence : migrated.calendar->rawIncidences())
        uids.append(incidence->uid());
    uids.sort();
    // The fortnightly and weekly series cannot occur today: they are not read.
    QCOMPARE(uids, (QStringList{"daily", "single"}));
    QVERIFY(migrated.storage->loadAll());
    QCOMPARE(migrated.calendar->rawIncidences().size(), 4);
    for (const Event::Ptr &entry : entries) {
        const Incidence::Ptr read = migrated.calendar->incidence(entry->uid());
        QVERIFY(read);
        QCOMPARE(read->dtStart(), entry->dtStart());
        QCOMPARE(read->recurs(), entry->recurs());
    }
    QCOMPARE(migrated.calendar->incidence("fortnightly")->recurrence()->frequency(), 2);

    // Opened again, the file is current: it is not changed.
    Open again = open();
    QVERIFY(again.storage->open());
    QVERIFY(!migrated.storage->modifiedElsewhere());
    QVERIFY(again.storage->loadAll());
    QCOMPARE(again.calendar->rawIncidences().size(), 4);
}

void TestExtendedStorage::damagedParsedFormFallsBackToTheText()
{
    const QDateTime nine(QDate::currentDate(), QTime(9, 0));
    {
        Open writer = open();
        QVERIFY(writer.storage->open());
        Event::Ptr daily = event("daily", nine.addDays(-3), 30);
        daily->recurrence()->setDaily(1);
        writer.calendar->addIncidence(daily);
        writer.calendar->addIncidence(event("other", nine.addDays(-40), 30));
        QVERIFY(writer.storage->save());
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage");
        db.setDatabaseName(m_database);
        QVERIFY(db.open());
        QSqlQuery query(db);
        // The series' parsed form is damaged into another entry's that reads
        // well on its own.
        QVERIFY(query.exec("SELECT (SELECT data FROM incidences WHERE uid = 'daily'),"
                           " (SELECT data FROM incidences WHERE uid = 'other')") && query.next());
        const QByteArray daily = query.value(0).toByteArray();
        const QByteArray other = query.value(1).toByteArray();
        QVERIFY(daily.size() > 16 && other.size() > 16);
        query.finish();
        query.prepare("UPDATE incidences SET data = ? WHERE uid = 'daily'");
        query.addBindValue(QByteArray(daily.left(16) + other.mid(16)));
        QVERIFY(query.exec());
        QCOMPARE(query.numRowsAffected(), 1);
        db.close();
    }
    QSqlDatabase::removeDatabase("damage");

    Open reader = open();
    QVERIFY(reader.storage->open());
    QVERIFY(reader.storage->load(QDate::currentDate()));
    const Incidence::Ptr daily = reader.calendar->incidence("daily");
    QVERIFY(daily);
    QCOMPARE(daily->dtStart(), nine.addDays(-3));
    QVERIFY(daily->recurs());
}

void TestExtendedStorage::unreadableDatabaseGivesEmptyResults_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage") << QByteArray(8192, 'x');
    QByteArray header("SQLite format 3");
    header.append('\0');
    QTest::newRow("truncated header") << header + QByteArray(84, '\xff');
}

void TestExtendedStorage::unreadableDatabaseGivesEmptyResults()
{
    QFETCH(QByteArray, content);
    QVERIFY(QDir().mkpath(QFileInfo(m_database).absolutePath()));
    QFile file(m_database);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    Open store = open();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: .*calendar database"));
    QVERIFY(!store.storage->open());
    QVERIFY(!store.storage->errorString().isEmpty());
    QVERIFY(!store.storage->isOpen());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: the calendar database is not open"));
    QVERIFY(!store.storage->load(QDate::currentDate()));
    QVERIFY(store.calendar->rawIncidences().isEmpty());
    // The file is left for the user to rescue.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

QTEST_GUILESS_MAIN(TestExtendedStorage)
#include "tst_extendedstorage.moc"
