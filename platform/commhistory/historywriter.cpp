// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "historywriter.h"

#include <QtCore/QDateTime>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusMessage>

namespace CommHistory {

HistoryWriter::HistoryWriter(const QString &path)
    : m_database(path)
{
    registerTypes();
}

Group HistoryWriter::ensureGroup(const QString &remoteUid, const QString &contactName)
{
    if (!m_database.begin())
        return Group();
    const QList<Group> existing = m_database.groups(remoteUid);
    Group group;
    bool ok = true;
    if (!existing.isEmpty()) {
        group = existing.first();
        if (!contactName.isNull() && group.contactName() != contactName) {
            group.setContactName(contactName);
            ok = m_database.updateGroup(group);
        }
    } else {
        group.setContactName(contactName);
        group.setRemoteUids(QStringList{remoteUid});
        ok = m_database.insertGroup(group);
    }
    if (!ok) {
        m_database.rollback();
        return Group();
    }
    return m_database.commit() ? group : Group();
}

bool HistoryWriter::addEvents(QList<Event> &events)
{
    if (!m_database.begin())
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    QList<Event> stored = events;
    for (Event &event : stored) {
        if (!event.lastModified().isValid())
            event.setLastModified(now);
        if (!m_database.insertEvent(event)) {
            m_database.rollback();
            return false;
        }
    }
    if (!m_database.commit())
        return false;
    events = stored;
    send(QStringLiteral("eventsAdded"), QVariant::fromValue(events));
    return true;
}

bool HistoryWriter::modifyEvents(QList<Event> &events)
{
    if (!m_database.begin())
        return false;
    const QDateTime now = QDateTime::currentDateTime();
    QList<Event> stored = events;
    for (Event &event : stored) {
        event.setLastModified(now);
        if (!m_database.updateEvent(event)) {
            m_database.rollback();
            return false;
        }
    }
    if (!m_database.commit())
        return false;
    events = stored;
    send(QStringLiteral("eventsUpdated"), QVariant::fromValue(events));
    return true;
}

bool HistoryWriter::deleteEvent(int id)
{
    if (!m_database.begin())
        return false;
    if (!m_database.removeEvent(id)) {
        m_database.rollback();
        return false;
    }
    if (!m_database.commit())
        return false;
    send(QStringLiteral("eventDeleted"), QVariant(id));
    return true;
}

void HistoryWriter::send(const QString &signal, const QVariant &argument)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qWarning("CommHistory: no session bus, \"%s\" not sent: %s", qPrintable(signal),
                 qPrintable(bus.lastError().message()));
        return;
    }
    QDBusMessage message = QDBusMessage::createSignal(dbusObjectPath(), dbusInterface(), signal);
    message << argument;
    if (!bus.send(message)) {
        qWarning("CommHistory: \"%s\" not sent: %s", qPrintable(signal), qPrintable(bus.lastError().message()));
        return;
    }
    // A round trip to the bus: messages leave in order, so the signal is out
    // once the answer is in, even when the writing process ends right after.
    bus.interface()->serviceOwner(QStringLiteral("org.freedesktop.DBus"));
}

} // namespace CommHistory
