// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "imaptask.h"

#include <KIMAP/LoginJob>
#include <KIMAP/LogoutJob>
#include <KIMAP/SelectJob>
#include <KIMAP/Session>

#include "mailpassword.h"

ImapTask::ImapTask(const MailAccount &account, const QString &mailbox, QObject *parent)
    : QObject(parent)
    , m_account(account)
    , m_mailbox(mailbox)
{
}

ImapTask::~ImapTask()
{
    // Gone in the middle of a conversation: hang up.
    if (m_session && !m_ended)
        m_session->close();
    releaseSession();
}

void ImapTask::start()
{
    // The password first, from the secret store; it answers on the event loop.
    MailPassword::read(m_account, this, [this](const QString &password, const QString &problem) {
        if (m_ended)
            return;
        if (!problem.isEmpty()) {
            fail(problem);
            return;
        }
        m_account.password = password;
        logIn();
    });
}

void ImapTask::logIn()
{
    m_session = new KIMAP::Session(m_account.host, m_account.port);
    m_session->setTimeout(m_account.timeout);
    connect(m_session, &KIMAP::Session::connectionFailed, this,
            [this] { fail(QStringLiteral("cannot connect to %1:%2").arg(m_account.host).arg(m_account.port)); });
    connect(m_session, &KIMAP::Session::connectionLost, this,
            [this] { fail(QStringLiteral("the connection to %1 was lost").arg(m_account.host)); });

    auto *login = new KIMAP::LoginJob(m_session);
    login->setUserName(m_account.user);
    login->setPassword(m_account.password);
    login->setAuthenticationMode(KIMAP::LoginJob::ClearText);
    switch (m_account.encryption) {
    case MailAccount::NoEncryption:
        login->setEncryptionMode(KIMAP::LoginJob::Unencrypted);
        break;
    case MailAccount::Ssl:
        login->setEncryptionMode(KIMAP::LoginJob::SSLorTLS);
        break;
    case MailAccount::StartTls:
        login->setEncryptionMode(KIMAP::LoginJob::STARTTLS);
        break;
    }
    connect(login, &KJob::result, this, [this](KJob *job) {
        if (job->error()) {
            fail(QStringLiteral("cannot log in as %1: %2").arg(m_account.id(), job->errorString()));
            return;
        }
        auto *select = new KIMAP::SelectJob(m_session);
        select->setMailBox(m_mailbox);
        // EXAMINE: looking changes no flags on the server.
        select->setOpenReadOnly(true);
        connect(select, &KJob::result, this, [this, select](KJob *) {
            if (select->error()) {
                fail(QStringLiteral("cannot open the mailbox %1: %2").arg(m_mailbox, select->errorString()));
                return;
            }
            m_uidValidity = select->uidValidity();
            m_nextUid = select->nextUid();
            m_messageCount = select->messageCount();
            Q_EMIT selected();
        });
        select->start();
    });
    login->start();
}

void ImapTask::fetch(const KIMAP::ImapSet &uids, KIMAP::FetchJob::FetchScope::Mode mode)
{
    if (m_ended || !m_session)
        return;
    auto *job = new KIMAP::FetchJob(m_session);
    job->setUidBased(true);
    job->setSequenceSet(uids);
    KIMAP::FetchJob::FetchScope scope;
    scope.mode = mode;
    job->setScope(scope);
    connect(job, &KIMAP::FetchJob::messagesAvailable, this, &ImapTask::messagesAvailable);
    connect(job, &KJob::result, this, [this](KJob *job) {
        if (job->error())
            fail(QStringLiteral("cannot fetch from %1: %2").arg(m_mailbox, job->errorString()));
        else
            Q_EMIT fetched();
    });
    job->start();
}

void ImapTask::finish()
{
    if (m_ended)
        return;
    if (m_session && m_session->state() != KIMAP::Session::Disconnected) {
        auto *logout = new KIMAP::LogoutJob(m_session);
        logout->start();
    }
    end(true, QString());
}

void ImapTask::fail(const QString &error)
{
    if (m_ended)
        return;
    if (m_session)
        m_session->close();
    end(false, error);
}

void ImapTask::end(bool ok, const QString &error)
{
    m_ended = true;
    releaseSession();
    Q_EMIT finished(ok, error);
}

void ImapTask::releaseSession()
{
    KIMAP::Session *session = m_session.data();
    if (!session)
        return;
    m_session = nullptr;
    session->disconnect(this);
    // KIMAP's session must report the end of its connection before it goes.
    if (session->state() == KIMAP::Session::Disconnected) {
        session->deleteLater();
        return;
    }
    connect(session, &KIMAP::Session::stateChanged, session,
            [session](KIMAP::Session::State state) {
                if (state == KIMAP::Session::Disconnected)
                    session->deleteLater();
            });
}
