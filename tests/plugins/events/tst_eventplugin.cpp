// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <KCalendarCore/Event>
#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/Todo>

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtOrganizer/QOrganizerEvent>
#include <QtOrganizer/QOrganizerManager>
#include <QtTest/QtTest>

#include <functional>
#include <time.h>

#include "extendedcalendar.h"
#include "extendedstorage.h"
#include "hvevent.h"
#include "hvitemtype.h"
#include "hvservice.h"
#include "hvservicefactory.h"
#include "hvservicesource.h"

using namespace KCalendarCore;
using namespace Halvane;
QTORGANIZER_USE_NAMESPACE

// The events plug-in as the framework loads it, from a temporary plug-ins
// directory, over a real calendar database that halvane-calendar changes from
// another process.
class TestEventPlugin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void pluginIsFoundAndNamed();
    void oneDayHasEveryEntryWithItsFields();
    void threeDaysExpandRecurrencePerDay();
    void movedOccurrenceStandsInForTheSeries();
    void cancelledEntriesAreNotOnTheDay();
    void zonedSeriesKeepsItsOwnTimeOfDay();
    void allDaySeriesKeepsItsLastDayEastOfUtc();
    void nightShiftFromYesterdayRunsIntoToday();
    void otherProcessChangesAreReportedAsDifference();
    void organizerSignalsGiveItemsOfTheCalendarForm();
    void severalDaysRereadReportsEachOccurrenceOnce();
    void retrievalsFollowAnotherProcess();
    void zoneChangeGivesItemsInTheNewZone();
    void narrowerRangeDropsWhatWiderReadsLoaded();
    void organizerSignalsGiveOnlyOccurrencesOfTheRange();

private:
    void store(const QList<Incidence::Ptr> &incidences);
    void change(const QString &uid, const std::function<void(const Incidence::Ptr &)> &edit);
    bool runCalendar(const QStringList &arguments, QString *out = nullptr);
    QList<HVEvent> retrieve(const QDate &first, int days);
    static QList<HVEvent> byUid(const QList<HVEvent> &events, const QString &uid);

    QTemporaryDir m_plugins;
    std::unique_ptr<QTemporaryDir> m_dir;
    HVService *m_service = nullptr;
    HVServiceSource *m_source = nullptr;
    QDate m_today;
};

void TestEventPlugin::initTestCase()
{
    qRegisterMetaType<QList<HVItem>>();
    QVERIFY(m_plugins.isValid());
    QVERIFY(QFile::copy(HVTEST_EVENTS_PLUGIN, m_plugins.filePath("libhalvaneeventsplugin.so")));
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_plugins.path() + '/'));
    m_today = QDate::currentDate();
}

void TestEventPlugin::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("HALVANE_CALENDAR_DB", QFile::encodeName(m_dir->filePath("calendar.db")));

    const QDateTime today(m_today, QTime(0, 0));
    Event::Ptr meeting(new Event);
    meeting->setUid("meeting");
    meeting->setSummary("Meeting");
    meeting->setDescription("Agenda");
    meeting->setDtStart(today.addSecs(9 * 3600 + 30 * 60 + 17));
    meeting->setDtEnd(today.addSecs(10 * 3600 + 30 * 60));
    meeting->setLocation("Paris");
    meeting->setGeoLatitude(48.85660f);
    meeting->setGeoLongitude(2.35220f);
    meeting->setOrganizer(Person("Ada Lind", "ada@example.org"));
    meeting->addAttendee(Attendee("Noor Aziz", "noor@example.org"));
    meeting->addAttendee(Attendee("Tom Weber", "tom@example.org"));

    Event::Ptr standup(new Event);
    standup->setUid("standup");
    standup->setSummary("Stand-up");
    standup->setDtStart(today.addDays(-7).addSecs(8 * 3600 + 45 * 60));
    standup->setDtEnd(today.addDays(-7).addSecs(9 * 3600));
    standup->recurrence()->setDaily(1);

    // Weekly on today's weekday and tomorrow's, but not tomorrow this week.
    Event::Ptr weekly(new Event);
    weekly->setUid("weekly");
    weekly->setSummary("Weekly");
    weekly->setDtStart(today.addDays(-14).addSecs(14 * 3600));
    weekly->setDtEnd(today.addDays(-14).addSecs(15 * 3600));
    weekly->recurrence()->setWeekly(1);
    QBitArray days(7);
    days.setBit(m_today.dayOfWeek() - 1);
    days.setBit(m_today.addDays(1).dayOfWeek() - 1);
    weekly->recurrence()->addWeeklyDays(days);
    weekly->recurrence()->addExDate(m_today.addDays(1));

    Event::Ptr holiday(new Event);
    holiday->setUid("holiday");
    holiday->setSummary("Holiday");
    holiday->setDtStart(QDateTime(m_today.addDays(2), QTime(0, 0)));
    holiday->setDtEnd(QDateTime(m_today.addDays(2), QTime(0, 0)));
    holiday->setAllDay(true);

    Event::Ptr night(new Event);
    night->setUid("night");
    night->setSummary("Night shift");
    night->setDtStart(today.addDays(1).addSecs(22 * 3600));
    night->setDtEnd(today.addDays(2).addSecs(6 * 3600));

    Todo::Ptr todo(new Todo);
    todo->setUid("todo");
    todo->setSummary("Report");
    todo->setDtDue(today.addSecs(21 * 3600));

    store({meeting, standup, weekly, holiday, night, todo});
    m_service = HVServiceFactory::createService("halvaneevent");
    QVERIFY(m_service);
    m_source = m_service->source();
    QVERIFY(m_source);
}

void TestEventPlugin::cleanup()
{
    delete m_service;
    m_service = nullptr;
    m_source = nullptr;
    qunsetenv("TZ");
    tzset();
}

void TestEventPlugin::store(const QList<Incidence::Ptr> &incidences)
{
    mKCal::ExtendedCalendar::Ptr calendar(new mKCal::ExtendedCalendar(QTimeZone::systemTimeZone()));
    mKCal::ExtendedStorage storage(calendar, mKCal::ExtendedStorage::defaultDatabaseName());
    QVERIFY(storage.open());
    for (const Incidence::Ptr &incidence : incidences)
        calendar->addIncidence(incidence);
    QVERIFY(storage.save());
}

// Another connection to the database, as another process would change it.
void TestEventPlugin::change(const QString &uid, const std::function<void(const Incidence::Ptr &)> &edit)
{
    mKCal::ExtendedCalendar::Ptr calendar(new mKCal::ExtendedCalendar(QTimeZone::systemTimeZone()));
    mKCal::ExtendedStorage storage(calendar, mKCal::ExtendedStorage::defaultDatabaseName());
    QVERIFY(storage.open());
    QVERIFY(storage.loadIncidence(uid));
    const Incidence::Ptr incidence = calendar->incidence(uid);
    QVERIFY(incidence);
    edit(incidence);
    QVERIFY(storage.save());
}

bool TestEventPlugin::runCalendar(const QStringList &arguments, QString *out)
{
    QProcess tool;
    tool.start(HVTEST_CALENDAR_PROGRAM, arguments);
    if (!tool.waitForFinished(30000) || tool.exitCode() != 0) {
        qWarning() << "halvane-calendar" << arguments << tool.readAllStandardError();
        return false;
    }
    if (out)
        *out = QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    return true;
}

QList<HVEvent> TestEventPlugin::retrieve(const QDate &first, int days)
{
    const QDateTime from(first, QTime(0, 0));
    QList<HVEvent> events;
    const auto items = m_source->retrieveItemList(from, from.addDays(days));
    for (const HVItem &item : items)
        events.append(HVEvent(item));
    return events;
}

QList<HVEvent> TestEventPlugin::byUid(const QList<HVEvent> &events, const QString &uid)
{
    QList<HVEvent> found;
    for (const HVEvent &event : events) {
        if (event.id().localId() == uid)
            found.append(event);
    }
    return found;
}

void TestEventPlugin::pluginIsFoundAndNamed()
{
    QVERIFY(HVServiceFactory::keys().contains("halvaneevent"));
    QVERIFY(HVServiceFactory::supports("halvaneevent", HVItemType::TypeEvent));
    QVERIFY(!HVServiceFactory::supports("halvaneevent", HVItemType::TypeMessage));
    QCOMPARE(m_service->service(), QStringLiteral("event"));
    QVERIFY(m_service->hasSource());
    bool cancelled = false;
    QVERIFY(QMetaObject::invokeMethod(m_service, "cancelOperation", Q_RETURN_ARG(bool, cancelled)));
    QVERIFY(cancelled);
    QSignalSpy completed(m_service, SIGNAL(actionCompleted(bool)));
    QVERIFY(m_source->synchronize());
    QCOMPARE(completed.count(), 1);
    QCOMPARE(completed.at(0).at(0).toBool(), true);
}

void TestEventPlugin::oneDayHasEveryEntryWithItsFields()
{
    const QList<HVEvent> events = retrieve(m_today, 1);
    QStringList uids;
    for (const HVEvent &event : events)
        uids.append(event.id().localId());
    uids.sort();
    // Weekly recurs today; the night shift starts tomorrow night.
    QCOMPARE(uids, (QStringList{"meeting", "standup", "todo", "weekly"}));

    const HVEvent meeting = byUid(events, "meeting").value(0);
    QCOMPARE(meeting.type(), HVItemType::TypeEvent);
    QCOMPARE(meeting.id().managerUri(), QStringLiteral("urn::mkcal"));
    QCOMPARE(meeting.displayLabel(), QStringLiteral("Meeting"));
    QCOMPARE(meeting.description(), QStringLiteral("Agenda"));
    QCOMPARE(meeting.startDateTime(), QDateTime(m_today, QTime(9, 30, 17)));
    QCOMPARE(meeting.startDateTime().timeSpec(), Qt::LocalTime);
    QCOMPARE(meeting.dateTime(), meeting.startDateTime());
    QCOMPARE(meeting.endDateTime(), QDateTime(m_today, QTime(10, 30)));
    QCOMPARE(meeting.locationName(), QStringLiteral("Paris"));
    QCOMPARE(meeting.locationCoordinates(), QStringLiteral("48.8566;2.3522"));
    QCOMPARE(meeting.creator().name(), QStringLiteral("Ada Lind"));
    QCOMPARE(meeting.creator().email(), QStringLiteral("ada@example.org"));
    const QList<HVItemEventParticipant> participants = meeting.participants();
    QCOMPARE(participants.size(), 2);
    QCOMPARE(participants.at(0).name(), QStringLiteral("Noor Aziz"));
    QCOMPARE(participants.at(1).email(), QStringLiteral("tom@example.org"));

    // Occurrences keep their time of day.
    const HVEvent standup = byUid(events, "standup").value(0);
    QCOMPARE(standup.startDateTime(), QDateTime(m_today, QTime(8, 45)));
    QCOMPARE(standup.endDateTime(), QDateTime(m_today, QTime(9, 0)));
    QVERIFY(standup.locationCoordinates().isEmpty());

    // A to-do ends when due; without a start it has no date.
    const HVEvent todo = byUid(events, "todo").value(0);
    QCOMPARE(todo.endDateTime(), QDateTime(m_today, QTime(21, 0)));
    QVERIFY(!todo.startDateTime().isValid());
    // Without a start it takes its place in the day at its due time, not
    // before every entry.
    QCOMPARE(todo.dateTime(), todo.endDateTime());
    QVERIFY(todo.isTodo());
    QVERIFY(!meeting.isTodo() && !standup.isTodo());
}

void TestEventPlugin::threeDaysExpandRecurrencePerDay()
{
    const QList<HVEvent> events = retrieve(m_today, 3);
    const QList<HVEvent> standups = byUid(events, "standup");
    QCOMPARE(standups.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(standups.at(i).startDateTime(), QDateTime(m_today.addDays(i), QTime(8, 45)));
        QCOMPARE(standups.at(i).endDateTime(), QDateTime(m_today.addDays(i), QTime(9, 0)));
    }
    // Tomorrow's weekly occurrence is excluded.
    const QList<HVEvent> weekly = byUid(events, "weekly");
    QCOMPARE(weekly.size(), 1);
    QCOMPARE(weekly.at(0).startDateTime(), QDateTime(m_today, QTime(14, 0)));

    const HVEvent holiday = byUid(events, "holiday").value(0);
    QCOMPARE(holiday.startDateTime(), QDateTime(m_today.addDays(2), QTime(0, 0)));
    const HVEvent night = byUid(events, "night").value(0);
    QCOMPARE(night.endDateTime(), QDateTime(m_today.addDays(2), QTime(6, 0)));
    QCOMPARE(byUid(events, "meeting").size(), 1);
    QCOMPARE(byUid(events, "todo").size(), 1);
}

void TestEventPlugin::movedOccurrenceStandsInForTheSeries()
{
    // Tomorrow's stand-up moved to 10:00, and the one after to next week,
    // as a calendar stores exceptions.
    const QDateTime tomorrow(m_today.addDays(1), QTime(0, 0));
    const auto move = [](const QDateTime &occurrence, const QDateTime &to) {
        Event::Ptr moved(new Event);
        moved->setUid("standup");
        moved->setSummary("Stand-up (moved)");
        moved->setRecurrenceId(occurrence);
        moved->setDtStart(to);
        moved->setDtEnd(to.addSecs(15 * 60));
        return moved;
    };
    // An exception for 15:00, when the series never occurs, replaces nothing.
    const QDateTime today(m_today, QTime(0, 0));
    store({move(tomorrow.addSecs(8 * 3600 + 45 * 60), tomorrow.addSecs(10 * 3600)),
           move(tomorrow.addDays(1).addSecs(8 * 3600 + 45 * 60), tomorrow.addDays(7).addSecs(10 * 3600)),
           move(today.addSecs(15 * 3600), today.addSecs(16 * 3600))});

    QList<QDateTime> starts;
    for (const HVEvent &event : byUid(retrieve(m_today, 3), "standup"))
        starts.append(event.startDateTime());
    std::sort(starts.begin(), starts.end());
    QCOMPARE(starts, QList<QDateTime>({today.addSecs(8 * 3600 + 45 * 60), today.addSecs(16 * 3600),
                                       tomorrow.addSecs(10 * 3600)}));
}

void TestEventPlugin::cancelledEntriesAreNotOnTheDay()
{
    const QDateTime today(m_today, QTime(0, 0));
    Event::Ptr called(new Event);
    called->setUid("called-off");
    called->setDtStart(today.addSecs(14 * 3600));
    called->setDtEnd(today.addSecs(15 * 3600));
    called->setStatus(Incidence::StatusCanceled);
    // Today's stand-up, and only today's, called off.
    Event::Ptr standup(new Event);
    standup->setUid("standup");
    standup->setDtStart(today.addDays(-7).addSecs(8 * 3600 + 45 * 60));
    standup->setDtEnd(today.addDays(-7).addSecs(9 * 3600));
    standup->recurrence()->setDaily(1);
    Incidence::Ptr offToday(standup->clone());
    offToday->clearRecurrence();
    offToday->setRecurrenceId(today.addSecs(8 * 3600 + 45 * 60));
    offToday->setDtStart(today.addSecs(8 * 3600 + 45 * 60));
    offToday.staticCast<Event>()->setDtEnd(today.addSecs(9 * 3600));
    offToday->setStatus(Incidence::StatusCanceled);
    // A to-do of today, done.
    Todo::Ptr done(new Todo);
    done->setUid("done");
    done->setDtDue(today.addSecs(18 * 3600));
    done->setCompleted(today.addSecs(9 * 3600));
    store({called, standup, offToday, done});
    const QList<HVEvent> events = retrieve(m_today, 2);
    QVERIFY(byUid(events, "called-off").isEmpty());
    QVERIFY(byUid(events, "done").isEmpty());
    QCOMPARE(byUid(events, "standup").size(), 1);
    QCOMPARE(byUid(events, "standup").first().startDateTime().date(), m_today.addDays(1));
}

void TestEventPlugin::zonedSeriesKeepsItsOwnTimeOfDay()
{
    // Ten in the morning in New York every day since June, seen from UTC in
    // December: summer time has ended there, so 15:00 and no longer 14:00.
    // Every day from the given start, for the given seconds, in a zone.
    const auto storeDaily = [this](const char *uid, const QDateTime &start, int seconds) {
        Event::Ptr daily(new Event);
        daily->setUid(QString::fromLatin1(uid));
        daily->setDtStart(start);
        daily->setDtEnd(start.addSecs(seconds));
        daily->recurrence()->setDaily(1);
        store({daily});
    };
    qputenv("TZ", "UTC");
    tzset();
    const QTimeZone newYork("America/New_York");
    storeDaily("newyork", QDateTime(QDate(2026, 6, 1), QTime(10, 0), newYork), 3600);
    const HVEvent december = byUid(retrieve(QDate(2026, 12, 9), 1), "newyork").value(0);
    QCOMPARE(december.startDateTime().toUTC(), QDateTime(QDate(2026, 12, 9), QTime(15, 0), Qt::UTC));
    QCOMPARE(december.endDateTime().toUTC(), QDateTime(QDate(2026, 12, 9), QTime(16, 0), Qt::UTC));

    // Thursdays at 19:00 there are Fridays at midnight here: a Friday
    // entry, and none on the Thursday.
    Event::Ptr evening(new Event);
    evening->setUid("evening");
    evening->setDtStart(QDateTime(QDate(2026, 12, 3), QTime(19, 0), newYork));
    evening->setDtEnd(QDateTime(QDate(2026, 12, 3), QTime(20, 0), newYork));
    QBitArray thursday(7);
    thursday.setBit(3);
    evening->recurrence()->setWeekly(1, thursday);
    store({evening});
    QVERIFY(byUid(retrieve(QDate(2026, 12, 10), 1), "evening").isEmpty());
    QCOMPARE(byUid(retrieve(QDate(2026, 12, 11), 1), "evening").value(0).startDateTime().toUTC(),
             QDateTime(QDate(2026, 12, 11), QTime(0, 0), Qt::UTC));

    // Seen there: evenings until one that ends on the next day in UTC.
    qputenv("TZ", "America/New_York");
    tzset();
    Event::Ptr course(new Event);
    course->setUid("course");
    course->setDtStart(QDateTime(QDate(2026, 12, 1), QTime(20, 0), newYork));
    course->setDtEnd(QDateTime(QDate(2026, 12, 1), QTime(21, 0), newYork));
    course->recurrence()->setDaily(1);
    course->recurrence()->setEndDateTime(QDateTime(QDate(2026, 12, 11), QTime(1, 0), Qt::UTC));
    store({course});
    QCOMPARE(byUid(retrieve(QDate(2026, 12, 10), 1), "course").size(), 1);
    QVERIFY(byUid(retrieve(QDate(2026, 12, 11), 1), "course").isEmpty());

    // Daily at 02:30 for half an hour, on the day the clocks skip that hour:
    // 03:30 to 04:00, not an end before the start.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    storeDaily("gap", QDateTime(QDate(2026, 3, 1), QTime(2, 30), QTimeZone("Europe/Berlin")), 1800);
    const HVEvent skipped = byUid(retrieve(QDate(2026, 3, 29), 1), "gap").value(0);
    QCOMPARE(skipped.startDateTime().secsTo(skipped.endDateTime()), 1800);

    // An extra date given as a period lasts as long as the period, not the
    // series' hour.
    Event::Ptr clinic(new Event);
    clinic->setUid("clinic");
    clinic->setDtStart(QDateTime(QDate(2027, 4, 12), QTime(12, 0), Qt::UTC));
    clinic->setDtEnd(QDateTime(QDate(2027, 4, 12), QTime(13, 0), Qt::UTC));
    clinic->recurrence()->addRDateTimePeriod(Period(QDateTime(QDate(2027, 4, 14), QTime(12, 0), Qt::UTC),
                                                    QDateTime(QDate(2027, 4, 14), QTime(15, 0), Qt::UTC)));
    store({clinic});
    const HVEvent longer = byUid(retrieve(QDate(2027, 4, 14), 1), "clinic").value(0);
    QCOMPARE(longer.endDateTime().toUTC(), QDateTime(QDate(2027, 4, 14), QTime(15, 0), Qt::UTC));
}

void TestEventPlugin::allDaySeriesKeepsItsLastDayEastOfUtc()
{
    // As calendar services export it: a date as the end of an all-day series.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QFile file(m_dir->filePath("bins.ics"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:bins\nDTSTART;VALUE=DATE:20261119\n"
               "DTEND;VALUE=DATE:20261120\nRRULE:FREQ=WEEKLY;UNTIL=20261210;BYDAY=TH\nSUMMARY:Bins\nEND:VEVENT\n"
               "END:VCALENDAR\n");
    file.close();
    QVERIFY(runCalendar({"import", file.fileName()}));
    QCOMPARE(byUid(retrieve(QDate(2026, 12, 10), 1), "bins").size(), 1);
    QVERIFY(byUid(retrieve(QDate(2026, 12, 17), 1), "bins").isEmpty());
    // Written back as it came, however often.
    QVERIFY(runCalendar({"export", file.fileName()}));
    QVERIFY(runCalendar({"import", file.fileName()}));
    QString exported;
    QVERIFY(runCalendar({"export"}, &exported));
    QVERIFY2(exported.contains("UNTIL=20261210;"), qPrintable(exported));
}

void TestEventPlugin::nightShiftFromYesterdayRunsIntoToday()
{
    // Every night from 22:00 to 06:00: today holds the end of last night's.
    const QDateTime weekAgo(m_today.addDays(-7), QTime(22, 0));
    Event::Ptr shift(new Event);
    shift->setUid("nightshift");
    shift->setDtStart(weekAgo);
    shift->setDtEnd(weekAgo.addSecs(8 * 3600));
    shift->recurrence()->setDaily(1);
    // A weekly to-do open from two days ago until today's evening.
    Todo::Ptr review(new Todo);
    review->setUid("review");
    review->setDtStart(QDateTime(m_today.addDays(-9), QTime(9, 0)));
    review->setDtDue(QDateTime(m_today.addDays(-7), QTime(17, 0)));
    review->recurrence()->setWeekly(1);
    // Every five hours from 09:00 a week before: that day's first is at 01:00
    // (160 hours later), not at 09:00, which it does not have.
    Event::Ptr often(new Event);
    often->setUid("often");
    often->setDtStart(QDateTime(QDate(2026, 12, 3), QTime(9, 0)));
    often->setDtEnd(QDateTime(QDate(2026, 12, 3), QTime(9, 10)));
    often->recurrence()->setHourly(5);
    // Every six hours from midnight: each day's first is at midnight.
    Event::Ptr sixHourly(new Event);
    sixHourly->setUid("six-hourly");
    sixHourly->setDtStart(QDateTime(QDate(2026, 12, 3), QTime(0, 0)));
    sixHourly->setDtEnd(QDateTime(QDate(2026, 12, 3), QTime(0, 10)));
    sixHourly->recurrence()->setHourly(6);
    store({shift, review, often, sixHourly});
    QCOMPARE(byUid(retrieve(m_today, 1), "review").size(), 1);
    QCOMPARE(byUid(retrieve(QDate(2026, 12, 10), 1), "often").value(0).startDateTime(),
             QDateTime(QDate(2026, 12, 10), QTime(1, 0)));
    QCOMPARE(byUid(retrieve(QDate(2026, 12, 10), 1), "six-hourly").value(0).startDateTime(),
             QDateTime(QDate(2026, 12, 10), QTime(0, 0)));

    QList<QDateTime> starts;
    for (const HVEvent &event : byUid(retrieve(m_today, 1), "nightshift"))
        starts.append(event.startDateTime());
    std::sort(starts.begin(), starts.end());
    QCOMPARE(starts, QList<QDateTime>({QDateTime(m_today.addDays(-1), QTime(22, 0)), QDateTime(m_today, QTime(22, 0))}));
}

void TestEventPlugin::otherProcessChangesAreReportedAsDifference()
{
    QCOMPARE(retrieve(m_today, 1).size(), 4);
    QSignalSpy added(m_source, SIGNAL(itemsAdded(QList<HVItem>)));
    QSignalSpy changed(m_source, SIGNAL(itemsChanged(QList<HVItem>)));
    QSignalSpy removed(m_source, SIGNAL(itemsRemoved(QList<HVItem>)));

    // A new entry, one moved to the afternoon, one renamed, one removed.
    QString uid;
    QVERIFY(runCalendar({"add", "--summary", "Dentist", "--start", QDateTime(m_today, QTime(16, 0)).toString(Qt::ISODate),
                         "--end", QDateTime(m_today, QTime(17, 0)).toString(Qt::ISODate)}, &uid));
    QString exported;
    QVERIFY(runCalendar({"export", m_dir->filePath("all.ics")}));
    QFile file(m_dir->filePath("all.ics"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString ics = QString::fromUtf8(file.readAll());
    file.close();
    const QString oldStart = QDateTime(m_today, QTime(9, 30, 17)).toString("yyyyMMdd'T'HHmmss");
    QVERIFY(ics.contains(oldStart));
    ics.replace(oldStart, QDateTime(m_today, QTime(13, 0)).toString("yyyyMMdd'T'HHmmss"));
    ics.replace("SUMMARY:Report", "SUMMARY:Final report");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ics.toUtf8());
    file.close();
    QVERIFY(runCalendar({"import", file.fileName()}));
    QVERIFY(runCalendar({"remove", "weekly"}));

    // Reported together, after the deferral, once the engine saw the change.
    QVERIFY(added.wait(6000));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(added.count(), 1);
    const auto ids = [](const QList<QVariant> &arguments) {
        QStringList list;
        const auto items = arguments.at(0).value<QList<HVItem>>();
        for (const HVItem &item : items)
            list.append(item.id().localId());
        return list;
    };
    QCOMPARE(ids(removed.at(0)), QStringList{"weekly"});
    QCOMPARE(ids(changed.at(0)), QStringList({"meeting", "todo"}));
    QCOMPARE(ids(added.at(0)), QStringList{uid});
    QCOMPARE(HVEvent(changed.at(0).at(0).value<QList<HVItem>>().at(0)).startDateTime(),
             QDateTime(m_today, QTime(13, 0)));
    QCOMPARE(HVEvent(added.at(0).at(0).value<QList<HVItem>>().at(0)).displayLabel(), QStringLiteral("Dentist"));

    // Nothing changed since: a further signal reports nothing.
    QMetaObject::invokeMethod(m_source, "onDataChangedDeffered");
    QCOMPARE(added.count() + changed.count() + removed.count(), 3);
}

void TestEventPlugin::organizerSignalsGiveItemsOfTheCalendarForm()
{
    QCOMPARE(byUid(retrieve(m_today, 3), "standup").size(), 3);
    QSignalSpy added(m_source, SIGNAL(itemsAdded(QList<HVItem>)));
    QSignalSpy changed(m_source, SIGNAL(itemsChanged(QList<HVItem>)));
    QSignalSpy removed(m_source, SIGNAL(itemsRemoved(QList<HVItem>)));

    // An empty list is still reported.
    QVERIFY(QMetaObject::invokeMethod(m_source, "onEventsAdded", Q_ARG(QList<QtOrganizer::QOrganizerItemId>, {})));
    QCOMPARE(added.count(), 1);
    QVERIFY(added.takeFirst().at(0).value<QList<HVItem>>().isEmpty());

    // Another manager of this process changes the calendar; the source hears of it.
    QOrganizerManager manager("mkcal");
    const QOrganizerItemId standupId(manager.managerUri(), "standup");
    QOrganizerItem standup = manager.item(standupId);
    QCOMPARE(standup.guid(), QStringLiteral("standup"));
    standup.setDisplayLabel("Daily stand-up");
    QVERIFY(manager.saveItem(&standup));
    QCOMPARE(changed.count(), 1);
    const auto changedItems = changed.at(0).at(0).value<QList<HVItem>>();
    // One per occurrence of the three days.
    QCOMPARE(changedItems.size(), 3);
    QCOMPARE(changedItems.at(0).id(), HVItemId("standup", "urn::mkcal"));
    QCOMPARE(changedItems.at(0).displayLabel(), QStringLiteral("Daily stand-up"));

    // A removal carries the uid form of the added items, once per occurrence
    // shown, so that every row of the entry goes.
    QVERIFY(manager.removeItem(standupId));
    QCOMPARE(removed.count(), 1);
    const auto removedItems = removed.at(0).at(0).value<QList<HVItem>>();
    QCOMPARE(removedItems.size(), 3);
    for (const HVItem &item : removedItems) {
        QCOMPARE(item.type(), HVItemType::TypeEvent);
        QCOMPARE(item.id(), HVItemId("standup", "urn::mkcal"));
    }
    // Unknown ids add nothing but are still removals.
    QVERIFY(QMetaObject::invokeMethod(m_source, "onEventsUpdated",
                                      Q_ARG(QList<QtOrganizer::QOrganizerItemId>, {QOrganizerItemId(manager.managerUri(), "none")})));
    QVERIFY(changed.last().at(0).value<QList<HVItem>>().isEmpty());
    QVERIFY(QMetaObject::invokeMethod(m_source, "onEventsRemoved",
                                      Q_ARG(QList<QtOrganizer::QOrganizerItemId>, {QOrganizerItemId(manager.managerUri(), "none")})));
    QCOMPARE(removed.last().at(0).value<QList<HVItem>>().value(0).id(), HVItemId("none", "urn::mkcal"));

    QOrganizerEvent event;
    event.setDisplayLabel("Call");
    event.setStartDateTime(QDateTime(m_today, QTime(11, 0)));
    event.setEndDateTime(QDateTime(m_today, QTime(11, 15)));
    QVERIFY(manager.saveItem(&event));
    QCOMPARE(added.count(), 1);
    const auto addedItems = added.at(0).at(0).value<QList<HVItem>>();
    QCOMPARE(addedItems.size(), 1);
    QCOMPARE(addedItems.at(0).id(), HVItemId(event.guid(), "urn::mkcal"));
    QCOMPARE(HVEvent(addedItems.at(0)).startDateTime(), QDateTime(m_today, QTime(11, 0)));
}

void TestEventPlugin::severalDaysRereadReportsEachOccurrenceOnce()
{
    QCOMPARE(byUid(retrieve(m_today, 3), "standup").size(), 3);
    QSignalSpy added(m_source, SIGNAL(itemsAdded(QList<HVItem>)));
    QSignalSpy changed(m_source, SIGNAL(itemsChanged(QList<HVItem>)));
    QSignalSpy removed(m_source, SIGNAL(itemsRemoved(QList<HVItem>)));

    // Nothing changed: the occurrences of the second and third day are no news.
    QVERIFY(QMetaObject::invokeMethod(m_source, "onDataChangedDeffered"));
    QCOMPARE(added.count() + changed.count() + removed.count(), 0);

    // The stand-up moves to 7:00: each day's occurrence changes, none is added.
    change("standup", [this](const Incidence::Ptr &incidence) {
        const QDateTime start(m_today.addDays(-7), QTime(7, 0));
        incidence->setDtStart(start);
        incidence.staticCast<Event>()->setDtEnd(start.addSecs(15 * 60));
    });
    QVERIFY(QMetaObject::invokeMethod(m_source, "onDataChangedDeffered"));
    QCOMPARE(added.count(), 0);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(changed.count(), 1);
    const auto items = changed.at(0).at(0).value<QList<HVItem>>();
    QCOMPARE(items.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(items.at(i).id(), HVItemId("standup", "urn::mkcal"));
        QCOMPARE(HVEvent(items.at(i)).startDateTime(), QDateTime(m_today.addDays(i), QTime(7, 0)));
    }

    // Every other day, started a week ago: today's and the third day's
    // occurrences go, the second day's stays as it was.
    change("standup", [](const Incidence::Ptr &incidence) { incidence->recurrence()->setDaily(2); });
    changed.clear();
    QVERIFY(QMetaObject::invokeMethod(m_source, "onDataChangedDeffered"));
    QCOMPARE(added.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(removed.count(), 1);
    const auto gone = removed.at(0).at(0).value<QList<HVItem>>();
    QCOMPARE(gone.size(), 2);
    QCOMPARE(HVEvent(gone.at(0)).startDateTime(), QDateTime(m_today, QTime(7, 0)));
    QCOMPARE(HVEvent(gone.at(1)).startDateTime(), QDateTime(m_today.addDays(2), QTime(7, 0)));

    // A single entry moved to another day is still one change.
    change("meeting", [this](const Incidence::Ptr &incidence) {
        incidence->setDtStart(QDateTime(m_today.addDays(1), QTime(9, 0)));
        incidence.staticCast<Event>()->setDtEnd(QDateTime(m_today.addDays(1), QTime(10, 0)));
    });
    removed.clear();
    QVERIFY(QMetaObject::invokeMethod(m_source, "onDataChangedDeffered"));
    QCOMPARE(added.count() + removed.count(), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QList<HVItem>>().value(0).id(), HVItemId("meeting", "urn::mkcal"));
}

void TestEventPlugin::retrievalsFollowAnotherProcess()
{
    QCOMPARE(retrieve(m_today, 1).size(), 4);
    QCOMPARE(retrieve(m_today, 1).size(), 4);

    // Another process adds an entry, removes one, and moves a series.
    QString uid;
    QVERIFY(runCalendar({"add", "--summary", "Dentist", "--start", QDateTime(m_today, QTime(16, 0)).toString(Qt::ISODate),
                         "--end", QDateTime(m_today, QTime(17, 0)).toString(Qt::ISODate)}, &uid));
    QVERIFY(runCalendar({"remove", "meeting"}));
    mKCal::ExtendedCalendar::Ptr moved(new mKCal::ExtendedCalendar(QTimeZone::systemTimeZone()));
    Event::Ptr standup(new Event);
    standup->setUid("standup");
    standup->setSummary("Stand-up");
    standup->setDtStart(QDateTime(m_today.addDays(-7), QTime(10, 0)));
    standup->setDtEnd(QDateTime(m_today.addDays(-7), QTime(10, 30)));
    standup->recurrence()->setDaily(1);
    moved->addIncidence(standup);
    QFile file(m_dir->filePath("standup.ics"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ICalFormat().toString(moved).toUtf8());
    file.close();
    QVERIFY(runCalendar({"import", file.fileName()}));

    const QList<HVEvent> events = retrieve(m_today, 1);
    QCOMPARE(byUid(events, uid).size(), 1);
    QVERIFY(byUid(events, "meeting").isEmpty());
    QCOMPARE(byUid(events, "standup").size(), 1);
    QCOMPARE(byUid(events, "standup").at(0).startDateTime(), QDateTime(m_today, QTime(10, 0)));
    QCOMPARE(events.size(), 4);
    // The next day too, first asked now.
    QCOMPARE(byUid(retrieve(m_today.addDays(1), 1), "standup").value(0).startDateTime(),
             QDateTime(m_today.addDays(1), QTime(10, 0)));
}

void TestEventPlugin::zoneChangeGivesItemsInTheNewZone()
{
    // Noon UTC, in whichever zone the device is, asked for as a UTC day.
    const QDateTime noon(m_today, QTime(12, 0), Qt::UTC);
    Event::Ptr call(new Event);
    call->setUid("call");
    call->setDtStart(noon);
    call->setDtEnd(noon.addSecs(1800));
    store({call});
    const QDateTime from(m_today, QTime(0, 0), Qt::UTC);
    const auto callIn = [this, &from]() {
        const auto items = m_source->retrieveItemList(from, from.addDays(1));
        for (const HVItem &item : items) {
            if (item.id().localId() == QLatin1String("call"))
                return HVEvent(item);
        }
        return HVEvent();
    };
    const QTime before = noon.toLocalTime().time();
    QCOMPARE(callIn().startDateTime().time(), before);

    // The device travels to a zone with another offset; the same range now
    // gives the call in the new local time.
    qputenv("TZ", before == QTime(21, 0) ? "America/New_York" : "Asia/Tokyo");
    tzset();
    const QTime after = noon.toLocalTime().time();
    QVERIFY(after != before);
    const HVEvent moved = callIn();
    QCOMPARE(moved.startDateTime().time(), after);
    QCOMPARE(moved.startDateTime(), noon);
    QCOMPARE(moved.startDateTime().timeSpec(), Qt::LocalTime);
}

void TestEventPlugin::narrowerRangeDropsWhatWiderReadsLoaded()
{
    QCOMPARE(byUid(retrieve(m_today, 3), "holiday").size(), 1);
    // The holiday and the night shift stay in memory from the wider read.
    QStringList uids;
    for (const HVEvent &event : retrieve(m_today, 1))
        uids.append(event.id().localId());
    uids.sort();
    QCOMPARE(uids, (QStringList{"meeting", "standup", "todo", "weekly"}));

    // Nor does the deferred re-read of today bring them back.
    QSignalSpy added(m_source, SIGNAL(itemsAdded(QList<HVItem>)));
    QVERIFY(QMetaObject::invokeMethod(m_source, "onDataChangedDeffered"));
    QCOMPARE(added.count(), 0);
}

void TestEventPlugin::organizerSignalsGiveOnlyOccurrencesOfTheRange()
{
    QCOMPARE(retrieve(m_today, 1).size(), 4);
    QSignalSpy added(m_source, SIGNAL(itemsAdded(QList<HVItem>)));
    QSignalSpy changed(m_source, SIGNAL(itemsChanged(QList<HVItem>)));
    QOrganizerManager manager("mkcal");

    // Saved in this process for next week: not an item of today.
    QOrganizerEvent later;
    later.setDisplayLabel("Next week");
    later.setStartDateTime(QDateTime(m_today.addDays(7), QTime(11, 0)));
    later.setEndDateTime(QDateTime(m_today.addDays(7), QTime(12, 0)));
    QVERIFY(manager.saveItem(&later));
    QCOMPARE(added.count(), 1);
    QVERIFY(added.at(0).at(0).value<QList<HVItem>>().isEmpty());

    // A series that began a week ago changes: today's occurrence is reported.
    QOrganizerItem standup = manager.item(QOrganizerItemId(manager.managerUri(), "standup"));
    standup.setDisplayLabel("Daily stand-up");
    QVERIFY(manager.saveItem(&standup));
    QCOMPARE(changed.count(), 1);
    const auto items = changed.at(0).at(0).value<QList<HVItem>>();
    QCOMPARE(items.size(), 1);
    QCOMPARE(HVEvent(items.at(0)).startDateTime(), QDateTime(m_today, QTime(8, 45)));
}

QTEST_GUILESS_MAIN(TestEventPlugin)
#include "tst_eventplugin.moc"
