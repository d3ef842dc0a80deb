// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_COMMHISTORY_H
#define COMMHISTORY_COMMHISTORY_H

#include <QtCore/QString>

#include "commhistory_export.h"

namespace CommHistory {

// The session-bus interface of the history's change signals "eventsAdded"
// (a list of events), "eventsUpdated" (a list of events) and "eventDeleted"
// (an event id), sent by every writer after its transaction has committed.
COMMHISTORY_EXPORT QString dbusInterface();
// The object path the writers send their signals from.
COMMHISTORY_EXPORT QString dbusObjectPath();

// The history database: $HALVANE_COMMHISTORY_DB when set, otherwise
// $XDG_DATA_HOME/halvane/commhistory.db.
COMMHISTORY_EXPORT QString databasePath();

// Registers Event, Group and their lists with Qt's meta-type system and with
// QtDBus. Idempotent; the models and the writer call it themselves.
COMMHISTORY_EXPORT void registerTypes();

// Whether two phone numbers are one: as written, or one in its national form
// and the other with the home country's code (as groups are matched).
COMMHISTORY_EXPORT bool sameNumber(const QString &a, const QString &b);

} // namespace CommHistory

#endif // COMMHISTORY_COMMHISTORY_H
