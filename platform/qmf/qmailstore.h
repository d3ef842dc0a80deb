// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILSTORE_H
#define QMAILSTORE_H

#include <QtCore/QObject>

#include "halvaneqmf_export.h"
#include "qmailmessage.h"
#include "qmailmessageid.h"
#include "qmailmessagekey.h"
#include "qmailmessagemetadata.h"
#include "qmailmessagesortkey.h"

class QMailStorePrivate;

/*
 * The message store: a Maildir ($HALVANE_MAILDIR, else
 * $XDG_DATA_HOME/halvane/mail) with a small index beside its messages that
 * gives every message file a stable id and keeps its reception time, status
 * and account. Any program may add, replace or remove files there; every
 * process that has the store open reports such changes, its own included,
 * with messagesAdded(), messagesUpdated() and messagesRemoved().
 *
 * A message whose file holds only its headers lacks ContentAvailable: its
 * content can be fetched from its account with QMailRetrievalAction.
 */
class HALVANEQMF_EXPORT QMailStore : public QObject
{
    Q_OBJECT

public:
    enum ErrorCode { NoError, InvalidId, StorageError };

    // The process-wide store, opened on first use; null once the process
    // (or its application object) is going.
    static QMailStore *instance();
    // Where the store of this process lives, or would live.
    static QString storagePath();

    // Whether the Maildir and its index could be opened.
    bool isValid() const;
    ErrorCode lastError() const;
    QString errorString() const;

    int countMessages(const QMailMessageKey &key = QMailMessageKey()) const;
    QMailMessageIdList queryMessages(const QMailMessageKey &key = QMailMessageKey(),
                                     const QMailMessageSortKey &sortKey = QMailMessageSortKey(),
                                     uint limit = 0, uint offset = 0) const;
    // Reads and parses the message file; an empty message (invalid id) when
    // the store has no such message.
    QMailMessage message(const QMailMessageId &id) const;
    // Reads only the header fields of the message file: no body, no parts.
    QMailMessage messageHeaders(const QMailMessageId &id) const;
    // What the index knows, without reading the file: no sender or subject.
    QMailMessageMetaData messageMetaData(const QMailMessageId &id) const;
    // The Message-ID header of each of the messages ("" where it has none),
    // as the index keeps it: only files it has not seen yet (written by
    // another program) are read, once.
    QHash<QMailMessageId, QString> messageIdentifiers(const QMailMessageIdList &ids);

    // Adds the messages as new files (with their ids set on success). One
    // failure leaves the others added.
    bool addMessage(QMailMessage *message);
    bool addMessages(const QList<QMailMessage *> &messages);
    // Replace each message's file with its text, and its status.
    bool updateMessage(QMailMessage *message);
    bool updateMessages(const QList<QMailMessage *> &messages);
    bool removeMessage(const QMailMessageId &id);
    bool removeMessages(const QMailMessageKey &key);

Q_SIGNALS:
    void messagesAdded(const QMailMessageIdList &ids);
    void messagesUpdated(const QMailMessageIdList &ids);
    void messagesRemoved(const QMailMessageIdList &ids);

public:
    // Only the process-wide cleanup deletes the store.
    ~QMailStore() override;

private:
    QMailStore();

    friend class QMailStorePrivate;
    friend class QMailRetrievalActionPrivate;
    QMailStorePrivate *const d;
    Q_DISABLE_COPY(QMailStore)
};

#endif // QMAILSTORE_H
