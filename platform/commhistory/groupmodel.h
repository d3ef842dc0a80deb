// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_GROUPMODEL_H
#define COMMHISTORY_GROUPMODEL_H

#include <QtCore/QAbstractItemModel>
#include <QtCore/QList>

#include <memory>

#include "commhistory_export.h"
#include "eventmodel.h"
#include "group.h"

namespace CommHistory {

class Database;

/*!
 * The conversation groups, one per row, in the order they were made. The
 * rows are what the last getGroups() found.
 */
class COMMHISTORY_EXPORT GroupModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Roles {
        GroupRole = Qt::UserRole + 1
    };

    explicit GroupModel(QObject *parent = nullptr);
    ~GroupModel() override;

    // There is no contact store to follow; the setting is only kept.
    void enableContactChanges(bool enabled);
    bool contactChangesEnabled() const { return m_contactChanges; }
    // Only synchronous queries are supported: every mode queries synchronously.
    void setQueryMode(EventModel::QueryMode mode);

    // The groups of one remote party, or all of them when remoteUid is empty.
    // There is a single local account: localUid is not looked at. False, with
    // no rows, when the history cannot be read.
    bool getGroups(const QString &localUid = QString(), const QString &remoteUid = QString());

    // The group of a row; an invalid group (id -1) for an invalid index.
    Group group(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    bool m_contactChanges = true;
    EventModel::QueryMode m_queryMode = EventModel::AsyncQuery;
    QList<Group> m_groups;
    std::unique_ptr<Database> m_database;
};

} // namespace CommHistory

#endif // COMMHISTORY_GROUPMODEL_H
