// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef EVENTITEMCACHE_H
#define EVENTITEMCACHE_H

#include <KCalendarCore/Calendar>

#include <QtCore/QByteArray>
#include <QtCore/QDate>
#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QSet>
#include <QtCore/QTimeZone>
#include <QtCore/QVarLengthArray>
#include <QtCore/QVector>

#include "hvevent.h"

namespace Halvane {

// What reading the calendar found, kept for the next read: per incidence the
// days it recurs on and the items built from it, until the incidence changes or
// goes; and the whole answer for a range, until anything in the calendar
// changes. Recurrence checks and the local times of items cost conversions of
// local time that the C library pays with a look at the zone file each time;
// over thousands of entries that is most of a read.
//
// Everything is forgotten when the zone of the ranges or the device's zone
// changes, since both enter the recurrence checks and the items' times.
class EventItemCache : public KCalendarCore::Calendar::CalendarObserver
{
public:
    struct Day {
        qint64 julianDay = 0;
        bool occurs = false;
        // The date the item was built for (the occurrence's).
        QDate occurrence;
        HVEvent event;
    };
    // A plain daily or weekly series in the zone of the reads: every period
    // days from first to last (open when invalid), but for the dates taken
    // out. Whether it occurs on a day is then a division, where the general
    // answer expands the series from its start.
    struct Rule {
        bool simple = false;
        qint64 period = 0;
        QDate first;
        QDate last;
        QVector<QDate> exceptions;
        bool occursOn(const QDate &date) const;
    };
    static Rule ruleOf(const KCalendarCore::Incidence::Ptr &incidence, const QTimeZone &zone, bool zoneIsLocal);
    // Whether it belongs on a day at all: an event or a to-do, not called off,
    // not a to-do already done.
    static bool isListed(const KCalendarCore::Incidence::Ptr &incidence);

    // What is kept of one incidence: empty when first seen.
    struct Entry {
        // Held so that its address, the key, is not reused while kept.
        KCalendarCore::Incidence::Ptr incidence;
        bool inspected = false;
        // An event or a to-do.
        bool listed = false;
        bool recurs = false;
        bool hasSingle = false;
        Rule rule;
        // The item of a non-recurring incidence.
        HVEvent single;
        // The days a recurring incidence was checked on; mostly one or a
        // few, kept in the entry itself.
        QVarLengthArray<Day, 2> days;
    };

    explicit EventItemCache(const KCalendarCore::Calendar::Ptr &calendar);
    ~EventItemCache() override;

    // Begins a read of the dates from the date of from to lastDay with zone as
    // the recurrences' zone. True when the calendar is unchanged since the last
    // read of the same range: then *items and *events are its answer.
    bool begin(const QDateTime &from, const QDate &lastDay, const QTimeZone &zone, QList<HVItem> *items,
               QList<HVEvent> *events);
    // Keeps the answer of the read begun last.
    void finish(const QList<HVItem> &items, const QList<HVEvent> &events);

    // Valid until the next call of entry() or until the calendar changes.
    Entry &entry(const KCalendarCore::Incidence::Ptr &incidence);
    // Whether the zone of the reads begun last is the device's.
    bool zoneIsLocal() const { return m_zoneIsLocal; }
    static const Day *day(const Entry &entry, const QDate &date);
    void setDay(Entry &entry, const Day &day);

protected:
    void calendarIncidenceAdded(const KCalendarCore::Incidence::Ptr &incidence) override;
    void calendarIncidenceChanged(const KCalendarCore::Incidence::Ptr &incidence) override;
    void calendarIncidenceDeleted(const KCalendarCore::Incidence::Ptr &incidence,
                                  const KCalendarCore::Calendar *calendar) override;

private:
    void clear();

    KCalendarCore::Calendar::Ptr m_calendar;
    QHash<const KCalendarCore::Incidence *, Entry> m_entries;
    // Dates with recurrence answers kept; bounded so a long-running process
    // does not collect every day it was asked for.
    QSet<qint64> m_dates;
    QTimeZone m_zone;
    QByteArray m_localZoneId;
    bool m_zoneIsLocal = false;
    // Bumped by every change of the calendar.
    quint64 m_generation = 0;

    bool m_hasRange = false;
    quint64 m_rangeGeneration = 0;
    QDateTime m_from;
    QDate m_lastDay;
    QList<HVItem> m_items;
    QList<HVEvent> m_events;
};

} // namespace Halvane

#endif // EVENTITEMCACHE_H
