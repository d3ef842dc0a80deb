// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailstore.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>

#include <algorithm>
#include <cstdlib>

#include "qmailstore_p.h"

namespace {

QBasicAtomicPointer<QMailStore> s_store = Q_BASIC_ATOMIC_INITIALIZER(nullptr);
QBasicAtomicInt s_storeDestroyed = Q_BASIC_ATOMIC_INITIALIZER(0);

QMailMessageIdList sortedIds(QList<quint64> numbers)
{
    std::sort(numbers.begin(), numbers.end());
    QMailMessageIdList ids;
    ids.reserve(numbers.size());
    for (quint64 number : qAsConst(numbers))
        ids.append(QMailMessageId(number));
    return ids;
}

} // namespace

// The store --------------------------------------------------------------

QMailStorePrivate::QMailStorePrivate(QMailStore *store)
    : QObject(store)
    , q(store)
    , maildir(QMailStore::storagePath())
{
    rescanTimer.setSingleShot(true);
    // Writers move many files at once: one look after a burst, not one per file.
    rescanTimer.setInterval(20);
    connect(&rescanTimer, &QTimer::timeout, this, &QMailStorePrivate::rescan);
    settleTimer.setSingleShot(true);
    settleTimer.setInterval(2100);
    connect(&settleTimer, &QTimer::timeout, this, &QMailStorePrivate::rescan);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &QMailStorePrivate::scheduleRescan);
}

void QMailStorePrivate::setError(QMailStore::ErrorCode code, const QString &text)
{
    errorCode = code;
    error = text;
    // An unknown id is the caller's business; a store that fails is the user's.
    if (code == QMailStore::StorageError)
        qWarning("QMailStore: %s", qPrintable(text));
}

void QMailStorePrivate::open()
{
    QString problem;
    if (maildir.path().isEmpty()) {
        setError(QMailStore::StorageError,
                 QStringLiteral("no mail directory: neither HALVANE_MAILDIR nor a data directory is set"));
        return;
    }
    if (!maildir.create(&problem)) {
        setError(QMailStore::StorageError, problem);
        return;
    }
    const QString indexPath = maildir.path() + QLatin1String("/halvane-index.db");
    const bool newIndex = QFileInfo(indexPath).size() == 0;
    if (!index.open(indexPath)) {
        setError(QMailStore::StorageError, index.errorString());
        return;
    }
    valid = true;
    recoverStaged();
    // What is there at the start is no change.
    QSignalBlocker blocker(q);
    rescan();
    // Lost or emptied, the index is made again from the files: what only it
    // knew is gone (the next sync gives the server's messages their uids).
    if (newIndex && !rows.isEmpty())
        qWarning("QMailStore: the mail index %s was missing or empty: made again from %d message file(s),"
                 " whose ids and reception times are new",
                 qPrintable(indexPath), int(rows.size()));
}

QString QMailStorePrivate::placeOf(const MailIndex::Row &row)
{
    return row.status & QMailMessageMetaData::Read ? QString(QLatin1String("cur/") + row.name + QLatin1String(":2,S"))
                                                   : QString(QLatin1String("new/") + row.name);
}

void QMailStorePrivate::recoverStaged()
{
    const QHash<QString, qint64> staged = maildir.staged();
    if (staged.isEmpty())
        return;
    readRows();
    const QHash<QString, Maildir::Entry> files = maildir.scan();
    // Maildir's own rule for what a writer left in tmp/.
    constexpr qint64 AbandonedAfter = 36 * 3600;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    int finished = 0;
    for (auto it = staged.cbegin(); it != staged.cend(); ++it) {
        const auto row = rows.constFind(it.key());
        QString problem;
        // An add killed after its rows were committed: its messages are
        // counted as stored (a sync would not fetch them again), so it is
        // finished here.
        if (row != rows.constEnd() && !files.contains(it.key())) {
            if (maildir.publish(maildir.stagedPath(it.key()), placeOf(row.value()), &problem))
                ++finished;
            else
                qWarning("QMailStore: %s", qPrintable(problem));
        } else if (now - it.value() > AbandonedAfter) {
            // An add killed before, or an update: never part of the store.
            maildir.discard(maildir.stagedPath(it.key()));
        }
    }
    if (finished > 0)
        qWarning("QMailStore: %d message(s) of an interrupted write were moved into place", finished);
}

void QMailStorePrivate::scheduleRescan()
{
    if (!rescanTimer.isActive())
        rescanTimer.start();
}

void QMailStorePrivate::readRows()
{
    const qint64 version = index.dataVersion();
    if (!rowsStale && version == rowsVersion)
        return;
    rows = index.rows();
    rowsVersion = version;
    rowsStale = false;
}

bool QMailStorePrivate::indexFile(const Maildir::Entry &file, MailIndex::Row *row)
{
    // A file another program put there: what it says of itself.
    bool hasBody = false;
    QString problem;
    const QByteArray head = maildir.readHead(file.relativePath, &hasBody, &problem);
    // Taken half written, it kept the time it was seen and "headers only"
    // for good.
    const bool headersEnd = head.endsWith("\n\n") || head.endsWith("\n\r\n") || head == "\n" || head == "\r\n";
    if ((!headersEnd || !hasBody) && Maildir::mayBeGrowing(file))
        return false;
    const QMailMessage message = QMailMessage::fromRfc2822(head);
    row->name = file.name;
    row->received = message.receivedDate().toUTC();
    if (!row->received.isValid())
        row->received = QDateTime::fromMSecsSinceEpoch(file.modified / 1000000, Qt::UTC);
    row->status = QMailMessageMetaData::Incoming;
    if (hasBody)
        row->status |= QMailMessageMetaData::ContentAvailable;
    if (Maildir::flagsOf(file.relativePath).contains(QLatin1Char('S')))
        row->status |= QMailMessageMetaData::Read;
    return true;
}

void QMailStorePrivate::rescan()
{
    rescanTimer.stop();
    if (!valid)
        return;
    // A directory removed and made again is a new one to watch.
    if (watcher.directories().size() < 2) {
        QString problem;
        maildir.create(&problem);
        for (const char *sub : {"/new", "/cur"}) {
            const QString dir = maildir.path() + QLatin1String(sub);
            if (!watcher.directories().contains(dir))
                watcher.addPath(dir);
        }
    }

    QHash<QString, Maildir::Entry> files = maildir.scan(knownFiles);
    // A mail reader that keeps deleted mail until it expunges marks it "T"
    // (trashed): for the user it is gone.
    for (auto it = files.begin(); it != files.end();) {
        if (Maildir::flagsOf(it->relativePath).contains(QLatin1Char('T')))
            it = files.erase(it);
        else
            ++it;
    }
    readRows();

    QList<Maildir::Entry> unindexed;
    for (const Maildir::Entry &file : files) {
        if (!rows.contains(file.name))
            unindexed.append(file);
    }
    if (!unindexed.isEmpty()) {
        QList<MailIndex::Row> added;
        for (const Maildir::Entry &file : qAsConst(unindexed)) {
            MailIndex::Row row;
            if (indexFile(file, &row))
                added.append(row);
        }
        if (index.begin()) {
            bool ok = true;
            for (MailIndex::Row &row : added)
                ok = ok && index.insert(row);
            if (ok && index.commit()) {
                for (const MailIndex::Row &row : qAsConst(added))
                    rows.insert(row.name, row);
            } else {
                index.rollback();
            }
        }
    }

    // The records are kept current in place: a burst of changes in a large
    // store touches a few of them, not all.
    QList<quint64> addedIds, updatedIds, removedIds;
    for (const Maildir::Entry &file : files) {
        const auto row = rows.constFind(file.name);
        // Not indexed this time (the index refused): next time.
        if (row == rows.constEnd())
            continue;
        auto before = records.find(file.name);
        if (before == records.end()) {
            addedIds.append(row->id);
            records.insert(file.name, Record{file, row.value()});
            names.insert(row->id, file.name);
        } else if (!before->file.sameFile(file) || before->row != row.value()) {
            updatedIds.append(row->id);
            if (before->row.id != row->id) {
                names.remove(before->row.id);
                names.insert(row->id, file.name);
            }
            *before = Record{file, row.value()};
        }
    }
    for (auto it = records.begin(); it != records.end();) {
        if (files.contains(it.key()) && rows.contains(it.key())) {
            ++it;
            continue;
        }
        removedIds.append(it->row.id);
        names.remove(it->row.id);
        it = records.erase(it);
    }
    knownFiles = files;
    for (const Maildir::Entry &file : qAsConst(files)) {
        if (Maildir::mayBeGrowing(file)) {
            settleTimer.start();
            break;
        }
    }

    if (!addedIds.isEmpty())
        Q_EMIT q->messagesAdded(sortedIds(addedIds));
    if (!updatedIds.isEmpty())
        Q_EMIT q->messagesUpdated(sortedIds(updatedIds));
    if (!removedIds.isEmpty())
        Q_EMIT q->messagesRemoved(sortedIds(removedIds));
}

const QMailStorePrivate::Record *QMailStorePrivate::record(const QMailMessageId &id) const
{
    const auto name = names.constFind(id.toULongLong());
    if (name == names.constEnd())
        return nullptr;
    const auto found = records.constFind(name.value());
    return found == records.constEnd() ? nullptr : &found.value();
}

QMailMessageMetaData QMailStorePrivate::metaData(const Record &record) const
{
    QMailMessageMetaData data;
    data.setId(QMailMessageId(record.row.id));
    data.setMessageType(QMailMessageMetaData::Email);
    // Mail readers keep "seen" in the file name.
    const bool seen = Maildir::flagsOf(record.file.relativePath).contains(QLatin1Char('S'));
    data.setStatus((record.row.status & ~QMailMessageMetaData::Read) | (seen ? QMailMessageMetaData::Read : 0));
    data.setReceivedDate(QMailTimeStamp(record.row.received));
    data.setSize(record.file.size);
    data.setAccount(record.row.account);
    data.setMailbox(record.row.mailbox);
    data.setUidValidity(record.row.uidValidity);
    data.setServerUid(record.row.uid);
    return data;
}

void QMailStorePrivate::setMetaData(QMailMessage *message, const Record &record) const
{
    const QMailMessageMetaData known = metaData(record);
    message->setId(known.id());
    message->setStatus(known.status());
    message->setReceivedDate(known.receivedDate());
    message->setSize(known.size());
    message->setAccount(known.account());
    message->setMailbox(known.mailbox());
    message->setUidValidity(known.uidValidity());
    message->setServerUid(known.serverUid());
}

QMailMessage QMailStorePrivate::load(const QMailMessageId &id, bool headersOnly)
{
    const Record *found = record(id);
    if (!found) {
        setError(QMailStore::InvalidId, QStringLiteral("no message %1").arg(id.toULongLong()));
        return QMailMessage();
    }
    bool truncated = false;
    bool hasBody = false;
    QString problem;
    const QByteArray data = headersOnly ? maildir.readHead(found->file.relativePath, &hasBody, &problem)
                                        : maildir.read(found->file.relativePath, MaxLoadSize, &truncated, &problem);
    if (!problem.isEmpty()) {
        // Removed meanwhile: the change is on its way.
        setError(QMailStore::InvalidId, problem);
        return QMailMessage();
    }
    if (truncated)
        qWarning("QMailStore: message %llu is too large to read (%lld bytes); only its headers are read",
                 id.toULongLong(), found->file.size);
    QMailMessage message = QMailMessage::fromRfc2822(data);
    setMetaData(&message, *found);
    return message;
}

// QMailStore -------------------------------------------------------------

QMailStore::QMailStore()
    : d(new QMailStorePrivate(this))
{
    qRegisterMetaType<QMailMessageId>("QMailMessageId");
    qRegisterMetaType<QMailMessageIdList>("QMailMessageIdList");
    d->open();
}

QMailStore::~QMailStore() = default;

namespace {

void destroyStore()
{
    s_storeDestroyed.storeRelease(1);
    delete s_store.fetchAndStoreOrdered(nullptr);
}

} // namespace

QMailStore *QMailStore::instance()
{
    if (s_storeDestroyed.loadAcquire())
        return nullptr;
    if (QMailStore *store = s_store.loadAcquire())
        return store;
    auto *created = new QMailStore;
    if (s_store.testAndSetOrdered(nullptr, created)) {
        // Its watcher and database connection must not outlive the
        // application object when there is one.
        if (QCoreApplication::instance())
            qAddPostRoutine(&destroyStore);
        std::atexit(&destroyStore);
        return created;
    }
    delete created;
    return s_store.loadAcquire();
}

QString QMailStore::storagePath()
{
    const QString overridden = qEnvironmentVariable("HALVANE_MAILDIR");
    if (!overridden.isEmpty())
        return overridden;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QLatin1String("/halvane/mail");
}

bool QMailStore::isValid() const
{
    return d->valid;
}

QMailStore::ErrorCode QMailStore::lastError() const
{
    return d->errorCode;
}

QString QMailStore::errorString() const
{
    return d->error;
}

int QMailStore::countMessages(const QMailMessageKey &key) const
{
    int count = 0;
    for (const QMailStorePrivate::Record &record : qAsConst(d->records)) {
        if (key.matches(d->metaData(record)))
            ++count;
    }
    return count;
}

QMailMessageIdList QMailStore::queryMessages(const QMailMessageKey &key, const QMailMessageSortKey &sortKey,
                                             uint limit, uint offset) const
{
    QList<QMailMessageMetaData> matching;
    for (const QMailStorePrivate::Record &record : qAsConst(d->records)) {
        QMailMessageMetaData data = d->metaData(record);
        if (key.matches(data))
            matching.append(data);
    }
    const auto before = [&sortKey](const QMailMessageMetaData &a, const QMailMessageMetaData &b) {
        return sortKey.lessThan(a, b);
    };
    std::sort(matching.begin(), matching.end(), before);

    QMailMessageIdList ids;
    const int first = int(qMin<uint>(offset, uint(matching.size())));
    const int end = limit == 0 ? matching.size() : int(qMin<quint64>(quint64(first) + limit, quint64(matching.size())));
    ids.reserve(end - first);
    for (int i = first; i < end; ++i)
        ids.append(matching.at(i).id());
    return ids;
}

QHash<QMailMessageId, QString> QMailStore::messageIdentifiers(const QMailMessageIdList &ids)
{
    QHash<QMailMessageId, QString> result;
    const QHash<quint64, QString> known = d->index.messageIds();
    QHash<quint64, QString> read;
    for (const QMailMessageId &id : ids) {
        const auto it = known.constFind(id.toULongLong());
        if (it != known.constEnd()) {
            result.insert(id, it.value());
            continue;
        }
        const QMailMessage headers = d->load(id, true);
        if (!headers.id().isValid())
            continue;
        const QString messageId = headers.headerFieldText("Message-ID").trimmed();
        result.insert(id, messageId);
        read.insert(id.toULongLong(), messageId);
    }
    // Kept for next time; what cannot be written is read again then.
    if (!read.isEmpty() && d->index.begin()) {
        bool kept = true;
        for (auto it = read.constBegin(); kept && it != read.constEnd(); ++it)
            kept = d->index.setMessageId(it.key(), it.value());
        if (!kept || !d->index.commit())
            d->index.rollback();
    }
    return result;
}

QMailMessage QMailStore::message(const QMailMessageId &id) const
{
    return d->load(id, false);
}

QMailMessage QMailStore::messageHeaders(const QMailMessageId &id) const
{
    return d->load(id, true);
}

QMailMessageMetaData QMailStore::messageMetaData(const QMailMessageId &id) const
{
    const QMailStorePrivate::Record *record = d->record(id);
    return record ? d->metaData(*record) : QMailMessageMetaData();
}

bool QMailStore::addMessage(QMailMessage *message)
{
    return addMessages({message});
}

bool QMailStore::addMessages(const QList<QMailMessage *> &messages)
{
    if (!d->valid) {
        d->setError(StorageError, QStringLiteral("the store is not open: ") + d->error);
        return false;
    }
    QList<MailIndex::Row> rows;
    for (QMailMessage *message : messages) {
        if (message->toRfc2822().isEmpty()) {
            d->setError(StorageError, QStringLiteral("a message without text cannot be stored"));
            return false;
        }
        MailIndex::Row row;
        row.name = Maildir::uniqueName();
        row.received = message->receivedDate().isNull() ? QDateTime::currentDateTimeUtc()
                                                        : message->receivedDate().toUTC();
        row.status = message->status();
        row.account = message->account();
        row.mailbox = message->mailbox();
        row.uidValidity = message->uidValidity();
        row.uid = message->serverUid();
        rows.append(row);
    }

    // Nothing is visible before it is complete: files wait in tmp/.
    QString problem;
    QStringList staged;
    bool complete = false;
    for (int i = 0; i < messages.size(); ++i) {
        const QString file = d->maildir.stage(messages.at(i)->toRfc2822(), rows.at(i).name, &problem);
        if (file.isEmpty())
            break;
        staged.append(file);
        complete = complete || rows.at(i).status & QMailMessageMetaData::ContentAvailable;
    }
    // Headers can be fetched again; whole messages may exist nowhere else.
    if (staged.size() < messages.size() || (complete && !d->maildir.flush(&problem))) {
        for (const QString &file : qAsConst(staged))
            d->maildir.discard(file);
        d->setError(StorageError, problem);
        return false;
    }

    // Rows first: whoever sees a file finds what the index says of it.
    QStringList names;
    for (const MailIndex::Row &row : qAsConst(rows))
        names.append(row.name);
    bool indexed = d->index.begin();
    for (int i = 0; indexed && i < rows.size(); ++i) {
        indexed = d->index.insert(rows[i]);
        // Not kept, it is read from the file when asked for.
        if (indexed)
            d->index.setMessageId(rows.at(i).id, messages.at(i)->headerFieldText("Message-ID").trimmed());
    }
    if (!indexed || !d->index.commit()) {
        d->index.rollback();
        for (const QString &file : qAsConst(staged))
            d->maildir.discard(file);
        d->setError(StorageError, d->index.errorString());
        return false;
    }
    d->rowsStale = true;

    bool ok = true;
    for (int i = 0; i < messages.size(); ++i) {
        const MailIndex::Row &row = rows.at(i);
        // Stored already, from the server it came from.
        if (row.name != names.at(i)) {
            d->maildir.discard(staged.at(i));
            messages.at(i)->setId(QMailMessageId(row.id));
            messages.at(i)->setReceivedDate(QMailTimeStamp(row.received));
            continue;
        }
        if (!d->maildir.publish(staged.at(i), QMailStorePrivate::placeOf(row), &problem)) {
            d->setError(StorageError, problem);
            ok = false;
            continue;
        }
        messages.at(i)->setId(QMailMessageId(row.id));
        messages.at(i)->setReceivedDate(QMailTimeStamp(row.received));
    }
    if (ok)
        d->setError(NoError, QString());
    d->rescan();
    return ok;
}

bool QMailStore::updateMessage(QMailMessage *message)
{
    return updateMessages({message});
}

bool QMailStore::updateMessages(const QList<QMailMessage *> &messages)
{
    if (!d->valid) {
        d->setError(StorageError, QStringLiteral("the store is not open: ") + d->error);
        return false;
    }
    QList<const QMailStorePrivate::Record *> records;
    for (QMailMessage *message : messages) {
        const QMailStorePrivate::Record *record = d->record(message->id());
        if (!record) {
            d->setError(InvalidId, QStringLiteral("no message %1 to update").arg(message->id().toULongLong()));
            return false;
        }
        if (message->toRfc2822().isEmpty()) {
            d->setError(StorageError, QStringLiteral("a message without text cannot be stored"));
            return false;
        }
        records.append(record);
    }

    QString problem;
    QStringList staged;
    for (QMailMessage *message : messages) {
        // Not under the message's name: this is no add to finish (see recoverStaged()).
        const QString file = d->maildir.stage(message->toRfc2822(), Maildir::uniqueName(), &problem);
        if (file.isEmpty())
            break;
        staged.append(file);
    }
    // The new text replaces the old only once it is on disk.
    if (staged.size() < messages.size() || !d->maildir.flush(&problem)) {
        for (const QString &file : qAsConst(staged))
            d->maildir.discard(file);
        d->setError(StorageError, problem);
        return false;
    }

    // The new status commits with the new files in place, and only for those.
    if (!d->index.begin()) {
        for (const QString &file : qAsConst(staged))
            d->maildir.discard(file);
        d->setError(StorageError, d->index.errorString());
        return false;
    }
    bool ok = true;
    for (int i = 0; i < messages.size(); ++i) {
        const MailIndex::Row before = records.at(i)->row;
        MailIndex::Row row = before;
        row.status = messages.at(i)->status();
        // A message of no server (imported) may be given the one it is on.
        if (row.account.isEmpty() && !messages.at(i)->account().isEmpty()) {
            row.account = messages.at(i)->account();
            row.mailbox = messages.at(i)->mailbox();
            row.uidValidity = messages.at(i)->uidValidity();
            row.uid = messages.at(i)->serverUid();
        }
        if (!d->index.update(row)) {
            d->maildir.discard(staged.at(i));
            d->setError(StorageError, d->index.errorString());
            ok = false;
            continue;
        }
        if (!d->maildir.publish(staged.at(i), records.at(i)->file.relativePath, &problem)) {
            d->index.update(before);
            d->setError(StorageError, problem);
            ok = false;
        } else {
            d->index.setMessageId(row.id, messages.at(i)->headerFieldText("Message-ID").trimmed());
        }
    }
    if (!d->index.commit()) {
        d->setError(StorageError, d->index.errorString());
        ok = false;
    }
    d->rowsStale = true;
    if (ok)
        d->setError(NoError, QString());
    d->rescan();
    return ok;
}

bool QMailStore::removeMessage(const QMailMessageId &id)
{
    if (!d->record(id)) {
        d->setError(InvalidId, QStringLiteral("no message %1 to remove").arg(id.toULongLong()));
        return false;
    }
    return removeMessages(QMailMessageKey::id(id));
}

bool QMailStore::removeMessages(const QMailMessageKey &key)
{
    const QMailMessageIdList ids = queryMessages(key);
    bool ok = true;
    for (const QMailMessageId &id : ids) {
        const QMailStorePrivate::Record *record = d->record(id);
        QString problem;
        if (record && !d->maildir.remove(record->file.relativePath, &problem)) {
            d->setError(StorageError, problem);
            ok = false;
        }
    }
    if (ok)
        d->setError(NoError, QString());
    d->rescan();
    return ok;
}
