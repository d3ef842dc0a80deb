// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvevent.h"

namespace Halvane {

static const QString StartDateTimeField = QStringLiteral("startDateTime");
static const QString EndDateTimeField = QStringLiteral("endDateTime");
static const QString LocationNameField = QStringLiteral("locationName");
static const QString LocationAddressField = QStringLiteral("locationAddress");
static const QString LocationCoordinatesField = QStringLiteral("locationCoordinates");

HVEvent::HVEvent()
    : HVItem(HVItemType::TypeEvent)
{
}

HVEvent::HVEvent(const HVItem &item)
    : HVItem(item, HVItemType::TypeEvent)
{
}

QDateTime HVEvent::startDateTime() const
{
    return value(StartDateTimeField).toDateTime();
}

void HVEvent::setStartDateTime(const QDateTime &startDateTime)
{
    setValue(StartDateTimeField, startDateTime);
}

QDateTime HVEvent::endDateTime() const
{
    return value(EndDateTimeField).toDateTime();
}

void HVEvent::setEndDateTime(const QDateTime &endDateTime)
{
    setValue(EndDateTimeField, endDateTime);
}

QString HVEvent::locationName() const
{
    return value(LocationNameField).toString();
}

void HVEvent::setLocationName(const QString &locationName)
{
    setValue(LocationNameField, locationName);
}

QString HVEvent::locationAddress() const
{
    return value(LocationAddressField).toString();
}

void HVEvent::setLocationAddress(const QString &locationAddress)
{
    setValue(LocationAddressField, locationAddress);
}

QString HVEvent::locationCoordinates() const
{
    return value(LocationCoordinatesField).toString();
}

void HVEvent::setLocationCoordinates(const QString &locationCoordinates)
{
    setValue(LocationCoordinatesField, locationCoordinates);
}

// Absent on events and on records written before it.
static const QString TodoField = QStringLiteral("Todo");

bool HVEvent::isTodo() const
{
    return value(TodoField).toBool();
}

void HVEvent::setTodo(bool todo)
{
    setValue(TodoField, todo);
}

static const QString CreatorDetails = QStringLiteral("creator");
static const QString ParticipantDetails = QStringLiteral("participants");

HVItemEventCreator HVEvent::creator() const
{
    const QList<HVItemDetail> list = details(CreatorDetails);
    return list.isEmpty() ? HVItemEventCreator() : HVItemEventCreator(list.first());
}

void HVEvent::setCreator(const HVItemEventCreator &creator)
{
    setDetails(CreatorDetails, QList<HVItemDetail>() << creator);
}

QList<HVItemEventParticipant> HVEvent::participants() const
{
    QList<HVItemEventParticipant> result;
    const QList<HVItemDetail> list = details(ParticipantDetails);
    result.reserve(list.size());
    for (const HVItemDetail &detail : list)
        result.append(HVItemEventParticipant(detail));
    return result;
}

void HVEvent::setParticipants(const QList<HVItemEventParticipant> &participants)
{
    QList<HVItemDetail> list;
    list.reserve(participants.size());
    for (const HVItemEventParticipant &participant : participants)
        list.append(participant);
    setDetails(ParticipantDetails, list);
}

} // namespace Halvane
