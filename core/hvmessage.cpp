// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvmessage.h"

namespace Halvane {

static const QString FromField = QStringLiteral("from");
static const QString SubjectField = QStringLiteral("subject");
static const QString BodyField = QStringLiteral("body");
static const QString PhoneNumberField = QStringLiteral("phoneNumber");
static const QString ReceivedDateTimeField = QStringLiteral("receivedDateTime");

HVMessage::HVMessage()
    : HVItem(HVItemType::TypeMessage)
{
}

HVMessage::HVMessage(const HVItem &item)
    : HVItem(item, HVItemType::TypeMessage)
{
}

QString HVMessage::from() const
{
    return value(FromField).toString();
}

void HVMessage::setFrom(const QString &from)
{
    setValue(FromField, from);
}

QString HVMessage::subject() const
{
    return value(SubjectField).toString();
}

void HVMessage::setSubject(const QString &subject)
{
    setValue(SubjectField, subject);
}

QString HVMessage::body() const
{
    return value(BodyField).toString();
}

void HVMessage::setBody(const QString &body)
{
    setValue(BodyField, body);
}

QString HVMessage::phoneNumber() const
{
    return value(PhoneNumberField).toString();
}

void HVMessage::setPhoneNumber(const QString &phoneNumber)
{
    setValue(PhoneNumberField, phoneNumber);
}

QDateTime HVMessage::receivedDateTime() const
{
    return value(ReceivedDateTimeField).toDateTime();
}

void HVMessage::setReceivedDateTime(const QDateTime &receivedDateTime)
{
    setValue(ReceivedDateTimeField, receivedDateTime);
}

static const QString MessageTypeField = QStringLiteral("messageType");
static const QString AttachmentDetails = QStringLiteral("attachments");

HVMessage::Type HVMessage::messageType() const
{
    return static_cast<Type>(value(MessageTypeField).toInt());
}

void HVMessage::setMessageType(Type type)
{
    setValue(MessageTypeField, static_cast<int>(type));
}

QList<HVItemMessageAttachment> HVMessage::attachments() const
{
    QList<HVItemMessageAttachment> result;
    const QList<HVItemDetail> list = details(AttachmentDetails);
    result.reserve(list.size());
    for (const HVItemDetail &detail : list)
        result.append(HVItemMessageAttachment(detail));
    return result;
}

void HVMessage::setAttachments(const QList<HVItemMessageAttachment> &attachments)
{
    QList<HVItemDetail> list;
    list.reserve(attachments.size());
    for (const HVItemMessageAttachment &attachment : attachments)
        list.append(attachment);
    setDetails(AttachmentDetails, list);
}

} // namespace Halvane
