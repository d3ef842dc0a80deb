// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MKCALENGINE_H
#define MKCALENGINE_H

#include <QtCore/QFileSystemWatcher>
#include <QtCore/QTimer>
#include <QtOrganizer/QOrganizerManagerEngine>

#include <KCalendarCore/Incidence>

#include "extendedcalendar.h"
#include "extendedstorage.h"

// The organizer engine "mkcal" over the device calendar database. Item ids
// carry the incidence uid as their local id, so even the id of a removed item
// names its calendar entry. Saves and removals through any engine of the
// process are signalled by every engine on the same database; changes by
// other processes are signalled as dataChanged().
class MKCalEngine : public QtOrganizer::QOrganizerManagerEngine
{
    Q_OBJECT

public:
    static const QString EngineName;

    MKCalEngine();
    ~MKCalEngine() override;

    QString managerName() const override;

    QList<QtOrganizer::QOrganizerItem> items(const QList<QtOrganizer::QOrganizerItemId> &itemIds,
                                             const QtOrganizer::QOrganizerItemFetchHint &fetchHint,
                                             QMap<int, QtOrganizer::QOrganizerManager::Error> *errorMap,
                                             QtOrganizer::QOrganizerManager::Error *error) override;
    QList<QtOrganizer::QOrganizerItem> items(const QtOrganizer::QOrganizerItemFilter &filter,
                                             const QDateTime &startDateTime, const QDateTime &endDateTime,
                                             int maxCount,
                                             const QList<QtOrganizer::QOrganizerItemSortOrder> &sortOrders,
                                             const QtOrganizer::QOrganizerItemFetchHint &fetchHint,
                                             QtOrganizer::QOrganizerManager::Error *error) override;
    QList<QtOrganizer::QOrganizerItemId> itemIds(const QtOrganizer::QOrganizerItemFilter &filter,
                                                 const QDateTime &startDateTime, const QDateTime &endDateTime,
                                                 const QList<QtOrganizer::QOrganizerItemSortOrder> &sortOrders,
                                                 QtOrganizer::QOrganizerManager::Error *error) override;
    bool saveItems(QList<QtOrganizer::QOrganizerItem> *items,
                   const QList<QtOrganizer::QOrganizerItemDetail::DetailType> &detailMask,
                   QMap<int, QtOrganizer::QOrganizerManager::Error> *errorMap,
                   QtOrganizer::QOrganizerManager::Error *error) override;
    bool removeItems(const QList<QtOrganizer::QOrganizerItemId> &itemIds,
                     QMap<int, QtOrganizer::QOrganizerManager::Error> *errorMap,
                     QtOrganizer::QOrganizerManager::Error *error) override;
    QList<QtOrganizer::QOrganizerItemType::ItemType> supportedItemTypes() const override;

    // The id of the item for a calendar uid, and back.
    QtOrganizer::QOrganizerItemId idForUid(const QString &uid) const;
    static QString uidForId(const QtOrganizer::QOrganizerItemId &id);

private:
    void checkForChanges();
    void watchFiles();
    QtOrganizer::QOrganizerItem toItem(const KCalendarCore::Incidence::Ptr &incidence) const;
    KCalendarCore::Incidence::Ptr lookUp(const QString &uid);
    void broadcast(const QList<QtOrganizer::QOrganizerItemId> &added,
                   const QList<QtOrganizer::QOrganizerItemId> &changed,
                   const QList<QtOrganizer::QOrganizerItemId> &removed);

    mKCal::ExtendedCalendar::Ptr m_calendar;
    mKCal::ExtendedStorage::Ptr m_storage;
    QFileSystemWatcher m_watcher;
    // Once more a moment after the files last changed: see checkForChanges().
    QTimer m_recheck;
};

#endif // MKCALENGINE_H
