// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MKCAL_EXTENDEDSTORAGE_H
#define MKCAL_EXTENDEDSTORAGE_H

#include <KCalendarCore/Calendar>

#include <QtCore/QDate>
#include <QtCore/QScopedPointer>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>

#include "extendedcalendar.h"
#include "mkcal_export.h"

namespace mKCal {

class ExtendedStoragePrivate;

/*!
 * The device calendar database: a SQLite file with one row per incidence
 * (uid, recurrence id, start, end, whether it recurs, iCalendar text).
 *
 * Loads bring rows into the calendar: only those that touch the asked dates,
 * or the recurring ones, so a large calendar is never read whole. Before every
 * load the storage applies what other connections changed since its last one,
 * so the calendar never keeps an entry that was removed or changed elsewhere,
 * and gains those written elsewhere within what it loaded. Parsed entries stay
 * in the calendar: a row is parsed again only when it changed, and asking for
 * what was loaded before reads nothing from the file.
 * save() writes the calendar's additions, changes and deletions since the
 * last load or save in one transaction.
 *
 * Several processes may use the file at once (WAL journal, busy timeout). A
 * database that cannot be read gives a warning and loads nothing.
 */
class MKCAL_EXPORT ExtendedStorage : public KCalendarCore::Calendar::CalendarObserver
{
public:
    typedef QSharedPointer<ExtendedStorage> Ptr;

    ExtendedStorage(const ExtendedCalendar::Ptr &calendar, const QString &databaseName, bool readOnly = false);
    ~ExtendedStorage() override;

    // HALVANE_CALENDAR_DB, else $XDG_DATA_HOME/halvane/calendar.db.
    static QString defaultDatabaseName();
    static Ptr defaultStorage(const ExtendedCalendar::Ptr &calendar, bool readOnly = false);

    // KCalendarCore reads the UNTIL date of an all-day series as midnight in
    // the device's zone, but writes the date of that instant in UTC: a day
    // early east of UTC, one more on every round. This moves such ends to
    // midnight UTC of their own date, which is written as that date. For an
    // incidence about to be written out only (it changes it).
    static void keepEndDates(const KCalendarCore::Incidence::Ptr &incidence);

    ExtendedCalendar::Ptr calendar() const;
    QString databaseName() const;
    bool isOpen() const;
    // The last failure, empty when the last operation succeeded.
    QString errorString() const;

    // Opens the database, creating a missing one unless read-only.
    bool open();
    bool close();

    // The incidences that touch the date, or the dates from start to end
    // (both included), in the calendar's time zone; recurring ones whose
    // series spans the dates come with them.
    bool load(const QDate &date);
    bool load(const QDate &start, const QDate &end);
    // Every recurring incidence that can still occur on or after the first
    // date loaded (all of them before any date was loaded).
    bool loadRecurringIncidences();
    // The incidence of that uid with its exceptions.
    bool loadIncidence(const QString &uid);
    // The whole calendar (export and listings).
    bool loadAll();

    // Writes the calendar's pending additions, changes and deletions.
    bool save();
    bool hasPendingChanges() const;

    // True once for every time another connection committed a change since
    // the previous call; a cheap check meant for polling.
    bool modifiedElsewhere();

    // How many rows were parsed into the calendar since open().
    int incidencesRead() const;

protected:
    void calendarIncidenceAdded(const KCalendarCore::Incidence::Ptr &incidence) override;
    void calendarIncidenceChanged(const KCalendarCore::Incidence::Ptr &incidence) override;
    void calendarIncidenceDeleted(const KCalendarCore::Incidence::Ptr &incidence,
                                  const KCalendarCore::Calendar *calendar) override;

private:
    Q_DISABLE_COPY(ExtendedStorage)
    QScopedPointer<ExtendedStoragePrivate> d;
};

} // namespace mKCal

#endif // MKCAL_EXTENDEDSTORAGE_H
