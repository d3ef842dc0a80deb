// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "syncsmsmodel.h"

#include "database.h"

namespace CommHistory {

SyncSMSFilter::SyncSMSFilter(int parentId, const QDateTime &time, bool lastModified)
    : parentId(parentId)
    , time(time)
    , lastModified(lastModified)
{
}

SyncSMSModel::SyncSMSModel(int parentId, const QDateTime &time, bool lastModified, QObject *parent)
    : EventModel(parent)
    , m_filter(parentId, time, lastModified)
{
}

SyncSMSModel::~SyncSMSModel() = default;

void SyncSMSModel::setSyncSmsFilter(const SyncSMSFilter &filter)
{
    m_filter = filter;
}

bool SyncSMSModel::getEvents()
{
    Database::EventQuery query;
    query.type = Event::SMSEvent;
    query.parentId = m_filter.parentId;
    query.byLastModified = m_filter.lastModified;
    if (m_filter.time.isValid()) {
        // Midnight of the same date in the same zone as the filter time.
        QDateTime dayStart = m_filter.time;
        dayStart.setTime(QTime(0, 0));
        query.from = dayStart;
        query.to = m_filter.time;
    }

    Database *db = database();
    if (!db->isOpen()) {
        setEvents(QList<Event>());
        return false;
    }
    setEvents(db->events(query));
    return true;
}

} // namespace CommHistory
