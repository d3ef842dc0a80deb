// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "groupmodel.h"
#include "commhistory_debug.h"

#include "commhistory.h"
#include "database.h"

namespace CommHistory {

GroupModel::GroupModel(QObject *parent)
    : QAbstractItemModel(parent)
{
    registerTypes();
}

GroupModel::~GroupModel() = default;

void GroupModel::enableContactChanges(bool enabled)
{
    m_contactChanges = enabled;
}

void GroupModel::setQueryMode(EventModel::QueryMode mode)
{
    if (mode != EventModel::SyncQuery)
        qCDebug(HALVANE_COMMHISTORY, "CommHistory: only synchronous queries are supported; query mode %d queries synchronously", int(mode));
    m_queryMode = mode;
}

bool GroupModel::getGroups(const QString &localUid, const QString &remoteUid)
{
    Q_UNUSED(localUid)
    if (!m_database)
        m_database = std::make_unique<Database>(databasePath());

    beginResetModel();
    m_groups = m_database->isOpen() ? m_database->groups(remoteUid) : QList<Group>();
    endResetModel();
    return m_database->isOpen();
}

Group GroupModel::group(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this || index.row() >= m_groups.size())
        return Group();
    return m_groups.at(index.row());
}

QModelIndex GroupModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= m_groups.size() || column != 0)
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex GroupModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

int GroupModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_groups.size();
}

int GroupModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant GroupModel::data(const QModelIndex &index, int role) const
{
    const Group g = group(index);
    if (!g.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return g.contactName().isEmpty() ? g.remoteUids().join(QLatin1Char('|')) : g.contactName();
    case GroupRole:
        return QVariant::fromValue(g);
    default:
        return QVariant();
    }
}

} // namespace CommHistory
