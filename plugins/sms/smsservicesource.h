// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef SMSSERVICESOURCE_H
#define SMSSERVICESOURCE_H

#include <QtDBus/QDBusConnection>

#include "event.h"
#include "group.h"
#include "hvservicesource.h"

namespace CommHistory {
class GroupModel;
class SyncSMSModel;
}

namespace Halvane {

class SmsService;

/*!
 * The received SMS of the communication history as message records. After
 * the first retrieval it follows the history's change signals on the session
 * bus.
 */
class SmsServiceSource : public HVServiceSource
{
    Q_OBJECT

public:
    explicit SmsServiceSource(SmsService *service);
    ~SmsServiceSource() override;

    // Appends the received SMS of time's date up to time to items.
    void receiveEvents(QList<HVItem> &items, const QDateTime &time);
    // The conversation group with that id; an empty group when there is none.
    CommHistory::Group findGroup(int groupId);
    // Follows the history's change signals on that connection (the session
    // bus, once the first retrieval is done).
    bool connectChangeSignals(QDBusConnection bus);

public Q_SLOTS:
    bool synchronize() override;
    // The received SMS of fromDateTime's whole day; toDateTime is not looked at.
    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override;
    void eventsAddedSlot(const QList<CommHistory::Event> &events);
    void eventsUpdatedSlot(const QList<CommHistory::Event> &events);
    void eventDeletedSlot(int eventId);

private:
    HVItem itemFromEvent(const CommHistory::Event &event, const QDateTime &time);
    // Reads the conversations again: a sender saved in the address book since
    // comes named with the next message (halvane-smsd names it). The day's
    // earlier messages of a renamed conversation, but those arrived.
    QList<HVItem> refreshGroups(const QList<CommHistory::Event> &arrived);
    // A received SMS that the last retrieval would have answered.
    bool isOfRetrievedDay(const CommHistory::Event &event) const;

    CommHistory::SyncSMSModel *smsModel;
    CommHistory::GroupModel *groupModel;
    SmsService *service;
    bool m_changeSignalsConnected = false;
    // The span the last retrieval read: its day, up to the cut-off time.
    QDateTime m_dayStart;
    QDateTime m_dayEnd;

    // Numbers the session-bus registrations of all sources.
    static int s_registrations;
};

} // namespace Halvane

#endif // SMSSERVICESOURCE_H
