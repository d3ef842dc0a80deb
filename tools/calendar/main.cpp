// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

// halvane-calendar: brings entries into the device calendar database and out
// of it. Every change is one transaction: a failing command leaves the
// calendar as it was.
#include <KCalendarCore/Event>
#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/Todo>

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QSaveFile>
#include <QtCore/QUuid>

#include <algorithm>
#include <cstdio>

#include "calendarimporter.h"
#include "extendedcalendar.h"
#include "extendedstorage.h"
#include "hvglobal.h"
#include "hvlocalzone.h"

using namespace KCalendarCore;

namespace {

const char Usage[] =
    "usage: halvane-calendar COMMAND ...\n"
    "  import FILE.ics        add the file's entries; entries already present by uid are updated\n"
    "  export [FILE]          write the whole calendar as iCalendar (default: standard output)\n"
    "  list [--from DATE] [--to DATE]\n"
    "                         list entries (uid, start, end, summary); dates as YYYY-MM-DD\n"
    "  add --summary TEXT --start ISO --end ISO [--location TEXT]\n"
    "                         add an event and print its uid\n"
    "  remove UID             remove an entry with its exceptions\n"
    "The database is $HALVANE_CALENDAR_DB, else $XDG_DATA_HOME/halvane/calendar.db.\n";

int fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "halvane-calendar: %s\n", qPrintable(message));
    return code;
}

int usage(const QString &message)
{
    std::fprintf(stderr, "halvane-calendar: %s\n\n%s", qPrintable(message), Usage);
    return 2;
}

struct Store {
    mKCal::ExtendedCalendar::Ptr calendar{new mKCal::ExtendedCalendar(mKCal::ExtendedCalendar::systemZone())};
    mKCal::ExtendedStorage::Ptr storage{mKCal::ExtendedStorage::defaultStorage(calendar, false)};
};

QString storageError(const Store &store)
{
    return store.storage->errorString() + QLatin1String(" (") + store.storage->databaseName() + QLatin1Char(')');
}

int importFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString()));

    // Parse all of it before touching the calendar.
    CalendarImporter importer;
    const CalendarImporter::Result parsed = importer.parse(file.readAll());
    int said = 0;
    const auto sayNotes = [&importer, &said] {
        const QStringList notes = importer.notes();
        for (; said < notes.size(); ++said)
            std::fprintf(stderr, "halvane-calendar: %s\n", qPrintable(notes.at(said)));
    };
    sayNotes();
    switch (parsed) {
    case CalendarImporter::NotICalendar:
        return fail(QStringLiteral("%1 is not a valid iCalendar file").arg(fileName));
    case CalendarImporter::NoEntries:
        return fail(QStringLiteral("%1 holds no calendar entries").arg(fileName));
    default:
        break;
    }

    Store store;
    if (!store.storage->open())
        return fail(storageError(store));
    const CalendarImporter::Result stored = importer.store(store.storage);
    sayNotes();
    if (stored != CalendarImporter::Imported)
        return fail(QStringLiteral("nothing imported: ") + storageError(store));
    std::printf("imported %d entries (%d new, %d updated)\n", importer.added() + importer.updated(), importer.added(),
                importer.updated());
    return 0;
}

int exportTo(const QString &fileName)
{
    Store store;
    if (!store.storage->open() || !store.storage->loadAll())
        return fail(storageError(store));
    // Written out only: the calendar is not saved again.
    const Incidence::List incidences = store.calendar->incidences();
    for (const Incidence::Ptr &incidence : incidences)
        mKCal::ExtendedStorage::keepEndDates(incidence);
    ICalFormat format;
    const QByteArray text = format.toString(store.calendar).toUtf8();
    if (fileName.isEmpty()) {
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        return 0;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return fail(QStringLiteral("cannot write %1: %2").arg(fileName, file.errorString()));
    return 0;
}

QDateTime startOf(const Incidence::Ptr &incidence)
{
    if (incidence->type() == Incidence::TypeTodo && !incidence->dtStart().isValid())
        return incidence.staticCast<Todo>()->dtDue();
    return incidence->dtStart();
}

QDateTime endOf(const Incidence::Ptr &incidence)
{
    if (incidence->type() == Incidence::TypeEvent)
        return incidence.staticCast<Event>()->dtEnd();
    if (incidence->type() == Incidence::TypeTodo)
        return incidence.staticCast<Todo>()->dtDue();
    return QDateTime();
}

QString timeText(const QDateTime &dateTime, bool allDay)
{
    if (!dateTime.isValid())
        return QStringLiteral("-");
    return allDay ? dateTime.date().toString(Qt::ISODate) : dateTime.toLocalTime().toString(Qt::ISODate);
}

// Whether what runs from start to end meets the dates first to last; the
// end of a whole-day entry is its last day.
bool meets(bool allDay, const QDateTime &start, const QDateTime &end, const QDate &first, const QDate &last)
{
    if (allDay)
        return start.date() <= last && qMax(end.date(), start.date()) >= first;
    return start.isValid() && start < Halvane::dayStart(last.addDays(1))
        && (end > Halvane::dayStart(first) || start >= Halvane::dayStart(first));
}

// Whether an entry, or one of its occurrences, meets the dates: also one that
// began on a day before (a night shift), and not one moved away by an
// exception (which meets them, or not, on its own).
bool meetsDates(const Store &store, const Incidence::Ptr &incidence, const QDate &first, const QDate &last)
{
    const QDateTime start = startOf(incidence);
    const QDateTime end = qMax(endOf(incidence), start);
    if (!incidence->recurs())
        return meets(incidence->allDay(), start, end, first, last);
    const qint64 length = start.secsTo(end);
    const qint64 days = start.date().daysTo(end.date());
    QList<QDateTime> replaced;
    for (const Incidence::Ptr &exception : store.calendar->instances(incidence))
        replaced.append(exception->recurrenceId());
    // A day of margin either way: the zones of the entry and of the phone.
    const QList<QDateTime> starts = incidence->recurrence()->timesInInterval(
        Halvane::dayStart(first.addDays(-days - 1)).addSecs(-length), Halvane::dayStart(last.addDays(2)));
    if (std::any_of(starts.cbegin(), starts.cend(), [&](const QDateTime &occurrence) {
            if (replaced.contains(occurrence))
                return false;
            return incidence->allDay() ? meets(true, occurrence, occurrence.addDays(days), first, last)
                                       : meets(false, occurrence, occurrence.addSecs(length), first, last);
        }))
        return true;
    // An occurrence in the hour the clocks skip is no time of the interval;
    // its day still has it (an hour later, as the overview shows it).
    if (incidence->allDay() || !start.isValid())
        return false;
    const QTimeZone zone = start.timeSpec() == Qt::TimeZone ? start.timeZone() : mKCal::ExtendedCalendar::systemZone();
    // The rule's days, counted in a zone without clock changes.
    const Incidence::Ptr fixed(incidence->clone());
    fixed->setDtStart(start.toOffsetFromUtc(start.offsetFromUtc()));
    const QTimeZone fixedZone(start.offsetFromUtc());
    for (QDate day = first; day <= last && first.daysTo(day) <= 366; day = day.addDays(1)) {
        if (!QDateTime(day, start.time(), zone).isValid() && fixed->recursOn(day, fixedZone))
            return true;
    }
    return false;
}

int list(const QDate &from, const QDate &to)
{
    Store store;
    if (!store.storage->open())
        return fail(storageError(store));
    const bool ranged = from.isValid() || to.isValid();
    const QDate first = from.isValid() ? from : to;
    const QDate last = to.isValid() ? to : from;
    if (ranged && last < first)
        return usage(QStringLiteral("--to is before --from"));
    const bool ok = ranged ? store.storage->load(first, last) : store.storage->loadAll();
    if (!ok)
        return fail(storageError(store));

    Incidence::List incidences = store.calendar->rawIncidences();
    std::sort(incidences.begin(), incidences.end(), [](const Incidence::Ptr &a, const Incidence::Ptr &b) {
        return startOf(a) < startOf(b) || (startOf(a) == startOf(b) && a->uid() < b->uid());
    });
    for (const Incidence::Ptr &incidence : qAsConst(incidences)) {
        // Called off, or a to-do done: no longer on the day, as the day's list shows it.
        if (incidence->status() == Incidence::StatusCanceled
            || (incidence->type() == Incidence::TypeTodo && incidence.staticCast<Todo>()->isCompleted()))
            continue;
        if (ranged && !meetsDates(store, incidence, first, last))
            continue;
        QString line = incidence->uid() + QLatin1Char('\t') + timeText(startOf(incidence), incidence->allDay())
            + QLatin1Char('\t') + timeText(endOf(incidence), incidence->allDay()) + QLatin1Char('\t')
            + Halvane::withoutControls(incidence->summary());
        if (incidence->recurs())
            line += QLatin1String("\t(recurring)");
        std::printf("%s\n", qPrintable(line));
    }
    return 0;
}

// A time in the hour the clocks skip (02:30 where summer time begins at
// 02:00) is taken as the clocks show it an hour later, as import does.
QDateTime readTime(const QString &text)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    const QTime clock = QTime::fromString(text.mid(11), Qt::ISODate);
    if (time.isValid() || text.size() <= 11 || text.at(10) != QLatin1Char('T') || !date.isValid() || !clock.isValid())
        return time;
    const QDateTime moved = QDateTime(date, clock.addSecs(-3600)).addSecs(3600);
    return moved.date() == date ? moved : time;
}

int add(const QString &summary, const QString &start, const QString &end, const QString &location)
{
    const QDateTime startTime = readTime(start);
    const QDateTime endTime = readTime(end);
    if (summary.isEmpty())
        return usage(QStringLiteral("add needs --summary"));
    if (!startTime.isValid() || !endTime.isValid())
        return usage(QStringLiteral("add needs --start and --end as ISO date-times (2024-05-01T09:30), or dates for "
                                    "a whole day (2024-05-01)"));
    if (endTime < startTime)
        return usage(QStringLiteral("the end is before the start"));
    const bool dates = start.size() == 10 && end.size() == 10;
    // Where the clocks skip midnight (Chile) that day has no 00:00, and the
    // calendar library reads such a whole day back without a start: the
    // entry was lost while add said it was made.
    for (const QDateTime &time : {startTime, endTime}) {
        if (dates && !QDateTime(time.date(), QTime(0, 0)).isValid())
            return fail(QStringLiteral("%1 has no midnight here (the clocks skip it); a whole day that begins "
                                       "then cannot be stored: give times instead")
                            .arg(time.date().toString(Qt::ISODate)));
    }

    Store store;
    if (!store.storage->open())
        return fail(storageError(store));
    Event::Ptr event(new Event);
    event->setUid(QUuid::createUuid().toString(QUuid::WithoutBraces));
    event->setSummary(summary);
    // A time without an offset is one of this zone: kept as such, the entry
    // stays at its hour wherever the phone goes later, and is found there.
    const QTimeZone zone = mKCal::ExtendedCalendar::systemZone();
    const auto inZone = [&zone](const QDateTime &time) {
        return time.timeSpec() == Qt::LocalTime && zone.isValid() ? QDateTime(time.date(), time.time(), zone) : time;
    };
    if (dates) {
        event->setDtStart(QDateTime(startTime.date(), QTime(0, 0)));
        event->setDtEnd(QDateTime(endTime.date(), QTime(0, 0)));
        event->setAllDay(true);
    } else {
        event->setDtStart(inZone(startTime));
        event->setDtEnd(inZone(endTime));
    }
    if (!location.isEmpty())
        event->setLocation(location);
    store.calendar->addIncidence(event);
    if (!store.storage->save())
        return fail(storageError(store));
    std::printf("%s\n", qPrintable(event->uid()));
    return 0;
}

int remove(const QString &uid)
{
    Store store;
    if (!store.storage->open() || !store.storage->loadIncidence(uid))
        return fail(storageError(store));
    const Incidence::Ptr incidence = store.calendar->incidence(uid);
    if (!incidence)
        return fail(QStringLiteral("no calendar entry ") + uid);
    store.calendar->deleteIncidenceInstances(incidence);
    store.calendar->deleteIncidence(incidence);
    if (!store.storage->save())
        return fail(storageError(store));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    QCoreApplication::setApplicationName(QStringLiteral("halvane-calendar"));

    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2)
        return usage(QStringLiteral("no command"));
    const QString command = arguments.at(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        std::fputs(Usage, stdout);
        return 0;
    }

    QCommandLineParser parser;
    const QCommandLineOption fromOption(QStringLiteral("from"), QString(), QStringLiteral("date"));
    const QCommandLineOption toOption(QStringLiteral("to"), QString(), QStringLiteral("date"));
    const QCommandLineOption summaryOption(QStringLiteral("summary"), QString(), QStringLiteral("text"));
    const QCommandLineOption startOption(QStringLiteral("start"), QString(), QStringLiteral("iso"));
    const QCommandLineOption endOption(QStringLiteral("end"), QString(), QStringLiteral("iso"));
    const QCommandLineOption locationOption(QStringLiteral("location"), QString(), QStringLiteral("text"));
    if (command == QLatin1String("list"))
        parser.addOptions({fromOption, toOption});
    else if (command == QLatin1String("add"))
        parser.addOptions({summaryOption, startOption, endOption, locationOption});
    arguments.removeAt(1);
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    const QStringList positional = parser.positionalArguments();

    if (command == QLatin1String("import")) {
        if (positional.size() != 1)
            return usage(QStringLiteral("import takes one file"));
        return importFile(positional.first());
    }
    if (command == QLatin1String("export")) {
        if (positional.size() > 1)
            return usage(QStringLiteral("export takes at most one file"));
        return exportTo(positional.value(0));
    }
    if (command == QLatin1String("list")) {
        if (!positional.isEmpty())
            return usage(QStringLiteral("unexpected argument: ") + positional.first());
        const QDate from = QDate::fromString(parser.value(fromOption), Qt::ISODate);
        const QDate to = QDate::fromString(parser.value(toOption), Qt::ISODate);
        if ((parser.isSet(fromOption) && !from.isValid()) || (parser.isSet(toOption) && !to.isValid()))
            return usage(QStringLiteral("dates are YYYY-MM-DD"));
        return list(from, to);
    }
    if (command == QLatin1String("add")) {
        if (!positional.isEmpty())
            return usage(QStringLiteral("unexpected argument: ") + positional.first());
        return add(parser.value(summaryOption), parser.value(startOption), parser.value(endOption),
                   parser.value(locationOption));
    }
    if (command == QLatin1String("remove")) {
        if (positional.size() != 1)
            return usage(QStringLiteral("remove takes one uid"));
        return remove(positional.first());
    }
    return usage(QStringLiteral("unknown command: ") + command);
}
