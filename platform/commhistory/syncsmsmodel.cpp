// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "syncsmsmodel.h"

#include <QtCore/QTimeZone>

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
        // The first moment of the same date in the same zone as the filter
        // time: where the clocks skip midnight, 00:00 is no time, and a query
        // from it would have no lower bound.
        const QDate date = m_filter.time.date();
        query.from = m_filter.time.timeSpec() == Qt::TimeZone
            ? date.startOfDay(m_filter.time.timeZone())
            : date.startOfDay(m_filter.time.timeSpec(),
                              m_filter.time.timeSpec() == Qt::OffsetFromUTC ? m_filter.time.offsetFromUtc() : 0);
        // Where midnight comes twice, glibc may give the second.
        const QDateTime hourBefore = query.from.addSecs(-3600);
        if (m_filter.time.timeSpec() == Qt::LocalTime && hourBefore.date() == date)
            query.from = hourBefore;
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
