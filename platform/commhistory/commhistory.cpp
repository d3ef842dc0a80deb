// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "commhistory.h"

#include <QtCore/QStandardPaths>
#include <QtDBus/QDBusMetaType>

#include <mutex>

#include "event.h"
#include "group.h"

namespace CommHistory {

QString dbusInterface()
{
    return QStringLiteral("com.corvant.commhistory");
}

QString dbusObjectPath()
{
    return QStringLiteral("/CommHistoryModel");
}

QString databasePath()
{
    const QString overridden = qEnvironmentVariable("HALVANE_COMMHISTORY_DB");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QLatin1String("/halvane/commhistory.db");
}

void registerTypes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qRegisterMetaType<Event>("CommHistory::Event");
        qRegisterMetaType<QList<Event>>("QList<CommHistory::Event>");
        qRegisterMetaType<Group>("CommHistory::Group");
        qRegisterMetaType<QList<Group>>("QList<CommHistory::Group>");
        qDBusRegisterMetaType<Event>();
        qDBusRegisterMetaType<QList<Event>>();
        qDBusRegisterMetaType<Group>();
        qDBusRegisterMetaType<QList<Group>>();
    });
}

} // namespace CommHistory
