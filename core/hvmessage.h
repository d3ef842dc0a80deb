// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVMESSAGE_H
#define HVMESSAGE_H

#include "hvitem.h"
#include "hvitemtype.h"
#include "hvitemmessageattachment.h"

namespace Halvane {

/*!
 * A received message: an e-mail or an SMS. A view of an HVItem of type HVItemType::TypeMessage.
 */
class HALVANECORE_EXPORT HVMessage : public HVItem
{
public:
    enum Type {
        NoType = 0,
        Email = 1,
        Sms = 2
    };

    // An empty record of this type.
    HVMessage();
    // Views any record as this type, keeping all its values.
    explicit HVMessage(const HVItem &item);

    QString from() const;
    void setFrom(const QString &from);
    QString subject() const;
    void setSubject(const QString &subject);
    QString body() const;
    void setBody(const QString &body);
    QString phoneNumber() const;
    void setPhoneNumber(const QString &phoneNumber);
    QDateTime receivedDateTime() const;
    void setReceivedDateTime(const QDateTime &receivedDateTime);

    Type messageType() const;
    void setMessageType(Type type);

    QList<HVItemMessageAttachment> attachments() const;
    void setAttachments(const QList<HVItemMessageAttachment> &attachments);
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVMessage, Q_MOVABLE_TYPE);

#endif // HVMESSAGE_H
