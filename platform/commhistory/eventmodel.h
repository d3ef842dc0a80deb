// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_EVENTMODEL_H
#define COMMHISTORY_EVENTMODEL_H

#include <QtCore/QAbstractItemModel>
#include <QtCore/QList>

#include <memory>

#include "commhistory_export.h"
#include "event.h"

namespace CommHistory {

class Database;

/*!
 * A list of history events, one per row, in one column. Subclasses decide
 * which events it holds. The rows are what the last query found: the model
 * does not follow later changes of the history.
 */
class COMMHISTORY_EXPORT EventModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum QueryMode {
        AsyncQuery = 0,
        StreamedAsyncQuery = 1,
        SyncQuery = 2
    };
    Q_ENUM(QueryMode)

    enum Roles {
        EventRole = Qt::UserRole + 1
    };

    explicit EventModel(QObject *parent = nullptr);
    ~EventModel() override;

    // Only synchronous queries are supported: every mode queries synchronously.
    void setQueryMode(QueryMode mode);
    QueryMode queryMode() const { return m_queryMode; }

    // The event of a row; an invalid event (id -1) for an invalid index.
    Event event(const QModelIndex &index) const;
    // The row of the event with that id; an invalid index when the model does not hold it.
    QModelIndex findEvent(int id) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    // The history, opened at first use.
    Database *database();
    void setEvents(const QList<Event> &events);

private:
    QueryMode m_queryMode = AsyncQuery;
    QList<Event> m_events;
    std::unique_ptr<Database> m_database;
};

} // namespace CommHistory

#endif // COMMHISTORY_EVENTMODEL_H
