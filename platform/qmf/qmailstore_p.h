// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILSTORE_P_H
#define QMAILSTORE_P_H

#include <QtCore/QFileSystemWatcher>
#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QTimer>

#include "maildir.h"
#include "mailindex.h"
#include "qmailstore.h"

/*
 * The store's view of the Maildir: every message file with its index row.
 * Changes are found by comparing a fresh listing of new/ and cur/ (and the
 * index, when another process has written it) with this view; a watch on the
 * two directories starts that comparison shortly after any program changed
 * them. Maildir writers move finished files into place, so a listing never
 * sees half a message.
 */
class QMailStorePrivate : public QObject
{
    Q_OBJECT

public:
    struct Record
    {
        Maildir::Entry file;
        MailIndex::Row row;
    };

    // Files larger than this are read only as far as their headers.
    static constexpr qint64 MaxLoadSize = 64 * 1024 * 1024;

    explicit QMailStorePrivate(QMailStore *store);

    void open();
    // Compares the Maildir with the view and reports the differences.
    void rescan();
    // Finishes an add that was killed halfway, and drops what writers
    // left in tmp/ long ago.
    void recoverStaged();
    // Where a new message's file goes.
    static QString placeOf(const MailIndex::Row &row);
    void scheduleRescan();
    QMailMessageMetaData metaData(const Record &record) const;
    // A message read from its file (only its header fields, or whole), with
    // what the index knows of it; empty with the error set if it is gone.
    QMailMessage load(const QMailMessageId &id, bool headersOnly);
    // The index's metadata onto a message read from its file.
    void setMetaData(QMailMessage *message, const Record &record) const;
    const Record *record(const QMailMessageId &id) const;
    void setError(QMailStore::ErrorCode code, const QString &text);

    QMailStore *const q;
    Maildir maildir;
    MailIndex index;
    QFileSystemWatcher watcher;
    QTimer rescanTimer;
    // Another look once files that may still grow have settled.
    QTimer settleTimer;
    bool valid = false;
    QMailStore::ErrorCode errorCode = QMailStore::NoError;
    QString error;

    QHash<QString, Record> records;   // by unique name
    QHash<quint64, QString> names;    // unique name by id
    QHash<QString, Maildir::Entry> knownFiles; // the last scan
    QHash<QString, MailIndex::Row> rows; // the index as last read
    qint64 rowsVersion = -1;
    bool rowsStale = true;

private:
    void readRows();
    // False for a file still being written: indexed once it has settled.
    bool indexFile(const Maildir::Entry &file, MailIndex::Row *row);
};

#endif // QMAILSTORE_P_H
