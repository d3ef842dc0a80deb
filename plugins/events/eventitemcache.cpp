// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "eventitemcache.h"

#include <KCalendarCore/Recurrence>
#include <KCalendarCore/RecurrenceRule>
#include <KCalendarCore/Todo>

using namespace KCalendarCore;

namespace Halvane {

namespace {

// A month of days either way of the ranges usually asked for.
const int MaxDates = 62;

bool sameStart(const QDateTime &a, const QDateTime &b)
{
    if (a.timeSpec() != b.timeSpec() || !(a == b))
        return false;
    if (a.timeSpec() == Qt::TimeZone)
        return a.timeZone() == b.timeZone();
    if (a.timeSpec() == Qt::OffsetFromUTC)
        return a.offsetFromUtc() == b.offsetFromUtc();
    return true;
}

} // namespace

EventItemCache::EventItemCache(const Calendar::Ptr &calendar)
    : m_calendar(calendar)
{
    m_calendar->registerObserver(this);
}

EventItemCache::~EventItemCache()
{
    m_calendar->unregisterObserver(this);
}

void EventItemCache::clear()
{
    m_entries.clear();
    m_dates.clear();
    m_hasRange = false;
    m_items.clear();
    m_events.clear();
}

bool EventItemCache::begin(const QDateTime &from, const QDate &lastDay, const QTimeZone &zone, QList<HVItem> *items,
                           QList<HVEvent> *events)
{
    const QByteArray localZoneId = QTimeZone::systemTimeZoneId();
    if (zone != m_zone || localZoneId != m_localZoneId) {
        clear();
        m_zone = zone;
        m_localZoneId = localZoneId;
        m_zoneIsLocal = zone == QTimeZone(localZoneId);
    }
    if (m_hasRange && m_rangeGeneration == m_generation && lastDay == m_lastDay && sameStart(from, m_from)) {
        *items = m_items;
        *events = m_events;
        return true;
    }
    m_hasRange = false;
    m_items.clear();
    m_events.clear();
    m_from = from;
    m_lastDay = lastDay;
    return false;
}

void EventItemCache::finish(const QList<HVItem> &items, const QList<HVEvent> &events)
{
    m_items = items;
    m_events = events;
    m_rangeGeneration = m_generation;
    m_hasRange = true;
}

EventItemCache::Entry &EventItemCache::entry(const Incidence::Ptr &incidence)
{
    Entry &entry = m_entries[incidence.data()];
    if (!entry.inspected) {
        entry.incidence = incidence;
        entry.listed = isListed(incidence);
        entry.recurs = incidence->recurs();
        if (entry.recurs)
            entry.rule = ruleOf(incidence, m_zone, m_zoneIsLocal);
        entry.inspected = true;
    }
    return entry;
}

bool EventItemCache::isListed(const Incidence::Ptr &incidence)
{
    // A cancelled meeting (or a cancelled one of a series) is not on the day,
    // nor is a to-do ticked off (for a series: all of it).
    if (incidence->status() == Incidence::StatusCanceled)
        return false;
    if (incidence->type() == Incidence::TypeTodo)
        return !incidence.staticCast<Todo>()->isCompleted();
    return incidence->type() == Incidence::TypeEvent;
}

EventItemCache::Rule EventItemCache::ruleOf(const Incidence::Ptr &incidence, const QTimeZone &zone, bool zoneIsLocal)
{
    Rule rule;
    const Recurrence *recurrence = incidence->recurrence();
    if (!incidence->recurs() || recurrence->rRules().size() != 1 || !recurrence->exRules().isEmpty()
        || !recurrence->rDates().isEmpty() || !recurrence->rDateTimes().isEmpty()
        || !recurrence->exDateTimes().isEmpty())
        return rule;
    // Dates count in the start's own zone: it must be that of the reads.
    const QDateTime start = incidence->dtStart();
    const bool sameZone = start.timeSpec() == Qt::LocalTime ? zoneIsLocal
        : start.timeSpec() == Qt::TimeZone                  ? start.timeZone() == zone
        : start.timeSpec() == Qt::UTC                       ? zone == QTimeZone::utc()
                                                            : false;
    if (!start.isValid() || !sameZone)
        return rule;
    const RecurrenceRule *rrule = recurrence->rRules().first();
    if (rrule->frequency() < 1 || !rrule->bySetPos().isEmpty() || !rrule->byMonths().isEmpty()
        || !rrule->byMonthDays().isEmpty() || !rrule->byYearDays().isEmpty() || !rrule->byWeekNumbers().isEmpty()
        || !rrule->byHours().isEmpty() || !rrule->byMinutes().isEmpty() || !rrule->bySeconds().isEmpty())
        return rule;
    const QList<RecurrenceRule::WDayPos> days = rrule->byDays();
    if (rrule->recurrenceType() == RecurrenceRule::rDaily && days.isEmpty()) {
        rule.period = rrule->frequency();
    } else if (rrule->recurrenceType() == RecurrenceRule::rWeekly
               && (days.isEmpty()
                   || (days.size() == 1 && days.first().pos() == 0
                       && days.first().day() == start.date().dayOfWeek()))) {
        rule.period = 7 * rrule->frequency();
    } else {
        return rule;
    }
    rule.first = start.date();
    if (recurrence->duration() > 0) {
        // A count: the library would expand every occurrence to find the last.
        rule.last = rule.first.addDays(qint64(recurrence->duration() - 1) * rule.period);
    } else if (recurrence->duration() != -1) {
        // An all-day series ends at midnight of its last day, in the start's
        // zone; endDate() is the date of that instant in UTC.
        // A timed one ends with its last start not after the end, counted
        // in the start's zone too (endDate() would be a day late or early).
        const QDateTime end = recurrence->endDateTime();
        const QDateTime local = start.timeSpec() == Qt::TimeZone ? end.toTimeZone(start.timeZone())
            : start.timeSpec() == Qt::UTC                        ? end.toUTC()
                                                                 : end.toLocalTime();
        rule.last = local.date();
        if (!incidence->allDay() && local.time() < start.time())
            rule.last = rule.last.addDays(-1);
        if (!rule.last.isValid())
            return rule;
    }
    const DateList exceptions = recurrence->exDates();
    rule.exceptions = QVector<QDate>(exceptions.cbegin(), exceptions.cend());
    rule.simple = true;
    return rule;
}

bool EventItemCache::Rule::occursOn(const QDate &date) const
{
    if (date < first || (last.isValid() && date > last))
        return false;
    return first.daysTo(date) % period == 0 && !exceptions.contains(date);
}

const EventItemCache::Day *EventItemCache::day(const Entry &entry, const QDate &date)
{
    const qint64 julianDay = date.toJulianDay();
    for (const Day &day : entry.days) {
        if (day.julianDay == julianDay)
            return &day;
    }
    return nullptr;
}

void EventItemCache::setDay(Entry &entry, const Day &day)
{
    if (!m_dates.contains(day.julianDay)) {
        if (m_dates.size() >= MaxDates) {
            for (Entry &kept : m_entries)
                kept.days.clear();
            m_dates.clear();
        }
        m_dates.insert(day.julianDay);
    }
    for (Day &kept : entry.days) {
        if (kept.julianDay == day.julianDay) {
            kept = day;
            return;
        }
    }
    entry.days.append(day);
}

void EventItemCache::calendarIncidenceAdded(const Incidence::Ptr &incidence)
{
    Q_UNUSED(incidence)
    ++m_generation;
}

void EventItemCache::calendarIncidenceChanged(const Incidence::Ptr &incidence)
{
    m_entries.remove(incidence.data());
    ++m_generation;
}

void EventItemCache::calendarIncidenceDeleted(const Incidence::Ptr &incidence, const Calendar *calendar)
{
    Q_UNUSED(calendar)
    m_entries.remove(incidence.data());
    ++m_generation;
}

} // namespace Halvane
