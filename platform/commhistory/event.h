// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_EVENT_H
#define COMMHISTORY_EVENT_H

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QString>

#include "commhistory_export.h"

class QDBusArgument;

namespace CommHistory {

/*!
 * One entry of the communication history. A value type; an event that was
 * never stored has the id -1.
 */
class COMMHISTORY_EXPORT Event
{
public:
    enum EventType {
        UnknownType = 0,
        CallEvent = 1,
        SMSEvent = 2
    };

    enum EventDirection {
        UnknownDirection = 0,
        Inbound = 1,
        Outbound = 2
    };

    Event() = default;

    bool isValid() const { return m_id >= 0; }

    int id() const { return m_id; }
    void setId(int id) { m_id = id; }
    EventType type() const { return m_type; }
    void setType(EventType type) { m_type = type; }
    EventDirection direction() const { return m_direction; }
    void setDirection(EventDirection direction) { m_direction = direction; }
    int groupId() const { return m_groupId; }
    void setGroupId(int groupId) { m_groupId = groupId; }
    QDateTime startTime() const { return m_startTime; }
    void setStartTime(const QDateTime &startTime) { m_startTime = startTime; }
    // For a received message: when it arrived.
    QDateTime endTime() const { return m_endTime; }
    void setEndTime(const QDateTime &endTime) { m_endTime = endTime; }
    QDateTime lastModified() const { return m_lastModified; }
    void setLastModified(const QDateTime &lastModified) { m_lastModified = lastModified; }
    QString freeText() const { return m_freeText; }
    void setFreeText(const QString &freeText) { m_freeText = freeText; }
    QString remoteUid() const { return m_remoteUid; }
    void setRemoteUid(const QString &remoteUid) { m_remoteUid = remoteUid; }
    // The folder the message is filed in, e.g. 4098 for the SMS inbox.
    int parentId() const { return m_parentId; }
    void setParentId(int parentId) { m_parentId = parentId; }

    bool operator==(const Event &other) const;
    bool operator!=(const Event &other) const { return !operator==(other); }

private:
    int m_id = -1;
    EventType m_type = UnknownType;
    EventDirection m_direction = UnknownDirection;
    int m_groupId = -1;
    QDateTime m_startTime;
    QDateTime m_endTime;
    QDateTime m_lastModified;
    QString m_freeText;
    QString m_remoteUid;
    int m_parentId = -1;
};

// D-Bus signature "(iiiixxxssi)": times travel as milliseconds since the
// epoch, an invalid time as the smallest 64-bit value.
COMMHISTORY_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const Event &event);
COMMHISTORY_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, Event &event);

} // namespace CommHistory

Q_DECLARE_METATYPE(CommHistory::Event)
Q_DECLARE_METATYPE(QList<CommHistory::Event>)

#endif // COMMHISTORY_EVENT_H
