#include "eventitemcache.h"

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
        entry.listed = incidence->type() == Incidence::TypeEvent || incidence->type() == Incidence::TypeTodo;
        entry.recurs = incidence->recurs();
        entry.inspected = true;
    }
    return entry;
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
