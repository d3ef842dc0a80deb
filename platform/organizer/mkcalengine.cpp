// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mkcalengine.h"

#include <KCalendarCore/Event>
#include <KCalendarCore/Todo>

#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QUuid>
#include <QtOrganizer/QOrganizerEvent>
#include <QtOrganizer/QOrganizerItemFilter>
#include <QtOrganizer/QOrganizerTodo>

using namespace QtOrganizer;
using namespace KCalendarCore;

const QString MKCalEngine::EngineName = QStringLiteral("mkcal");

namespace {

// Long enough for a writer to finish its commit.
constexpr int RecheckDelay = 300;

// Engines of this process, so that a save through one is seen by all (the
// user interface's manager and the event source's manager are different ones).
QList<QPointer<MKCalEngine>> &engines()
{
    static QList<QPointer<MKCalEngine>> list;
    return list;
}

} // namespace

MKCalEngine::MKCalEngine()
{
    m_calendar = mKCal::ExtendedCalendar::Ptr(new mKCal::ExtendedCalendar(mKCal::ExtendedCalendar::systemZone()));
    m_storage = mKCal::ExtendedStorage::defaultStorage(m_calendar, false);
    m_storage->open();
    engines().append(this);

    // Every commit of any process writes the journal file; the directory
    // tells when the files appear, go or are replaced. Only then is the
    // database asked whether it changed: nothing wakes while nothing changes.
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &MKCalEngine::checkForChanges);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &MKCalEngine::checkForChanges);
    m_recheck.setSingleShot(true);
    m_recheck.setInterval(RecheckDelay);
    connect(&m_recheck, &QTimer::timeout, this, [this] {
        if (m_storage->modifiedElsewhere())
            Q_EMIT dataChanged();
    });
    watchFiles();
}

MKCalEngine::~MKCalEngine()
{
    engines().removeAll(this);
    engines().removeAll(nullptr);
    m_calendar->close();
    m_storage->close();
}

QString MKCalEngine::managerName() const
{
    return EngineName;
}

void MKCalEngine::watchFiles()
{
    const QString db = m_storage->databaseName();
    QStringList paths{QFileInfo(db).absolutePath(), db, db + QLatin1String("-wal")};
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString &path : qAsConst(paths)) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            m_watcher.addPath(path);
    }
}

void MKCalEngine::checkForChanges()
{
    watchFiles();
    if (m_storage->modifiedElsewhere())
        Q_EMIT dataChanged();
    // A commit's last write to the journal may come before readers can see
    // the commit (its index is updated through shared memory, which no file
    // event tells): without this a change could wait for the next one.
    m_recheck.start();
}

QOrganizerItemId MKCalEngine::idForUid(const QString &uid) const
{
    return QOrganizerItemId(managerUri(), uid.toUtf8());
}

QString MKCalEngine::uidForId(const QOrganizerItemId &id)
{
    return QString::fromUtf8(id.localId());
}

Incidence::Ptr MKCalEngine::lookUp(const QString &uid)
{
    if (uid.isEmpty())
        return Incidence::Ptr();
    m_storage->loadIncidence(uid);
    return m_calendar->incidence(uid);
}

QOrganizerItem MKCalEngine::toItem(const Incidence::Ptr &incidence) const
{
    QOrganizerItem item;
    if (incidence->type() == Incidence::TypeEvent) {
        const Event::Ptr event = incidence.staticCast<Event>();
        QOrganizerEvent organizerEvent;
        organizerEvent.setStartDateTime(event->dtStart());
        organizerEvent.setEndDateTime(event->dtEnd());
        organizerEvent.setAllDay(event->allDay());
        organizerEvent.setLocation(event->location());
        item = organizerEvent;
    } else if (incidence->type() == Incidence::TypeTodo) {
        const Todo::Ptr todo = incidence.staticCast<Todo>();
        QOrganizerTodo organizerTodo;
        organizerTodo.setStartDateTime(todo->dtStart());
        if (todo->hasDueDate())
            organizerTodo.setDueDateTime(todo->dtDue(true));
        item = organizerTodo;
    } else {
        return item;
    }
    item.setId(idForUid(incidence->uid()));
    item.setGuid(incidence->uid());
    item.setDisplayLabel(incidence->summary());
    item.setDescription(incidence->description());
    return item;
}

QList<QOrganizerItem> MKCalEngine::items(const QList<QOrganizerItemId> &itemIds, const QOrganizerItemFetchHint &,
                                         QMap<int, QOrganizerManager::Error> *errorMap, QOrganizerManager::Error *error)
{
    *error = QOrganizerManager::NoError;
    QList<QOrganizerItem> result;
    for (int i = 0; i < itemIds.size(); ++i) {
        const Incidence::Ptr incidence = lookUp(uidForId(itemIds.at(i)));
        if (incidence) {
            result.append(toItem(incidence));
        } else {
            result.append(QOrganizerItem());
            if (errorMap)
                errorMap->insert(i, QOrganizerManager::DoesNotExistError);
            *error = QOrganizerManager::DoesNotExistError;
        }
    }
    return result;
}

QList<QOrganizerItem> MKCalEngine::items(const QOrganizerItemFilter &filter, const QDateTime &startDateTime,
                                         const QDateTime &endDateTime, int maxCount,
                                         const QList<QOrganizerItemSortOrder> &sortOrders,
                                         const QOrganizerItemFetchHint &, QOrganizerManager::Error *error)
{
    *error = QOrganizerManager::NoError;
    bool ok;
    if (startDateTime.isValid() && endDateTime.isValid())
        ok = m_storage->load(startDateTime.date(), endDateTime.addMSecs(-1).date()) && m_storage->loadRecurringIncidences();
    else
        ok = m_storage->loadAll();
    if (!ok) {
        *error = QOrganizerManager::UnspecifiedError;
        return {};
    }
    QList<QOrganizerItem> result;
    const Incidence::List incidences = Calendar::mergeIncidenceList(m_calendar->rawEvents(), m_calendar->rawTodos(), {});
    for (const Incidence::Ptr &incidence : incidences) {
        if (incidence->hasRecurrenceId())
            continue;
        const QOrganizerItem item = toItem(incidence);
        if (testFilter(filter, item))
            addSorted(&result, item, sortOrders);
    }
    if (maxCount >= 0 && result.size() > maxCount)
        result = result.mid(0, maxCount);
    return result;
}

QList<QOrganizerItemId> MKCalEngine::itemIds(const QOrganizerItemFilter &filter, const QDateTime &startDateTime,
                                             const QDateTime &endDateTime,
                                             const QList<QOrganizerItemSortOrder> &sortOrders,
                                             QOrganizerManager::Error *error)
{
    QList<QOrganizerItemId> ids;
    const auto found = items(filter, startDateTime, endDateTime, -1, sortOrders, QOrganizerItemFetchHint(), error);
    for (const QOrganizerItem &item : found)
        ids.append(item.id());
    return ids;
}

bool MKCalEngine::saveItems(QList<QOrganizerItem> *items, const QList<QOrganizerItemDetail::DetailType> &,
                            QMap<int, QOrganizerManager::Error> *errorMap, QOrganizerManager::Error *error)
{
    *error = QOrganizerManager::NoError;
    QList<QOrganizerItemId> added;
    QList<QOrganizerItemId> changed;
    for (int i = 0; i < items->size(); ++i) {
        QOrganizerItem &item = (*items)[i];
        const bool isEvent = item.type() == QOrganizerItemType::TypeEvent;
        if (!isEvent && item.type() != QOrganizerItemType::TypeTodo) {
            errorMap->insert(i, QOrganizerManager::InvalidItemTypeError);
            *error = QOrganizerManager::InvalidItemTypeError;
            continue;
        }
        QString uid = item.id().isNull() ? item.guid() : uidForId(item.id());
        Incidence::Ptr incidence = lookUp(uid);
        const bool existed = bool(incidence);
        if (existed && (incidence->type() == Incidence::TypeEvent) != isEvent) {
            errorMap->insert(i, QOrganizerManager::InvalidItemTypeError);
            *error = QOrganizerManager::InvalidItemTypeError;
            continue;
        }
        if (!existed) {
            if (uid.isEmpty())
                uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
            incidence = isEvent ? Incidence::Ptr(new Event) : Incidence::Ptr(new Todo);
            incidence->setUid(uid);
        }
        incidence->startUpdates();
        incidence->setSummary(item.displayLabel());
        incidence->setDescription(item.description());
        if (isEvent) {
            const QOrganizerEvent event(item);
            const Event::Ptr target = incidence.staticCast<Event>();
            target->setDtStart(event.startDateTime());
            target->setDtEnd(event.endDateTime());
            target->setAllDay(event.isAllDay());
            target->setLocation(event.location());
        } else {
            const QOrganizerTodo todo(item);
            const Todo::Ptr target = incidence.staticCast<Todo>();
            target->setDtStart(todo.startDateTime());
            target->setDtDue(todo.dueDateTime(), true);
        }
        incidence->endUpdates();
        if (!existed)
            m_calendar->addIncidence(incidence);
        item.setId(idForUid(uid));
        item.setGuid(uid);
        (existed ? changed : added).append(item.id());
    }
    if (!m_storage->save()) {
        *error = QOrganizerManager::UnspecifiedError;
        return false;
    }
    broadcast(added, changed, {});
    return *error == QOrganizerManager::NoError;
}

bool MKCalEngine::removeItems(const QList<QOrganizerItemId> &itemIds, QMap<int, QOrganizerManager::Error> *errorMap,
                              QOrganizerManager::Error *error)
{
    *error = QOrganizerManager::NoError;
    QList<QOrganizerItemId> removed;
    for (int i = 0; i < itemIds.size(); ++i) {
        const Incidence::Ptr incidence = lookUp(uidForId(itemIds.at(i)));
        if (!incidence) {
            errorMap->insert(i, QOrganizerManager::DoesNotExistError);
            *error = QOrganizerManager::DoesNotExistError;
            continue;
        }
        // Moved or changed occurrences go with their series.
        m_calendar->deleteIncidenceInstances(incidence);
        m_calendar->deleteIncidence(incidence);
        removed.append(itemIds.at(i));
    }
    if (!m_storage->save()) {
        *error = QOrganizerManager::UnspecifiedError;
        return false;
    }
    broadcast({}, {}, removed);
    return *error == QOrganizerManager::NoError;
}

void MKCalEngine::broadcast(const QList<QOrganizerItemId> &added, const QList<QOrganizerItemId> &changed,
                            const QList<QOrganizerItemId> &removed)
{
    const QString database = m_storage->databaseName();
    const auto all = engines();
    for (const QPointer<MKCalEngine> &engine : all) {
        if (!engine || engine->m_storage->databaseName() != database)
            continue;
        if (!added.isEmpty())
            Q_EMIT engine->itemsAdded(added);
        if (!changed.isEmpty())
            Q_EMIT engine->itemsChanged(changed, {});
        if (!removed.isEmpty())
            Q_EMIT engine->itemsRemoved(removed);
    }
}

QList<QOrganizerItemType::ItemType> MKCalEngine::supportedItemTypes() const
{
    return {QOrganizerItemType::TypeEvent, QOrganizerItemType::TypeTodo};
}
