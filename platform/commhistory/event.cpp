// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "event.h"

#include <QtCore/QDebug>
#include <QtDBus/QDBusArgument>

#include <limits>

namespace CommHistory {

namespace {

constexpr qint64 InvalidTime = std::numeric_limits<qint64>::min();
constexpr char EventSignature[] = "(iiiixxxssi)";

qint64 toWire(const QDateTime &time)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : InvalidTime;
}

QDateTime fromWire(qint64 msecs)
{
    return msecs == InvalidTime ? QDateTime() : QDateTime::fromMSecsSinceEpoch(msecs);
}

Event::EventType typeFromWire(int value)
{
    switch (value) {
    case Event::CallEvent:
    case Event::SMSEvent:
        return static_cast<Event::EventType>(value);
    default:
        return Event::UnknownType;
    }
}

Event::EventDirection directionFromWire(int value)
{
    switch (value) {
    case Event::Inbound:
    case Event::Outbound:
        return static_cast<Event::EventDirection>(value);
    default:
        return Event::UnknownDirection;
    }
}

} // namespace

bool Event::operator==(const Event &other) const
{
    return m_id == other.m_id && m_type == other.m_type && m_direction == other.m_direction
        && m_groupId == other.m_groupId && m_startTime == other.m_startTime
        && m_endTime == other.m_endTime && m_lastModified == other.m_lastModified
        && m_freeText == other.m_freeText && m_remoteUid == other.m_remoteUid
        && m_parentId == other.m_parentId;
}

QDBusArgument &operator<<(QDBusArgument &argument, const Event &event)
{
    argument.beginStructure();
    argument << event.id() << int(event.type()) << int(event.direction()) << event.groupId()
             << toWire(event.startTime()) << toWire(event.endTime()) << toWire(event.lastModified())
             << event.freeText() << event.remoteUid() << event.parentId();
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Event &event)
{
    int id = -1;
    int type = 0;
    int direction = 0;
    int groupId = -1;
    qint64 startTime = InvalidTime;
    qint64 endTime = InvalidTime;
    qint64 lastModified = InvalidTime;
    QString freeText;
    QString remoteUid;
    int parentId = -1;
    event = Event();
    // Any peer on the bus can send anything under our signal names; reading
    // another shape as ours would abort in libdbus. Step over it instead.
    if (argument.currentSignature() != QLatin1String(EventSignature)) {
        qWarning() << "CommHistory: skipping an event of D-Bus type" << argument.currentSignature();
        argument.asVariant();
        return argument;
    }
    argument.beginStructure();
    argument >> id >> type >> direction >> groupId >> startTime >> endTime >> lastModified
             >> freeText >> remoteUid >> parentId;
    argument.endStructure();

    event.setId(id);
    event.setType(typeFromWire(type));
    event.setDirection(directionFromWire(direction));
    event.setGroupId(groupId);
    event.setStartTime(fromWire(startTime));
    event.setEndTime(fromWire(endTime));
    event.setLastModified(fromWire(lastModified));
    event.setFreeText(freeText);
    event.setRemoteUid(remoteUid);
    event.setParentId(parentId);
    return argument;
}

} // namespace CommHistory
