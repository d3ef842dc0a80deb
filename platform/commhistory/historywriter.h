// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_HISTORYWRITER_H
#define COMMHISTORY_HISTORYWRITER_H

#include <QtCore/QList>
#include <QtCore/QString>

#include "commhistory.h"
#include "commhistory_export.h"
#include "database.h"
#include "event.h"
#include "group.h"

namespace CommHistory {

/*!
 * Changes the history. Each change is one transaction; once it has committed,
 * the writer tells everyone on the session bus with "eventsAdded",
 * "eventsUpdated" or "eventDeleted" on the interface "com.corvant.commhistory".
 * Without a session bus the change is still stored, with a warning.
 */
class COMMHISTORY_EXPORT HistoryWriter
{
public:
    explicit HistoryWriter(const QString &path = databasePath());

    bool isOpen() const { return m_database.isOpen(); }
    QString errorString() const { return m_database.errorString(); }
    Database &database() { return m_database; }

    // The conversation with that remote party, made when there is none yet.
    // A contactName names it; an empty one (not a null one) says it has no
    // name any more (its card was removed). An invalid group on failure.
    Group ensureGroup(const QString &remoteUid, const QString &contactName = QString());

    // Stores new events and fills in their ids; a missing last-modified time
    // becomes now.
    bool addEvents(QList<Event> &events);
    // Stores changed events, their last-modified time set to now. Fails, and
    // changes nothing, when one of them is not in the history.
    bool modifyEvents(QList<Event> &events);
    bool deleteEvent(int id);

private:
    void send(const QString &signal, const QVariant &argument);

    Database m_database;
};

} // namespace CommHistory

#endif // COMMHISTORY_HISTORYWRITER_H
