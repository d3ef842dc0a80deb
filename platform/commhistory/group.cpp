// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "group.h"

#include <QtCore/QDebug>
#include <QtDBus/QDBusArgument>

namespace CommHistory {

bool Group::operator==(const Group &other) const
{
    return m_id == other.m_id && m_contactName == other.m_contactName && m_remoteUids == other.m_remoteUids;
}

QDBusArgument &operator<<(QDBusArgument &argument, const Group &group)
{
    argument.beginStructure();
    argument << group.id() << group.contactName() << group.remoteUids();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Group &group)
{
    int id = -1;
    QString contactName;
    QStringList remoteUids;
    group = Group();
    // As for events: another shape is stepped over, never read as ours.
    if (argument.currentSignature() != QLatin1String("(isas)")) {
        qWarning() << "CommHistory: skipping a group of D-Bus type" << argument.currentSignature();
        argument.asVariant();
        return argument;
    }
    argument.beginStructure();
    argument >> id >> contactName >> remoteUids;
    argument.endStructure();

    group.setId(id);
    group.setContactName(contactName);
    group.setRemoteUids(remoteUids);
    return argument;
}

} // namespace CommHistory
