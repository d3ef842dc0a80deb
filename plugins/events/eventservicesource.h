// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef EVENTSERVICESOURCE_H
#define EVENTSERVICESOURCE_H

#include <QtCore/QScopedPointer>
#include <QtCore/QSet>
#include <QtCore/QSharedPointer>
#include <QtOrganizer/QOrganizerItemId>

#include <KCalendarCore/Incidence>

#include "extendedcalendar.h"
#include "extendedstorage.h"
#include "eventitemcache.h"
#include "hvevent.h"
#include "hvservicesource.h"

namespace QtOrganizer {
class QOrganizerManager;
}

namespace Halvane {

class EventService;

// Events and to-dos of the device calendar, recurring ones once per day they
// occur on. Changes come from the "mkcal" organizer engine: added, changed and
// removed items by id, and other processes' changes as a re-read of the range
// one second later, reported as its difference. Only occurrences that meet
// the range last asked for become items, whichever way they come.
class EventServiceSource : public HVServiceSource
{
    Q_OBJECT

public:
    explicit EventServiceSource(EventService *service);
    ~EventServiceSource() override;

    QList<HVItem> getItemListFromBackend(const QDateTime &fromDateTime, const QDateTime &toDateTime);
    HVEvent extractEventFromIncidence(QSharedPointer<KCalendarCore::Incidence> incidence, const QDateTime &occurrence);
    bool equal(const HVEvent &a, const HVEvent &b) const;

public Q_SLOTS:
    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override;
    bool synchronize() override;

    void onEventsUpdated(const QList<QtOrganizer::QOrganizerItemId> &ids);
    void onEventsAdded(const QList<QtOrganizer::QOrganizerItemId> &ids);
    void onEventsRemoved(const QList<QtOrganizer::QOrganizerItemId> &ids);
    void onDataChanged();
    void onDataChangedDeffered();

private:
    QList<HVEvent> occurrencesInRange(const KCalendarCore::Incidence::Ptr &incidence);
    QList<HVEvent> occurrencesRunningInto(const KCalendarCore::Incidence::Ptr &incidence, const EventItemCache::Rule &rule,
                                          const QDateTime &from, const QDateTime &to, const QSet<qint64> &replaced);
    QList<HVItem> itemsForIds(const QList<QtOrganizer::QOrganizerItemId> &ids, bool keep);

    EventService *service;
    QtOrganizer::QOrganizerManager *organizerManager;
    QSharedPointer<mKCal::ExtendedCalendar> calendar;
    QSharedPointer<mKCal::ExtendedStorage> storage;
    QDateTime rangeFrom;
    QDateTime rangeTo;
    QList<HVEvent> events;
    QScopedPointer<EventItemCache> itemCache;
};

} // namespace Halvane

#endif // EVENTSERVICESOURCE_H
