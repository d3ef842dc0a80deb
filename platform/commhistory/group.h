// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_GROUP_H
#define COMMHISTORY_GROUP_H

#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include "commhistory_export.h"

class QDBusArgument;

namespace CommHistory {

/*!
 * A conversation: the remote parties' ids (phone numbers) and, when known,
 * the contact's name. A value type; a group that was never stored has the id -1.
 */
class COMMHISTORY_EXPORT Group
{
public:
    Group() = default;

    bool isValid() const { return m_id >= 0; }

    int id() const { return m_id; }
    void setId(int id) { m_id = id; }
    QString contactName() const { return m_contactName; }
    void setContactName(const QString &contactName) { m_contactName = contactName; }
    QStringList remoteUids() const { return m_remoteUids; }
    void setRemoteUids(const QStringList &remoteUids) { m_remoteUids = remoteUids; }

    bool operator==(const Group &other) const;
    bool operator!=(const Group &other) const { return !operator==(other); }

private:
    int m_id = -1;
    QString m_contactName;
    QStringList m_remoteUids;
};

// D-Bus signature "(isas)".
COMMHISTORY_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const Group &group);
COMMHISTORY_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, Group &group);

} // namespace CommHistory

Q_DECLARE_METATYPE(CommHistory::Group)
Q_DECLARE_METATYPE(QList<CommHistory::Group>)

#endif // COMMHISTORY_GROUP_H
