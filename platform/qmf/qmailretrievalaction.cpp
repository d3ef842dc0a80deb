// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailretrievalaction.h"
#include "qmf_debug.h"

#include <QtCore/QDebug>
#include <QtCore/QHash>
#include <QtCore/QSet>

#include <KMime/Message>

#include "imaptask.h"
#include "mailaccount.h"
#include "qmailmessage.h"
#include "qmailstore.h"
#include "qmailstore_p.h"

namespace {

const char Inbox[] = "INBOX";

// A mailbox's first sync: mail already in the store from no server (an
// export of this mailbox imported, or an index rebuilt from the files after
// it was lost) is the same mail. Such copies take the server's uid, and leave
// arrived, rather than come twice. Known by their Message-ID.
bool adoptStoredCopies(QMailStore *store, QList<QMailMessage> *arrived)
{
    QHash<QString, QMailMessageId> loose;
    const QMailMessageIdList ids = store->queryMessages(QMailMessageKey::account(QString()));
    for (const QMailMessageId &id : ids) {
        const QMailMessage headers = store->messageHeaders(id);
        const QString messageId = headers.headerFieldText("Message-ID").trimmed();
        if (!messageId.isEmpty() && !(headers.status() & QMailMessageMetaData::Outgoing))
            loose.insert(messageId, id);
    }
    if (loose.isEmpty())
        return true;
    QList<QMailMessage> adopted;
    for (auto it = arrived->begin(); it != arrived->end();) {
        const QString messageId = it->headerFieldText("Message-ID").trimmed();
        const QMailMessageId id = messageId.isEmpty() ? QMailMessageId() : loose.take(messageId);
        if (!id.isValid()) {
            ++it;
            continue;
        }
        QMailMessage stored = store->message(id);
        stored.setAccount(it->account());
        stored.setMailbox(it->mailbox());
        stored.setUidValidity(it->uidValidity());
        stored.setServerUid(it->serverUid());
        if (it->status() & QMailMessageMetaData::Read)
            stored.setStatus(QMailMessageMetaData::Read, true);
        adopted.append(stored);
        it = arrived->erase(it);
    }
    QList<QMailMessage *> pointers;
    for (QMailMessage &message : adopted)
        pointers.append(&message);
    return pointers.isEmpty() || store->updateMessages(pointers);
}

} // namespace

class QMailRetrievalActionPrivate
{
public:
    explicit QMailRetrievalActionPrivate(QMailRetrievalAction *action)
        : q(action)
    {
    }

    void begin();
    void taskStarted(ImapTask *task);
    void taskEnded(bool ok, const QString &error);
    void setActivity(QMailRetrievalAction::Activity value);
    static qint64 highestKnownUid(QMailStore *store, const ImapTask *task);
    void fetchContent(const MailAccount &account, const QString &mailbox, qint64 uidValidity,
                      const QMap<qint64, QMailMessageId> &messages);

    QMailRetrievalAction *const q;
    QMailRetrievalAction::Activity activity = QMailRetrievalAction::Pending;
    int running = 0;
    bool failed = false;
    QStringList problems;
    int newMessages = 0;
    // Messages being fetched: a second request for one of them adds nothing.
    QSet<QMailMessageId> inFlight;
};

void QMailRetrievalActionPrivate::setActivity(QMailRetrievalAction::Activity value)
{
    if (activity == value)
        return;
    activity = value;
    Q_EMIT q->activityChanged(value);
}

void QMailRetrievalActionPrivate::begin()
{
    // A request after the last one ended starts a fresh account of failures.
    if (running == 0) {
        failed = false;
        problems.clear();
    }
}

void QMailRetrievalActionPrivate::taskStarted(ImapTask *task)
{
    ++running;
    setActivity(QMailRetrievalAction::InProgress);
    task->start();
}

void QMailRetrievalActionPrivate::taskEnded(bool ok, const QString &error)
{
    if (!ok) {
        failed = true;
        problems.append(error);
    }
    if (running > 0)
        --running;
    if (running == 0)
        setActivity(failed ? QMailRetrievalAction::Failed : QMailRetrievalAction::Successful);
}

qint64 QMailRetrievalActionPrivate::highestKnownUid(QMailStore *store, const ImapTask *task)
{
    return store->d->index.highestUid(task->account().id(), task->mailbox(), task->uidValidity());
}

void QMailRetrievalActionPrivate::fetchContent(const MailAccount &account, const QString &mailbox, qint64 uidValidity,
                                               const QMap<qint64, QMailMessageId> &messages)
{
    auto *task = new ImapTask(account, mailbox, q);
    auto pending = QSharedPointer<QMap<qint64, QMailMessageId>>::create(messages);
    for (const QMailMessageId &id : messages)
        inFlight.insert(id);
    // First their sizes: a message larger than the store reads whole (a
    // video sent along) would be held in memory whole, several times over,
    // for nothing.
    auto sized = QSharedPointer<bool>::create(false);
    auto tooLarge = QSharedPointer<QMap<qint64, qint64>>::create();
    const auto fetchPending = [task, pending](KIMAP::FetchJob::FetchScope::Mode mode) {
        KIMAP::ImapSet uids;
        for (auto it = pending->cbegin(); it != pending->cend(); ++it)
            uids.add(KIMAP::ImapSet::Id(it.key()));
        task->fetch(uids, mode);
    };

    QObject::connect(task, &ImapTask::selected, task, [task, uidValidity, fetchPending] {
        if (task->uidValidity() != uidValidity) {
            task->fail(QStringLiteral("the mailbox %1 of %2 was rebuilt since the messages were listed")
                           .arg(task->mailbox(), task->account().id()));
            return;
        }
        fetchPending(KIMAP::FetchJob::FetchScope::Headers);
    });
    QObject::connect(task, &ImapTask::messagesAvailable, task, [pending, sized, tooLarge](const QMap<qint64, KIMAP::Message> &answers) {
        if (!*sized) {
            for (const KIMAP::Message &answer : answers) {
                if (answer.size > QMailStorePrivate::MaxLoadSize && pending->contains(answer.uid))
                    tooLarge->insert(answer.uid, answer.size);
            }
            return;
        }
        QMailStore *store = QMailStore::instance();
        if (!store)
            return;
        QList<QMailMessage> messages;
        for (const KIMAP::Message &answer : answers) {
            const QMailMessageId id = pending->take(answer.uid);
            if (!id.isValid() || !answer.message)
                continue;
            const QMailMessageMetaData known = store->messageMetaData(id);
            if (!known.id().isValid())
                continue; // removed meanwhile
            QMailMessage message = QMailMessage::fromRfc2822(answer.message->encodedContent());
            message.setId(id);
            message.setStatus(known.status() | QMailMessageMetaData::ContentAvailable);
            messages.append(message);
        }
        QList<QMailMessage *> pointers;
        for (QMailMessage &message : messages)
            pointers.append(&message);
        if (!pointers.isEmpty() && !store->updateMessages(pointers))
            qWarning("QMailRetrievalAction: %d fetched message(s) were not stored: %s", int(pointers.size()),
                     qPrintable(store->errorString()));
    });
    QObject::connect(task, &ImapTask::fetched, task, [task, pending, sized, tooLarge, fetchPending] {
        if (!*sized) {
            *sized = true;
            for (auto it = tooLarge->cbegin(); it != tooLarge->cend(); ++it)
                qWarning("QMailRetrievalAction: message %llu is %lld MiB, more than the %lld MiB a message is read "
                         "whole to; it keeps its headers only",
                         pending->take(it.key()).toULongLong(), it.value() >> 20, QMailStorePrivate::MaxLoadSize >> 20);
            if (!pending->isEmpty()) {
                fetchPending(KIMAP::FetchJob::FetchScope::Full);
                return;
            }
        }
        for (const QMailMessageId &id : qAsConst(*pending))
            qWarning("QMailRetrievalAction: message %llu is no longer on %s; it keeps its headers only",
                     id.toULongLong(), qPrintable(task->account().id()));
        task->finish();
    });
    QObject::connect(task, &ImapTask::finished, q, [this, task, messages](bool ok, const QString &error) {
        if (!ok)
            qWarning("QMailRetrievalAction: cannot fetch %d message(s): %s; they keep their headers only",
                     messages.size(), qPrintable(error));
        for (const QMailMessageId &id : messages)
            inFlight.remove(id);
        task->deleteLater();
        taskEnded(ok, error);
    });
    taskStarted(task);
}

QMailRetrievalAction::QMailRetrievalAction(QObject *parent)
    : QObject(parent)
    , d(new QMailRetrievalActionPrivate(this))
{
    qRegisterMetaType<QMailRetrievalAction::Activity>("QMailRetrievalAction::Activity");
}

QMailRetrievalAction::~QMailRetrievalAction()
{
    delete d;
}

QMailRetrievalAction::Activity QMailRetrievalAction::activity() const
{
    return d->activity;
}

QString QMailRetrievalAction::statusText() const
{
    return d->problems.join(QLatin1String("; "));
}

int QMailRetrievalAction::newMessageCount() const
{
    return d->newMessages;
}

void QMailRetrievalAction::retrieveMessages(const QMailMessageIdList &ids, RetrievalMode mode)
{
    d->begin();
    QMailStore *store = QMailStore::instance();
    if (mode != Content || !store) {
        if (d->running == 0)
            d->setActivity(Successful);
        return;
    }

    QString problem;
    const MailAccount account = MailAccount::configured(&problem);
    // By mailbox and its UIDVALIDITY: one fetch for each.
    QMap<QPair<QString, qint64>, QMap<qint64, QMailMessageId>> requests;
    for (const QMailMessageId &id : ids) {
        if (d->inFlight.contains(id))
            continue;
        const QMailMessageMetaData data = store->messageMetaData(id);
        if (!data.id().isValid())
            continue;
        if (data.status() & QMailMessageMetaData::ContentAvailable) {
            qCDebug(HALVANE_MAIL, "QMailRetrievalAction: message %llu is complete; nothing to fetch", id.toULongLong());
            continue;
        }
        if (data.account().isEmpty() || data.serverUid() <= 0) {
            // Imported from a file as it is: no server has more of it, and
            // nothing is wrong.
            qCDebug(HALVANE_MAIL, "QMailRetrievalAction: message %llu came from no mail account; there is no more of it to fetch",
                   id.toULongLong());
            continue;
        }
        if (account.host.isEmpty()) {
            qWarning("QMailRetrievalAction: %s; message %llu keeps its headers only", qPrintable(problem),
                     id.toULongLong());
            d->failed = true;
            d->problems.append(problem);
            continue;
        }
        if (data.account() != account.id()) {
            qWarning("QMailRetrievalAction: message %llu came from %s, not from the configured account %s; "
                     "it keeps its headers only",
                     id.toULongLong(), qPrintable(data.account()), qPrintable(account.id()));
            continue;
        }
        requests[qMakePair(data.mailbox(), data.uidValidity())].insert(data.serverUid(), id);
    }

    for (auto it = requests.cbegin(); it != requests.cend(); ++it)
        d->fetchContent(account, it.key().first, it.key().second, it.value());
    if (d->running == 0)
        d->setActivity(d->failed ? Failed : Successful);
}

void QMailRetrievalAction::retrieveMessageList()
{
    d->begin();
    d->newMessages = 0;
    QString problem;
    const MailAccount account = MailAccount::configured(&problem);
    if (account.host.isEmpty() || !QMailStore::instance()) {
        if (problem.isEmpty())
            problem = QStringLiteral("the message store is gone");
        d->failed = true;
        d->problems.append(problem);
        if (d->running == 0)
            d->setActivity(Failed);
        return;
    }

    auto *task = new ImapTask(account, QLatin1String(Inbox), this);
    // Nothing changes in the store before the server has answered everything:
    // a sync that fails leaves the store as it was.
    struct Sync
    {
        qint64 known = 0;
        bool listingKnown = false;
        QSet<qint64> onServer; // known uids the server still has, not deleted
        QList<QMailMessage> arrived;
        // An answer of the round was lost (below); how often it was asked again.
        bool incomplete = false;
        int repeated = 0;
    };
    auto sync = QSharedPointer<Sync>::create();
    const auto fetchNew = [task, sync] {
        // UIDNEXT says whether anything came after the last message we have.
        if (task->messageCount() == 0 || (task->nextUid() > 0 && task->nextUid() <= sync->known + 1))
            return false;
        task->fetch(KIMAP::ImapSet(sync->known + 1, 0), KIMAP::FetchJob::FetchScope::FullHeaders);
        return true;
    };
    const auto apply = [this, task, sync] {
        QMailStore *store = QMailStore::instance();
        if (!store) {
            task->fail(QStringLiteral("the message store is gone"));
            return;
        }
        if (sync->known == 0 && !sync->arrived.isEmpty() && !adoptStoredCopies(store, &sync->arrived)) {
            task->fail(QStringLiteral("the store refused the messages it had already: ") + store->errorString());
            return;
        }
        // Another sync of the account may have stored some meanwhile.
        const qint64 storedNow = QMailRetrievalActionPrivate::highestKnownUid(store, task);
        QList<QMailMessage *> pointers;
        for (QMailMessage &message : sync->arrived) {
            if (message.serverUid() > storedNow)
                pointers.append(&message);
        }
        if (!pointers.isEmpty() && !store->addMessages(pointers)) {
            task->fail(QStringLiteral("the store refused the new messages: ") + store->errorString());
            return;
        }
        d->newMessages += pointers.size();
        // Gone from the server, deleted there, or of a mailbox the server has
        // rebuilt (another UIDVALIDITY: those uids name nothing any more).
        QMailMessageIdList gone;
        const QMailMessageIdList ours = store->queryMessages(QMailMessageKey::account(task->account().id()));
        for (const QMailMessageId &id : ours) {
            const QMailMessageMetaData data = store->messageMetaData(id);
            if (data.mailbox() != task->mailbox() || data.serverUid() <= 0)
                continue;
            if (data.uidValidity() != task->uidValidity()
                || (data.serverUid() <= sync->known && !sync->onServer.contains(data.serverUid())))
                gone.append(id);
        }
        if (!gone.isEmpty() && !store->removeMessages(QMailMessageKey::id(gone)))
            qWarning().noquote() << "cannot remove the messages deleted on the server:" << store->errorString();
        task->finish();
    };
    connect(task, &ImapTask::selected, task, [task, sync, fetchNew, apply] {
        QMailStore *store = QMailStore::instance();
        if (!store) {
            task->fail(QStringLiteral("the message store is gone"));
            return;
        }
        sync->known = QMailRetrievalActionPrivate::highestKnownUid(store, task);
        // First which of the messages we have are still there.
        if (sync->known > 0 && task->messageCount() > 0) {
            task->fetch(KIMAP::ImapSet(1, sync->known), KIMAP::FetchJob::FetchScope::Flags);
            return;
        }
        sync->listingKnown = true;
        if (!fetchNew())
            apply();
    });
    connect(task, &ImapTask::messagesAvailable, task, [task, sync](const QMap<qint64, KIMAP::Message> &answers) {
        for (const KIMAP::Message &answer : answers) {
            // The fetch keeps one answer per message number, the last: a flag
            // change another device made, told in between (without UID, or
            // without the headers), takes the place of the message's answer.
            // A known message would count as deleted, a new one be lost or
            // stored empty: the round is asked again.
            if (answer.uid <= 0
                || (sync->listingKnown && answer.uid > sync->known && answer.message
                    && answer.message->head().trimmed().isEmpty())) {
                sync->incomplete = true;
                continue;
            }
            const bool deleted = answer.flags.contains("\\Deleted");
            if (!sync->listingKnown) {
                if (answer.uid <= sync->known && !deleted)
                    sync->onServer.insert(answer.uid);
                continue;
            }
            // "n:*" answers the last message even when its UID is below n.
            if (answer.uid <= sync->known || !answer.message || deleted)
                continue;
            // The header block and the empty line that ends it: a body of
            // blank lines would read as text.
            QByteArray head = answer.message->head();
            while (head.endsWith('\n') || head.endsWith('\r'))
                head.chop(1);
            QMailMessage message = QMailMessage::fromRfc2822(head + "\n\n");
            quint64 status = QMailMessageMetaData::Incoming;
            if (answer.flags.contains("\\Seen"))
                status |= QMailMessageMetaData::Read;
            message.setStatus(status);
            if (message.receivedDate().isNull())
                message.setReceivedDate(QMailTimeStamp(QDateTime::currentDateTimeUtc()));
            message.setAccount(task->account().id());
            message.setMailbox(task->mailbox());
            message.setUidValidity(task->uidValidity());
            message.setServerUid(answer.uid);
            sync->arrived.append(message);
        }
    });
    connect(task, &ImapTask::fetched, task, [task, sync, fetchNew, apply] {
        if (sync->incomplete) {
            sync->incomplete = false;
            if (++sync->repeated > 2) {
                task->fail(QStringLiteral("the server's answers to a fetch were incomplete"));
                return;
            }
            if (!sync->listingKnown) {
                sync->onServer.clear();
                task->fetch(KIMAP::ImapSet(1, sync->known), KIMAP::FetchJob::FetchScope::Flags);
            } else {
                sync->arrived.clear();
                fetchNew();
            }
            return;
        }
        if (!sync->listingKnown) {
            sync->listingKnown = true;
            if (fetchNew())
                return;
        }
        apply();
    });
    connect(task, &ImapTask::finished, this, [this, task](bool ok, const QString &error) {
        task->deleteLater();
        d->taskEnded(ok, error);
    });
    d->taskStarted(task);
}
