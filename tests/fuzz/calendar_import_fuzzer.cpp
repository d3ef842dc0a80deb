// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// iCalendar import into the calendar database: the input is a file given to
// "halvane-calendar import". It is imported twice (new entries, then updates),
// and read back the ways the event source and the tools read it.
#include <KCalendarCore/Event>
#include <KCalendarCore/Todo>

#include <QtCore/QDebug>
#include <QtCore/QFile>
#include <QtCore/QSet>

#include "calendarimporter.h"
#include "extendedcalendar.h"
#include "extendedstorage.h"
#include "fuzzsupport.h"

using namespace KCalendarCore;

namespace {

QString databaseFile()
{
    return HVFuzz::scratchDirectory() + QStringLiteral("/calendar.db");
}

void removeDatabase()
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(databaseFile() + QLatin1String(suffix));
}

mKCal::ExtendedStorage::Ptr openStorage(bool readOnly)
{
    mKCal::ExtendedCalendar::Ptr calendar(new mKCal::ExtendedCalendar(QTimeZone::systemTimeZone()));
    mKCal::ExtendedStorage::Ptr storage(new mKCal::ExtendedStorage(calendar, databaseFile(), readOnly));
    if (!storage->open())
        abort();
    return storage;
}

QString keyOf(const Incidence::Ptr &incidence)
{
    return incidence->uid() + QLatin1Char('\n') + incidence->recurrenceId().toUTC().toString(Qt::ISODate);
}

// Exactly the entries stored read back.
void checkReadBack(const QSet<QString> &expected, const char *when)
{
    const mKCal::ExtendedStorage::Ptr reader = openStorage(true);
    reader->loadAll();
    QSet<QString> found;
    for (const Incidence::Ptr &incidence : reader->calendar()->rawIncidences())
        found.insert(keyOf(incidence));
    if (found != expected || reader->calendar()->rawIncidences().size() != expected.size()) {
        qWarning() << when << "stored" << expected << "read back" << found;
        abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // A zone with daylight saving time, whatever the machine's.
    qputenv("TZ", "Europe/Paris");
    HVFuzz::application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    CalendarImporter importer;
    if (importer.parse(text) != CalendarImporter::Imported)
        return 0;

    removeDatabase();
    {
        const mKCal::ExtendedStorage::Ptr storage = openStorage(false);
        if (importer.store(storage) != CalendarImporter::Imported) {
            // Refused whole: nothing of it may be stored.
            checkReadBack(QSet<QString>(), "refused import");
            return 0;
        }
    }
    // What it stored: an entry of a uid another type has is skipped.
    QSet<QString> keys;
    for (const Incidence::Ptr &incidence : importer.incidences())
        keys.insert(keyOf(incidence));
    checkReadBack(keys, "import");
    {
        const mKCal::ExtendedStorage::Ptr storage = openStorage(false);
        if (importer.store(storage) != CalendarImporter::Imported || importer.added() != 0)
            abort(); // the second time every entry is an update
    }
    checkReadBack(keys, "update");

    // As the event source reads it: the days of the entries, then the series.
    const mKCal::ExtendedStorage::Ptr reader = openStorage(true);
    const mKCal::ExtendedCalendar::Ptr calendar = reader->calendar();
    for (const Incidence::Ptr &incidence : importer.incidences()) {
        const QDate day = incidence->dtStart().date();
        if (day.isValid())
            reader->load(day.addDays(-1), day.addDays(1));
    }
    reader->loadRecurringIncidences();
    const Incidence::List loaded = calendar->rawIncidences();
    for (const Incidence::Ptr &incidence : loaded) {
        if (!incidence->recurs())
            continue;
        const QDate first = incidence->dtStart().date();
        for (int day = 0; first.isValid() && day < 3; ++day)
            incidence->recursOn(first.addDays(day), calendar->timeZone());
    }

    return 0;
}
