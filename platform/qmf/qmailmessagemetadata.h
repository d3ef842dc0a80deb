// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGEMETADATA_H
#define QMAILMESSAGEMETADATA_H

#include <QtCore/QString>

#include "halvaneqmf_export.h"
#include "qmailaddress.h"
#include "qmailmessageid.h"
#include "qmailtimestamp.h"

/*
 * What the store knows of a message without reading its content: id, type,
 * status flags, reception time, sender, subject, size, and where on its
 * account's server it came from.
 */
class HALVANEQMF_EXPORT QMailMessageMetaData
{
public:
    enum MessageType {
        None = 0,
        Mms = 0x1,
        Sms = 0x4,
        Email = 0x8,
        Instant = 0x10,
        System = 0x20,
        AnyType = Mms | Sms | Email | Instant | System
    };

    // Status flags.
    static const quint64 Incoming;
    static const quint64 Outgoing;
    static const quint64 Read;
    // The whole message is in the store, not only its headers.
    static const quint64 ContentAvailable;

    QMailMessageMetaData() = default;

    QMailMessageId id() const { return m_id; }
    void setId(const QMailMessageId &id) { m_id = id; }

    MessageType messageType() const { return m_type; }
    void setMessageType(MessageType type) { m_type = type; }

    quint64 status() const { return m_status; }
    void setStatus(quint64 status) { m_status = status; }
    void setStatus(quint64 mask, bool set);

    QMailTimeStamp receivedDate() const { return m_received; }
    void setReceivedDate(const QMailTimeStamp &timeStamp) { m_received = timeStamp; }

    QMailAddress from() const { return m_from; }
    void setFrom(const QMailAddress &from) { m_from = from; }

    QString subject() const { return m_subject; }
    void setSubject(const QString &subject) { m_subject = subject; }

    // Bytes of the stored file.
    qint64 size() const { return m_size; }
    void setSize(qint64 size) { m_size = size; }

    // The account the message was synchronised from ("user@host:port"); empty
    // for messages that came from elsewhere.
    QString account() const { return m_account; }
    void setAccount(const QString &account) { m_account = account; }
    // Its place on that account's server.
    QString mailbox() const { return m_mailbox; }
    void setMailbox(const QString &mailbox) { m_mailbox = mailbox; }
    qint64 uidValidity() const { return m_uidValidity; }
    void setUidValidity(qint64 uidValidity) { m_uidValidity = uidValidity; }
    qint64 serverUid() const { return m_serverUid; }
    void setServerUid(qint64 uid) { m_serverUid = uid; }

private:
    QMailMessageId m_id;
    MessageType m_type = Email;
    quint64 m_status = 0;
    QMailTimeStamp m_received;
    QMailAddress m_from;
    QString m_subject;
    qint64 m_size = 0;
    QString m_account;
    QString m_mailbox;
    qint64 m_uidValidity = 0;
    qint64 m_serverUid = 0;
};

#endif // QMAILMESSAGEMETADATA_H
