// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_DATABASE_H
#define COMMHISTORY_DATABASE_H

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QString>

#include "commhistory_export.h"
#include "event.h"
#include "group.h"
#include "sqlitefile.h"

namespace CommHistory {

/*!
 * One connection to the history database. Several processes use the file at
 * once: it runs in WAL mode, waits for a busy writer rather than failing, and
 * every change runs in an immediate transaction. A missing database is
 * created; one that cannot be used gives a warning, and reads then answer
 * nothing and writes fail, so that a damaged file is never overwritten.
 */
class COMMHISTORY_EXPORT Database
{
public:
    // Which events events() answers. Times are inclusive; an invalid time sets no bound.
    struct EventQuery
    {
        int type = -1;      // Event::EventType, or any
        int direction = -1; // Event::EventDirection, or any
        int parentId = -1;  // a folder, or any
        QDateTime from;
        QDateTime to;
        bool byLastModified = false; // bound lastModified instead of endTime
    };

    explicit Database(const QString &path);
    ~Database();

    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }
    QString errorString() const { return m_file.errorString(); }

    // Ordered by the bounded time, then by id.
    QList<Event> events(const EventQuery &query);
    // An invalid event when the history does not hold it.
    Event event(int id);
    QList<Group> groups(const QString &remoteUid = QString());
    Group group(int id);

    // Changes; call them between begin() and commit().
    bool begin();
    bool commit();
    void rollback();
    bool insertEvent(Event &event);
    bool updateEvent(const Event &event);
    // False also when there was no such event.
    bool removeEvent(int id);
    bool insertGroup(Group &group);
    bool updateGroup(const Group &group);

private:
    bool open();

    QString m_path;
    SqliteFile m_file;
};

} // namespace CommHistory

#endif // COMMHISTORY_DATABASE_H
