// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "eventservicesource.h"

#include <KCalendarCore/Event>
#include <KCalendarCore/Todo>

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QTimer>
#include <QtOrganizer/QOrganizerItem>
#include <QtOrganizer/QOrganizerItemFetchHint>
#include <QtOrganizer/QOrganizerManager>

#include <dlfcn.h>
#include <time.h>

#include "eventitemcache.h"
#include "hvglobal.h"
#include "eventservice.h"
#include "hvitemtype.h"

using namespace KCalendarCore;
using namespace QtOrganizer;

namespace Halvane {

namespace {

const QString ManagerUri = QStringLiteral("urn::mkcal");
const QString EngineName = QStringLiteral("mkcal");

// The organizer engine lives in the Qt plug-in tree beside our plug-ins
// directory; Qt only looks there when told.
void addEnginePath()
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&addEnginePath), &info) || !info.dli_fname)
        return;
    const QString dir = QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath()
                                        + QLatin1Char('/') + QLatin1String(HALVANE_RELATIVE_QT_PLUGINS));
    if (QFileInfo(dir + QLatin1String("/organizer")).isDir() && !QCoreApplication::libraryPaths().contains(dir))
        QCoreApplication::addLibraryPath(dir);
}

// Local device time to the whole second; an unset time stays unset.
QDateTime toLocal(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return QDateTime();
    // Already local to the second: the same value, without the two lookups of
    // the zone that converting there and back costs.
    if (dateTime.timeSpec() == Qt::LocalTime && dateTime.time().msec() == 0)
        return dateTime;
    return QDateTime::fromSecsSinceEpoch(dateTime.toSecsSinceEpoch());
}

// Whether an item of an entry that does not recur meets [from, to): an
// instant (or a to-do with only a due time) when it lies in the range, an
// all-day entry through the end of its last day.
bool meets(const HVEvent &event, bool allDay, const QDateTime &from, const QDateTime &to)
{
    QDateTime start = event.startDateTime();
    QDateTime end = event.endDateTime();
    if (!start.isValid())
        start = end;
    if (!start.isValid())
        return false;
    if (allDay)
        end = dayStart(qMax(start.date(), end.isValid() ? end.date() : start.date()).addDays(1));
    if (!end.isValid() || end <= start)
        return start >= from && start < to;
    return start < to && end > from;
}

// The most days an occurrence is looked for before the range it runs into.
const qint64 MaxRunningDays = 31;

// The day, in zone, of the occurrence an exception of a series (an entry
// with a RECURRENCE-ID) stands in for: the series itself does not occur then.
qint64 replacedDay(const Incidence::Ptr &exception, const QTimeZone &zone)
{
    const QDateTime id = exception->recurrenceId();
    return (exception->allDay() ? id.date() : id.toTimeZone(zone).date()).toJulianDay();
}

// Whether an exception stands in for an occurrence of its series. One whose
// RECURRENCE-ID names none (the series moved to another time of day since it
// was made) is an entry of its own: the series still occurs that day.
bool replacesOccurrence(const Incidence::Ptr &series, const Incidence::Ptr &exception)
{
    if (!series || !series->recurs())
        return false;
    const QDateTime id = exception->recurrenceId();
    return series->allDay() ? series->recursOn(id.date(), id.timeZone()) : series->recursAt(id);
}

// The start of a series' occurrence on the day that begins at dayStart, where
// moving the first start by whole local days would miss it: a series in
// another zone than the device's keeps its time of day in its own zone (summer
// time begins and ends there, or not at all), and extra dates or hours of a
// rule have times of their own. Invalid where the day shift is right.
// Whether the series' occurrences may begin at another time of day than its
// first one, in the device's zone.
bool shiftsTimeOfDay(const Incidence::Ptr &incidence)
{
    if (!incidence->recurs() || incidence->allDay())
        return false;
    const QDateTime own = incidence->dtStart();
    const Recurrence *recurrence = incidence->recurrence();
    bool shifted = own.timeSpec() != Qt::LocalTime
        && !(own.timeSpec() == Qt::TimeZone && own.timeZone() == mKCal::ExtendedCalendar::systemZone());
    shifted = shifted || !recurrence->rDateTimes().isEmpty();
    const RecurrenceRule::List rules = recurrence->rRules();
    // Several a day (hourly, by hours): the day shows its first one, not the
    // first occurrence's time of day, which the day may not have.
    for (const RecurrenceRule *rule : rules)
        shifted = shifted || !rule->byHours().isEmpty() || !rule->byMinutes().isEmpty()
            || rule->recurrenceType() == RecurrenceRule::rHourly || rule->recurrenceType() == RecurrenceRule::rMinutely
            || rule->recurrenceType() == RecurrenceRule::rSecondly;
    return shifted;
}

QDateTime occurrenceStart(const Incidence::Ptr &incidence, const QDateTime &dayStart)
{
    if (!shiftsTimeOfDay(incidence))
        return QDateTime();
    // One at midnight itself is the day's first (the library's next one
    // after 23:59:59 may pass over it, for hourly series).
    const QDateTime next = incidence->recurrence()->recursAt(dayStart)
        ? dayStart
        : incidence->recurrence()->getNextDateTime(dayStart.addSecs(-1));
    return next.isValid() && next < dayStart.addDays(1) ? toLocal(next) : QDateTime();
}

// recursOn() also counts an occurrence at the next midnight, which a series
// of another zone may have: that day holds none of its own.
bool occursOn(const Incidence::Ptr &incidence, const EventItemCache::Rule &rule, const QDate &day,
              const QTimeZone &zone)
{
    if (rule.simple)
        return rule.occursOn(day);
    if (!incidence->recursOn(day, zone))
        return false;
    return !shiftsTimeOfDay(incidence) || occurrenceStart(incidence, QDateTime(day, QTime(0, 0), zone)).isValid();
}

} // namespace

EventServiceSource::EventServiceSource(EventService *service)
    : HVServiceSource(service)
    , service(service)
{
    addEnginePath();
    // The default manager would be the "invalid" engine: name ours.
    organizerManager = new QOrganizerManager(EngineName, QMap<QString, QString>(), this);
    if (organizerManager->managerName() != EngineName)
        qWarning() << "EventServiceSource::EventServiceSource(EventService*): no organizer engine" << EngineName
                   << "- calendar changes are not followed";

    connect(organizerManager, &QOrganizerManager::itemsAdded, this, &EventServiceSource::onEventsAdded);
    connect(organizerManager, &QOrganizerManager::itemsChanged, this,
            [this](const QList<QOrganizerItemId> &ids) { onEventsUpdated(ids); });
    connect(organizerManager, &QOrganizerManager::itemsRemoved, this, &EventServiceSource::onEventsRemoved);
    connect(organizerManager, &QOrganizerManager::dataChanged, this, &EventServiceSource::onDataChanged);

    tzset();
    calendar = QSharedPointer<mKCal::ExtendedCalendar>(new mKCal::ExtendedCalendar(QString::fromLatin1(tzname[0])));
    storage = mKCal::ExtendedCalendar::defaultStorage(calendar, false);
    storage->open();
    itemCache.reset(new EventItemCache(calendar));
}

EventServiceSource::~EventServiceSource()
{
    calendar->close();
    storage->close();
    itemCache.reset();
    storage.clear();
    calendar.clear();
}

HVEvent EventServiceSource::extractEventFromIncidence(QSharedPointer<Incidence> incidence, const QDateTime &occurrence)
{
    HVEvent event;
    event.setId(HVItemId(incidence->uid(), ManagerUri));
    event.setDisplayLabel(incidence->summary());
    event.setDescription(incidence->description());

    QDateTime start;
    QDateTime end;
    bool timed = true;
    if (incidence->type() == Incidence::TypeEvent) {
        start = toLocal(incidence->dtStart());
        end = toLocal(incidence.staticCast<Event>()->dtEnd());
    } else if (incidence->type() == Incidence::TypeTodo) {
        start = toLocal(incidence->dtStart());
        end = toLocal(incidence.staticCast<Todo>()->dtDue(false));
        event.setTodo(true);
    } else {
        timed = false;
    }
    if (timed) {
        if (occurrence.isValid() && start.isValid()) {
            const QDateTime own = occurrenceStart(incidence, occurrence);
            if (own.isValid()) {
                // An extra date given as a period (RDATE;VALUE=PERIOD) ends
                // where the period does.
                const Period period = incidence->recurrence()->rDateTimePeriod(own);
                end = period.isValid() && end.isValid() ? toLocal(period.end()) : end.addSecs(start.secsTo(own));
                start = own;
            } else {
                const qint64 days = start.date().daysTo(occurrence.date());
                // Its length kept: a start in the hour the clocks skip moves
                // on by the hour, and the end must move with it.
                const qint64 length = end.isValid() ? start.secsTo(end) : 0;
                start = start.addDays(days);
                if (end.isValid())
                    end = start.addSecs(length);
            }
        }
        event.setStartDateTime(start);
        event.setEndDateTime(end);
        // A to-do with a due time alone (as most programs write them) is
        // placed in the day at that time: without, it sorted before every
        // entry, in no fixed order.
        event.setDateTime(start.isValid() || !event.isTodo() ? start : end);
    }

    const Person organizer = incidence->organizer();
    HVItemEventCreator creator;
    creator.setValue(HVItemEventCreator::FieldName, QVariant(organizer.name()));
    creator.setValue(HVItemEventCreator::FieldEmail, QVariant(organizer.email()));
    event.setCreator(creator);

    event.setLocationName(incidence->location());
    if (incidence->hasGeo()) {
        event.setLocationCoordinates(QString::number(incidence->geoLatitude(), 'g', 6) + QLatin1Char(';')
                                     + QString::number(incidence->geoLongitude(), 'g', 6));
    }

    QList<HVItemEventParticipant> participants;
    const Attendee::List attendees = incidence->attendees();
    for (const Attendee &attendee : attendees) {
        HVItemEventParticipant participant;
        participant.setValue(HVItemEventParticipant::FieldName, QVariant(attendee.name()));
        participant.setValue(HVItemEventParticipant::FieldEmail, QVariant(attendee.email()));
        participants.append(participant);
    }
    event.setParticipants(participants);
    return event;
}

bool EventServiceSource::equal(const HVEvent &a, const HVEvent &b) const
{
    if (a.id().localId() != b.id().localId() || a.id().managerUri() != b.id().managerUri())
        return false;
    if (a.startDateTime() != b.startDateTime() || a.endDateTime() != b.endDateTime())
        return false;
    if (a.locationName() != b.locationName() || a.locationCoordinates() != b.locationCoordinates())
        return false;
    const QList<HVItemEventParticipant> participantsA = a.participants();
    const QList<HVItemEventParticipant> participantsB = b.participants();
    if (participantsA.size() != participantsB.size())
        return false;
    for (int i = 0; i < participantsA.size(); ++i) {
        if (participantsA.at(i) != participantsB.at(i))
            return false;
    }
    if (!(a.creator() == b.creator()))
        return false;
    // A renamed entry is a changed one: the day must not go on showing the
    // old title.
    return a.displayLabel() == b.displayLabel() && a.description() == b.description()
        && a.locationAddress() == b.locationAddress();
}

QList<HVItem> EventServiceSource::getItemListFromBackend(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    events.clear();
    QList<HVItem> result;

    const QDate firstDay = fromDateTime.date();
    const QDate lastDay = toDateTime.date().addDays(-1);
    if (firstDay == lastDay)
        storage->load(lastDay);
    else
        storage->load(firstDay, lastDay);
    // The loads bring the series that can occur on the dates; all others
    // that may occur later stay in the file.

    // Recurrence answers and items are those of the last read unless their
    // incidence changed since; the whole answer when nothing did.
    const QTimeZone zone = fromDateTime.timeZone();
    if (itemCache->begin(fromDateTime, lastDay, zone, &result, &events))
        return result;

    const Incidence::List incidences =
        Calendar::mergeIncidenceList(calendar->rawEvents(), calendar->rawTodos(), Journal::List());
    const qint64 days = fromDateTime.daysTo(QDateTime(lastDay, QTime(0, 0), fromDateTime.timeSpec()));
    // The days and their occurrences, the same for every incidence.
    QVector<QDate> dates;
    QVector<QDateTime> occurrences;
    QVector<QDate> occurrenceDates;
    for (qint64 i = 0; i <= days; ++i) {
        dates.append(firstDay.addDays(i));
        occurrences.append(fromDateTime.addDays(i));
        occurrenceDates.append(occurrences.last().date());
    }
    QHash<QString, QSet<qint64>> replaced;
    for (const Incidence::Ptr &incidence : incidences) {
        if (incidence->hasRecurrenceId() && replacesOccurrence(calendar->incidence(incidence->uid()), incidence))
            replaced[incidence->uid()].insert(replacedDay(incidence, zone));
    }
    result.reserve(incidences.size());
    events.reserve(incidences.size());
    for (const Incidence::Ptr &incidence : incidences) {
        // Its type and whether it recurs, as found when it came.
        EventItemCache::Entry &entry = itemCache->entry(incidence);
        if (!entry.listed)
            continue;
        if (entry.recurs) {
            const QSet<qint64> replacedDays = replaced.value(incidence->uid());
            for (const HVEvent &running :
                 occurrencesRunningInto(incidence, entry.rule, fromDateTime, toDateTime, replacedDays)) {
                result.append(running);
                events.append(running);
            }
            for (int i = 0; i < dates.size(); ++i) {
                const QDate &day = dates.at(i);
                const EventItemCache::Day *known = EventItemCache::day(entry, day);
                if (!known || (known->occurs && known->occurrence != occurrenceDates.at(i))) {
                    EventItemCache::Day found;
                    found.julianDay = day.toJulianDay();
                    found.occurs = occursOn(incidence, entry.rule, day, zone);
                    if (found.occurs) {
                        found.occurrence = occurrenceDates.at(i);
                        found.event = extractEventFromIncidence(incidence, occurrences.at(i));
                    }
                    itemCache->setDay(entry, found);
                    known = EventItemCache::day(entry, day);
                }
                if (known->occurs && !replacedDays.contains(day.toJulianDay())) {
                    result.append(known->event);
                    events.append(known->event);
                }
            }
        } else {
            if (!entry.hasSingle) {
                entry.single = extractEventFromIncidence(incidence, QDateTime());
                entry.hasSingle = true;
            }
            // What earlier, wider reads brought into memory stays out.
            if (!meets(entry.single, incidence->allDay(), fromDateTime, toDateTime))
                continue;
            result.append(entry.single);
            events.append(entry.single);
        }
    }
    itemCache->finish(result, events);
    return result;
}

QList<HVItem> EventServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    rangeFrom = fromDateTime;
    rangeTo = toDateTime;
    return getItemListFromBackend(fromDateTime, toDateTime);
}

bool EventServiceSource::synchronize()
{
    Q_EMIT service->actionCompleted(true);
    return true;
}

QList<HVEvent> EventServiceSource::occurrencesInRange(const Incidence::Ptr &incidence)
{
    QList<HVEvent> found;
    if (!rangeFrom.isValid() || !rangeTo.isValid())
        return found;
    if (!EventItemCache::isListed(incidence))
        return found;
    if (!incidence->recurs()) {
        const HVEvent event = extractEventFromIncidence(incidence, QDateTime());
        if (meets(event, incidence->allDay(), rangeFrom, rangeTo))
            found.append(event);
        return found;
    }
    const QDate lastDay = rangeTo.date().addDays(-1);
    const qint64 days = rangeFrom.daysTo(QDateTime(lastDay, QTime(0, 0), rangeFrom.timeSpec()));
    const QTimeZone zone = rangeFrom.timeZone();
    const EventItemCache::Rule rule = EventItemCache::ruleOf(incidence, zone, zone == mKCal::ExtendedCalendar::systemZone());
    QSet<qint64> replaced;
    const Incidence::List exceptions = calendar->instances(incidence);
    for (const Incidence::Ptr &exception : exceptions) {
        if (replacesOccurrence(incidence, exception))
            replaced.insert(replacedDay(exception, zone));
    }
    found = occurrencesRunningInto(incidence, rule, rangeFrom, rangeTo, replaced);
    for (qint64 i = 0; i <= days; ++i) {
        const QDate day = rangeFrom.date().addDays(i);
        if (replaced.contains(day.toJulianDay()))
            continue;
        if (occursOn(incidence, rule, day, zone))
            found.append(extractEventFromIncidence(incidence, rangeFrom.addDays(i)));
    }
    return found;
}

// Occurrences that began on the days before the range and still run into it:
// a night shift from yesterday, the second day of a two-day entry. Each day
// of the range holds only the occurrences that begin on it.
QList<HVEvent> EventServiceSource::occurrencesRunningInto(const Incidence::Ptr &incidence,
                                                          const EventItemCache::Rule &rule, const QDateTime &from,
                                                          const QDateTime &to, const QSet<qint64> &replaced)
{
    QList<HVEvent> found;
    // A to-do from its start to its due time runs like an entry.
    const QDateTime start = incidence->dtStart();
    const QDateTime end = incidence->type() == Incidence::TypeEvent ? incidence.staticCast<Event>()->dtEnd()
        : incidence->type() == Incidence::TypeTodo                  ? incidence.staticCast<Todo>()->dtDue()
                                                                    : QDateTime();
    if (!start.isValid() || !end.isValid())
        return found;
    // How many days later than it begins an occurrence ends: for an all-day
    // entry its last day (its end), else counted from the start's time of
    // day in its own zone, with room for summer time, or for a whole day
    // where that zone may not be the device's. meets() then decides.
    // Wall-clock arithmetic only: an instant of a local time costs mktime().
    qint64 span = start.date().daysTo(end.date());
    if (!incidence->allDay()) {
        const qint64 slack = start.timeSpec() == Qt::LocalTime ? 3600 : 86400;
        span = (span * 86400 + QTime(0, 0).secsTo(end.time()) + slack - 1) / 86400;
    }
    span = qMin(span, MaxRunningDays);
    const QTimeZone zone = from.timeZone();
    for (qint64 back = span; back >= 1; --back) {
        const QDate day = from.date().addDays(-back);
        if (replaced.contains(day.toJulianDay()))
            continue;
        if (!occursOn(incidence, rule, day, zone))
            continue;
        const HVEvent event = extractEventFromIncidence(incidence, from.addDays(-back));
        if (meets(event, incidence->allDay(), from, to))
            found.append(event);
    }
    return found;
}

QList<HVItem> EventServiceSource::itemsForIds(const QList<QOrganizerItemId> &ids, bool keep)
{
    QList<HVItem> items;
    for (const QOrganizerItemId &id : ids) {
        const QOrganizerItem item = organizerManager->item(id, QOrganizerItemFetchHint());
        if (item.isEmpty())
            continue;
        // Another connection saved it: bring the stored version into memory.
        storage->loadIncidence(item.guid());
        const Incidence::Ptr incidence = calendar->incidence(item.guid(), QDateTime());
        if (!incidence)
            continue;
        // Only what the range shows, a series by its occurrences there.
        const QList<HVEvent> occurrences = occurrencesInRange(incidence);
        for (const HVEvent &event : occurrences) {
            items.append(event);
            if (keep)
                events.append(event);
        }
    }
    return items;
}

void EventServiceSource::onEventsAdded(const QList<QOrganizerItemId> &ids)
{
    Q_EMIT itemsAdded(itemsForIds(ids, true));
}

void EventServiceSource::onEventsUpdated(const QList<QOrganizerItemId> &ids)
{
    Q_EMIT itemsChanged(itemsForIds(ids, false));
}

void EventServiceSource::onEventsRemoved(const QList<QOrganizerItemId> &ids)
{
    QList<HVItem> removed;
    for (const QOrganizerItemId &id : ids) {
        // The item is gone and cannot be looked up; its id still names the
        // calendar entry, in the form the added items carry.
        const HVItemId itemId(QString::fromUtf8(id.localId()), ManagerUri);
        int stored = 0;
        for (int i = events.size() - 1; i >= 0; --i) {
            if (events.at(i).id() == itemId) {
                events.removeAt(i);
                ++stored;
            }
        }
        // One removal per row shown: every occurrence of a recurring entry.
        for (int i = 0; i < qMax(stored, 1); ++i) {
            HVItem item(HVItemType::TypeEvent);
            item.setId(itemId);
            removed.append(item);
        }
    }
    Q_EMIT itemsRemoved(removed);
}

void EventServiceSource::onDataChanged()
{
    QTimer::singleShot(1000, this, &EventServiceSource::onDataChangedDeffered);
}

void EventServiceSource::onDataChangedDeffered()
{
    // Nothing was asked for yet: there is nothing to compare.
    if (!rangeFrom.isValid() || !rangeTo.isValid())
        return;
    const QList<HVEvent> old = events;
    getItemListFromBackend(rangeFrom, rangeTo);

    // Occurrences of a recurring entry share its id: each old one is matched
    // with a new one of its own, first those of the same day, then what is
    // left in order, so that an unchanged entry shown on several days is no
    // change and a moved one is one change.
    QHash<HVItemId, QVector<int>> byId;
    for (int i = 0; i < events.size(); ++i)
        byId[events.at(i).id()].append(i);
    QVector<bool> matched(events.size(), false);
    QVector<int> partner(old.size(), -1);
    for (int pass = 0; pass < 2; ++pass) {
        for (int o = 0; o < old.size(); ++o) {
            if (partner.at(o) >= 0)
                continue;
            const QDate day = old.at(o).startDateTime().date();
            const QVector<int> candidates = byId.value(old.at(o).id());
            for (int i : candidates) {
                if (!matched.at(i) && (pass == 1 || events.at(i).startDateTime().date() == day)) {
                    matched[i] = true;
                    partner[o] = i;
                    break;
                }
            }
        }
    }
    QList<HVItem> removed;
    QList<HVItem> changed;
    for (int o = 0; o < old.size(); ++o) {
        if (partner.at(o) < 0)
            removed.append(old.at(o));
        else if (!equal(old.at(o), events.at(partner.at(o))))
            changed.append(events.at(partner.at(o)));
    }
    QList<HVItem> added;
    for (int i = 0; i < events.size(); ++i) {
        if (!matched.at(i))
            added.append(events.at(i));
    }

    if (!removed.isEmpty())
        Q_EMIT itemsRemoved(removed);
    if (!changed.isEmpty())
        Q_EMIT itemsChanged(changed);
    if (!added.isEmpty())
        Q_EMIT itemsAdded(added);
}

} // namespace Halvane
