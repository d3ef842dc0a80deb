// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MAILINDEX_H
#define MAILINDEX_H

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QString>

#include "sqlitefile.h"

/*
 * The store's SQLite index beside the Maildir: one row per message file (by
 * its Maildir unique name) with the stable id and what the file cannot say
 * itself: reception time, status flags, and the account and server place it
 * came from. Several processes share it (WAL, immediate transactions, waiting
 * for a busy writer). Rows outlive their files, so that a file that comes back
 * keeps its id and a synchronisation does not fetch a removed message again.
 */
class MailIndex
{
public:
    struct Row
    {
        quint64 id = 0;
        QString name;
        QDateTime received; // UTC; invalid when unknown
        quint64 status = 0;
        QString account;
        QString mailbox;
        qint64 uidValidity = 0;
        qint64 uid = 0;

        bool operator==(const Row &other) const;
        bool operator!=(const Row &other) const { return !(*this == other); }
    };

    MailIndex();
    ~MailIndex();
    MailIndex(const MailIndex &) = delete;
    MailIndex &operator=(const MailIndex &) = delete;

    bool open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    // Changes whenever another connection has committed.
    qint64 dataVersion();
    QHash<QString, Row> rows();
    qint64 highestUid(const QString &account, const QString &mailbox, qint64 uidValidity);

    bool begin();
    bool commit();
    void rollback();
    // Adds the row unless its name is known; either way row.id is the name's id.
    bool insert(Row &row);
    bool update(const Row &row);
    // The Message-ID header of each message whose file was read for it
    // ("" where it has none), by id.
    QHash<quint64, QString> messageIds();
    bool setMessageId(quint64 id, const QString &messageId);

private:
    SqliteFile m_file;
};

#endif // MAILINDEX_H
