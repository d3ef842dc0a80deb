// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef IMAPTASK_H
#define IMAPTASK_H

#include <QtCore/QMap>
#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <KIMAP/FetchJob>
#include <KIMAP/ImapSet>

#include "mailaccount.h"

namespace KIMAP {
class Session;
}

/*
 * One conversation with an account's IMAP server, on the event loop: read the
 * password (MailPassword), connect, log in and open one mailbox read-only
 * (selected()); then the owner fetches what it needs and calls finish(). Every
 * way it ends emits finished() once; the session is deleted only after it has
 * disconnected.
 */
class ImapTask : public QObject
{
    Q_OBJECT

public:
    ImapTask(const MailAccount &account, const QString &mailbox, QObject *parent = nullptr);
    ~ImapTask() override;

    void start();
    // UID-based; messagesAvailable() with the answers, then fetched().
    void fetch(const KIMAP::ImapSet &uids, KIMAP::FetchJob::FetchScope::Mode mode);
    // Logs out and reports success.
    void finish();
    // Hangs up and reports the failure.
    void fail(const QString &error);

    const MailAccount &account() const { return m_account; }
    QString mailbox() const { return m_mailbox; }
    // Known once selected().
    qint64 uidValidity() const { return m_uidValidity; }
    qint64 nextUid() const { return m_nextUid; }
    int messageCount() const { return m_messageCount; }

Q_SIGNALS:
    void selected();
    void messagesAvailable(const QMap<qint64, KIMAP::Message> &messages);
    void fetched();
    void finished(bool ok, const QString &error);

private:
    void logIn();
    void end(bool ok, const QString &error);
    void releaseSession();

    MailAccount m_account;
    QString m_mailbox;
    QPointer<KIMAP::Session> m_session;
    qint64 m_uidValidity = 0;
    qint64 m_nextUid = 0;
    int m_messageCount = 0;
    bool m_ended = false;
};

#endif // IMAPTASK_H
