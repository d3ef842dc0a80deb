// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILRETRIEVALACTION_H
#define QMAILRETRIEVALACTION_H

#include <QtCore/QObject>

#include "halvaneqmf_export.h"
#include "qmailmessageid.h"

class QMailRetrievalActionPrivate;

/*
 * Brings mail from the configured IMAP account (settings group "mail/") into
 * the store, asynchronously on the event loop. Its effect arrives through the
 * store's change signals; activityChanged() tells when a request has ended.
 * Requests may overlap; activity() is InProgress while any runs.
 */
class HALVANEQMF_EXPORT QMailRetrievalAction : public QObject
{
    Q_OBJECT

public:
    enum RetrievalMode {
        Flags,
        MetaData,
        // The whole message in place of its headers.
        Content,
        Auto,
        ContentRetrieval = Content
    };
    Q_ENUM(RetrievalMode)

    enum Activity { Pending, InProgress, Successful, Failed };
    Q_ENUM(Activity)

    explicit QMailRetrievalAction(QObject *parent = nullptr);
    ~QMailRetrievalAction() override;

    Activity activity() const;
    // What went wrong in the requests since the action was last idle.
    QString statusText() const;
    // Messages the last list retrieval added to the store.
    int newMessageCount() const;

public Q_SLOTS:
    // Content: fetches the whole of each message that has only its headers
    // from the account it came from, and replaces the stored headers; the
    // store then reports messagesUpdated(). Messages already complete, from
    // no account (imported), or from another account than the configured one
    // stay as they are (with a warning for the last). Other modes have
    // nothing to fetch: the store holds every message's headers.
    void retrieveMessages(const QMailMessageIdList &ids,
                          QMailRetrievalAction::RetrievalMode mode = MetaData);
    // Adds the headers of the INBOX messages that are new since the last
    // retrieval, as messages without content.
    void retrieveMessageList();

Q_SIGNALS:
    void activityChanged(QMailRetrievalAction::Activity activity);

private:
    friend class QMailRetrievalActionPrivate;
    QMailRetrievalActionPrivate *const d;
    Q_DISABLE_COPY(QMailRetrievalAction)
};

#endif // QMAILRETRIEVALACTION_H
