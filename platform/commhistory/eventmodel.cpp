// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "eventmodel.h"
#include "commhistory_debug.h"

#include "commhistory.h"
#include "database.h"

namespace CommHistory {

EventModel::EventModel(QObject *parent)
    : QAbstractItemModel(parent)
{
    registerTypes();
}

EventModel::~EventModel() = default;

void EventModel::setQueryMode(QueryMode mode)
{
    if (mode != SyncQuery)
        qCDebug(HALVANE_COMMHISTORY, "CommHistory: only synchronous queries are supported; query mode %d queries synchronously", int(mode));
    m_queryMode = mode;
}

Event EventModel::event(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= m_events.size())
        return Event();
    return m_events.at(index.row());
}

QModelIndex EventModel::findEvent(int id) const
{
    for (int row = 0; row < m_events.size(); ++row) {
        if (m_events.at(row).id() == id)
            return createIndex(row, 0);
    }
    return QModelIndex();
}

QModelIndex EventModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= m_events.size() || column != 0)
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex EventModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int EventModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_events.size();
}

int EventModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant EventModel::data(const QModelIndex &index, int role) const
{
    const Event e = event(index);
    if (!e.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return e.freeText();
    case EventRole:
        return QVariant::fromValue(e);
    default:
        return QVariant();
    }
}

Database *EventModel::database()
{
    if (!m_database)
        m_database = std::make_unique<Database>(databasePath());
    return m_database.get();
}

void EventModel::setEvents(const QList<Event> &events)
{
    beginResetModel();
    m_events = events;
    endResetModel();
}

} // namespace CommHistory
