// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "smsservicesource.h"
#include "sms_debug.h"

#include <QtCore/QDebug>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QTimeZone>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusError>

#include "commhistory.h"
#include "groupmodel.h"
#include "hvglobal.h"
#include "hvitemid.h"
#include "hvmessage.h"
#include "smsservice.h"
#include "syncsmsmodel.h"

namespace Halvane {

namespace {

// The history's SMS inbox.
constexpr int InboxFolder = 4098;

// Only received SMS are items of this source, whichever way they arrive.
bool isReceivedSms(const CommHistory::Event &event)
{
    return event.type() == CommHistory::Event::SMSEvent && event.direction() == CommHistory::Event::Inbound;
}

HVItem removalItem(int eventId)
{
    HVMessage message;
    message.setId(HVItemId(QString::number(eventId), QStringLiteral("SMSPlugin")));
    return message;
}

} // namespace

int SmsServiceSource::s_registrations = 0;

SmsServiceSource::SmsServiceSource(SmsService *service)
    : HVServiceSource(service)
    , smsModel(nullptr)
    , groupModel(new CommHistory::GroupModel)
    , service(service)
{
    smsModel = new CommHistory::SyncSMSModel(InboxFolder, QDateTime(), false);
}

SmsServiceSource::~SmsServiceSource()
{
    delete smsModel;
    delete groupModel;
}

bool SmsServiceSource::synchronize()
{
    // The history is always current: there is nothing to fetch.
    Q_EMIT service->actionCompleted(true);
    return true;
}

QList<HVItem> SmsServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    Q_UNUSED(toDateTime)
    QList<HVItem> result;

    // Its first moment: where the clocks skip midnight, 00:00 is no time.
    const auto startOf = [&fromDateTime](const QDate &date) {
        return fromDateTime.timeSpec() == Qt::TimeZone ? date.startOfDay(fromDateTime.timeZone())
            : fromDateTime.timeSpec() == Qt::LocalTime ? dayStart(date)
                                                       : date.startOfDay(fromDateTime.timeSpec(), fromDateTime.offsetFromUtc());
    };
    // The day's last second whole (times are kept to the millisecond), and
    // its last moment: where the clocks go back at midnight, 23:59 comes
    // twice and the second is the day's too.
    const QDateTime cutoff = startOf(fromDateTime.date().addDays(1)).addMSecs(-1);
    qCDebug(HALVANE_SMS) << "data : " << cutoff.toString(Qt::TextDate);

    receiveEvents(result, cutoff);
    m_dayStart = startOf(cutoff.date());
    m_dayEnd = cutoff;

    QDBusConnection::sessionBus().registerObject(QStringLiteral("/SMSManager%0").arg(s_registrations), this,
                                                 QDBusConnection::ExportAdaptors);
    ++s_registrations;

    // Once for the life of the source: every further connection would deliver
    // each change once more.
    if (!m_changeSignalsConnected)
        connectChangeSignals(QDBusConnection::sessionBus());

    return result;
}

bool SmsServiceSource::connectChangeSignals(QDBusConnection bus)
{
    m_changeSignalsConnected = true;
    const QString interface = CommHistory::dbusInterface();
    // With their signatures: a signal of the same name but another shape
    // from any other peer on the bus never reaches the slots.
    const bool connected =
        bus.connect(QString(), QString(), interface, QStringLiteral("eventsAdded"), QStringLiteral("a(iiiixxxssi)"),
                    this, SLOT(eventsAddedSlot(QList<CommHistory::Event>)))
        && bus.connect(QString(), QString(), interface, QStringLiteral("eventsUpdated"),
                       QStringLiteral("a(iiiixxxssi)"), this, SLOT(eventsUpdatedSlot(QList<CommHistory::Event>)))
        && bus.connect(QString(), QString(), interface, QStringLiteral("eventDeleted"), QStringLiteral("i"), this,
                       SLOT(eventDeletedSlot(int)));
    if (!connected)
        qWarning() << "SmsServiceSource: no change signals from the session bus:" << bus.lastError().message();
    return connected;
}

void SmsServiceSource::receiveEvents(QList<HVItem> &items, const QDateTime &time)
{
    qCDebug(HALVANE_SMS) << "receiveEvents";

    groupModel->enableContactChanges(false);
    groupModel->setQueryMode(CommHistory::EventModel::SyncQuery);
    groupModel->getGroups(QString(), QString());

    smsModel->setQueryMode(CommHistory::EventModel::SyncQuery);
    smsModel->setSyncSmsFilter(CommHistory::SyncSMSFilter(InboxFolder, time, false));
    qCDebug(HALVANE_SMS) << "receiveEvents" << "after setSyncSmsFilter";
    smsModel->getEvents();
    qCDebug(HALVANE_SMS) << "receiveEvents" << "after getEvents";

    for (int row = 0; row < smsModel->rowCount(); ++row) {
        const CommHistory::Event event = smsModel->event(smsModel->index(row, 0));
        if (isReceivedSms(event))
            items.append(itemFromEvent(event, event.endTime()));
    }
}

CommHistory::Group SmsServiceSource::findGroup(int groupId)
{
    int newest = -1;
    const auto search = [this, groupId, &newest] {
        for (int row = 0; row < groupModel->rowCount(); ++row) {
            const CommHistory::Group group = groupModel->group(groupModel->index(row, 0));
            if (group.id() == groupId)
                return group;
            newest = qMax(newest, group.id());
        }
        return CommHistory::Group();
    };

    CommHistory::Group group = search();
    if (!group.isValid() && groupId > newest) {
        // Group ids only grow: this conversation began after the last query.
        // Read the groups again rather than give the message no sender.
        groupModel->getGroups(QString(), QString());
        group = search();
    }
    return group;
}

bool SmsServiceSource::isOfRetrievedDay(const CommHistory::Event &event) const
{
    // A history sync of old messages must not join the day's list.
    const QDateTime received = event.endTime();
    return isReceivedSms(event) && received.isValid() && received >= m_dayStart && received <= m_dayEnd;
}

HVItem SmsServiceSource::itemFromEvent(const CommHistory::Event &event, const QDateTime &time)
{
    const CommHistory::Group group = findGroup(event.groupId());
    const QString numbers = group.remoteUids().join(QLatin1Char('|'));

    HVMessage message;
    message.setMessageType(HVMessage::Sms);
    message.setFrom(group.contactName().isEmpty() ? numbers : group.contactName());
    message.setPhoneNumber(numbers);
    message.setReceivedDateTime(time.toTimeSpec(Qt::LocalTime));
    message.setDateTime(message.receivedDateTime());
    message.setSubject(QStringLiteral("SMS"));
    message.setBody(event.freeText());
    message.setId(HVItemId(QString::number(event.id()), QStringLiteral("SMSPlugin")));
    return message;
}

QList<HVItem> SmsServiceSource::refreshGroups(const QList<CommHistory::Event> &arrived)
{
    QHash<int, QString> names;
    for (int row = 0; row < groupModel->rowCount(); ++row) {
        const CommHistory::Group group = groupModel->group(groupModel->index(row, 0));
        names.insert(group.id(), group.contactName());
    }
    groupModel->getGroups(QString(), QString());
    QSet<int> renamed;
    for (int row = 0; row < groupModel->rowCount(); ++row) {
        const CommHistory::Group group = groupModel->group(groupModel->index(row, 0));
        const auto before = names.constFind(group.id());
        if (before != names.constEnd() && *before != group.contactName())
            renamed.insert(group.id());
    }
    QList<HVItem> items;
    if (renamed.isEmpty())
        return items;
    QSet<int> skipped;
    for (const CommHistory::Event &event : arrived)
        skipped.insert(event.id());
    smsModel->getEvents();
    for (int row = 0; row < smsModel->rowCount(); ++row) {
        const CommHistory::Event event = smsModel->event(smsModel->index(row, 0));
        if (renamed.contains(event.groupId()) && !skipped.contains(event.id()) && isOfRetrievedDay(event))
            items.append(itemFromEvent(event, event.endTime()));
    }
    return items;
}

void SmsServiceSource::eventsAddedSlot(const QList<CommHistory::Event> &events)
{
    qCDebug(HALVANE_SMS) << "eventsAddedSlot" << "events : " << events.count();
    const QList<HVItem> renamed = refreshGroups(events);
    QList<HVItem> items;
    for (const CommHistory::Event &event : events) {
        if (isOfRetrievedDay(event))
            items.append(itemFromEvent(event, event.endTime()));
    }
    Q_EMIT itemsAdded(items);
    if (!renamed.isEmpty())
        Q_EMIT itemsChanged(renamed);
}

void SmsServiceSource::eventsUpdatedSlot(const QList<CommHistory::Event> &events)
{
    qCDebug(HALVANE_SMS) << "eventsUpdatedSlot" << "events : " << events.count();
    QList<HVItem> items;
    for (const CommHistory::Event &event : events) {
        if (isOfRetrievedDay(event))
            // Received when it was, not when it was last edited or read.
            items.append(itemFromEvent(event, event.endTime()));
    }
    Q_EMIT itemsChanged(items);
}

void SmsServiceSource::eventDeletedSlot(int eventId)
{
    qCDebug(HALVANE_SMS) << "eventDeletedSlot" << "one event  ";
    // The model holds what the last retrieval found; an event it does not
    // hold still leaves the item models by its id.
    const QModelIndex index = smsModel->findEvent(eventId);
    const CommHistory::Event event = smsModel->event(index);
    const HVItem item = event.isValid() && event.id() == eventId ? itemFromEvent(event, event.endTime())
                                                                 : removalItem(eventId);
    Q_EMIT itemsRemoved(QList<HVItem>{item});
}

} // namespace Halvane
