// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mailindex.h"

#include <QtCore/QVariant>
#include <QtSql/QSqlError>
#include <QtSql/QSqlQuery>

namespace {

const char RowColumns[] = "id, name, received, status, account, mailbox, uidvalidity, uid";

MailIndex::Row rowFromQuery(const QSqlQuery &query)
{
    MailIndex::Row row;
    row.id = query.value(0).toULongLong();
    row.name = query.value(1).toString();
    if (!query.value(2).isNull())
        row.received = QDateTime::fromMSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC);
    row.status = query.value(3).toULongLong();
    row.account = query.value(4).toString();
    row.mailbox = query.value(5).toString();
    row.uidValidity = query.value(6).toLongLong();
    row.uid = query.value(7).toLongLong();
    return row;
}

// Text columns are NOT NULL: a null QString binds as NULL, an empty one as ''.
QString textToSql(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

void bindRow(QSqlQuery &query, const MailIndex::Row &row)
{
    query.bindValue(QStringLiteral(":received"),
                    row.received.isValid() ? QVariant(row.received.toMSecsSinceEpoch()) : QVariant(QVariant::LongLong));
    query.bindValue(QStringLiteral(":status"), qint64(row.status));
    query.bindValue(QStringLiteral(":account"), textToSql(row.account));
    query.bindValue(QStringLiteral(":mailbox"), textToSql(row.mailbox));
    query.bindValue(QStringLiteral(":uidvalidity"), row.uidValidity);
    query.bindValue(QStringLiteral(":uid"), row.uid);
}

} // namespace

bool MailIndex::Row::operator==(const Row &other) const
{
    return id == other.id && name == other.name && received == other.received && status == other.status
        && account == other.account && mailbox == other.mailbox && uidValidity == other.uidValidity
        && uid == other.uid;
}

MailIndex::MailIndex()
    : m_file("QMailStore", QStringLiteral("mail index"))
{
}

MailIndex::~MailIndex() = default;

bool MailIndex::open(const QString &path)
{
    // AUTOINCREMENT: an id is never given to another file, not even after its row went.
    const bool opened = m_file.open(path, {
        QStringLiteral("CREATE TABLE IF NOT EXISTS messages ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "name TEXT NOT NULL UNIQUE, "
                       "received INTEGER, "
                       "status INTEGER NOT NULL DEFAULT 0, "
                       "account TEXT NOT NULL DEFAULT '', "
                       "mailbox TEXT NOT NULL DEFAULT '', "
                       "uidvalidity INTEGER NOT NULL DEFAULT 0, "
                       "uid INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS messages_by_server "
                       "ON messages (account, mailbox, uidvalidity, uid)"),
    });
    // Each file's Message-ID ("" for none), so that finding a message again
    // reads no files; a file without a row here was not read yet. Added to
    // stores made before it, where it can be written: without it, the files
    // are read as before.
    if (opened && !m_file.isReadOnly()) {
        QSqlQuery query(m_file.database());
        if (!query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS message_ids "
                                       "(id INTEGER PRIMARY KEY, message_id TEXT NOT NULL)")))
            qWarning("QMailStore: the index keeps no Message-IDs: %s", qPrintable(query.lastError().text()));
    }
    return opened;
}

bool MailIndex::begin()
{
    return m_file.begin();
}

bool MailIndex::commit()
{
    return m_file.commit();
}

void MailIndex::rollback()
{
    m_file.rollback();
}

qint64 MailIndex::dataVersion()
{
    if (!m_file.isReady())
        return -1;
    QSqlQuery query(m_file.database());
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

QHash<QString, MailIndex::Row> MailIndex::rows()
{
    QHash<QString, Row> result;
    if (!m_file.isReady())
        return result;
    QSqlQuery query(m_file.database());
    query.setForwardOnly(true);
    if (!query.exec(QLatin1String("SELECT ") + QLatin1String(RowColumns) + QLatin1String(" FROM messages"))) {
        m_file.fail(QStringLiteral("cannot read the index"), query.lastError().text());
        return result;
    }
    while (query.next()) {
        const Row row = rowFromQuery(query);
        result.insert(row.name, row);
    }
    return result;
}

qint64 MailIndex::highestUid(const QString &account, const QString &mailbox, qint64 uidValidity)
{
    if (!m_file.isReady())
        return 0;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("SELECT MAX(uid) FROM messages WHERE account = :account AND mailbox = :mailbox "
                                 "AND uidvalidity = :uidvalidity"));
    query.bindValue(QStringLiteral(":account"), textToSql(account));
    query.bindValue(QStringLiteral(":mailbox"), textToSql(mailbox));
    query.bindValue(QStringLiteral(":uidvalidity"), uidValidity);
    if (!query.exec() || !query.next()) {
        m_file.fail(QStringLiteral("cannot read the index"), query.lastError().text());
        return 0;
    }
    return query.value(0).toLongLong();
}




bool MailIndex::insert(Row &row)
{
    if (!m_file.isReady())
        return false;
    // A message of a server another sync stored meanwhile (two syncs at
    // once) is that one: its row stands, and the caller drops its copy.
    if (!row.account.isEmpty() && row.uid > 0) {
        QSqlQuery known(m_file.database());
        known.prepare(QLatin1String("SELECT ") + QLatin1String(RowColumns)
                      + QLatin1String(" FROM messages WHERE account = :account AND mailbox = :mailbox"
                                      " AND uidvalidity = :uidvalidity AND uid = :uid LIMIT 1"));
        known.bindValue(QStringLiteral(":account"), textToSql(row.account));
        known.bindValue(QStringLiteral(":mailbox"), textToSql(row.mailbox));
        known.bindValue(QStringLiteral(":uidvalidity"), row.uidValidity);
        known.bindValue(QStringLiteral(":uid"), row.uid);
        if (!known.exec()) {
            m_file.fail(QStringLiteral("cannot look a message up"), known.lastError().text());
            return false;
        }
        if (known.next()) {
            row = rowFromQuery(known);
            return true;
        }
    }
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("INSERT OR IGNORE INTO messages (name, received, status, account, mailbox, "
                                 "uidvalidity, uid) VALUES (:name, :received, :status, :account, :mailbox, "
                                 ":uidvalidity, :uid)"));
    query.bindValue(QStringLiteral(":name"), row.name);
    bindRow(query, row);
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot add a message"), query.lastError().text());
        return false;
    }
    // Another process may have indexed the same file first: its id stands.
    QSqlQuery select(m_file.database());
    select.prepare(QLatin1String("SELECT ") + QLatin1String(RowColumns)
                   + QLatin1String(" FROM messages WHERE name = :name"));
    select.bindValue(QStringLiteral(":name"), row.name);
    if (!select.exec() || !select.next()) {
        m_file.fail(QStringLiteral("cannot read a message back"), select.lastError().text());
        return false;
    }
    row = rowFromQuery(select);
    return true;
}

bool MailIndex::update(const Row &row)
{
    if (!m_file.isReady())
        return false;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("UPDATE messages SET received = :received, status = :status, account = :account, "
                                 "mailbox = :mailbox, uidvalidity = :uidvalidity, uid = :uid WHERE id = :id"));
    bindRow(query, row);
    query.bindValue(QStringLiteral(":id"), qint64(row.id));
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot change a message"), query.lastError().text());
        return false;
    }
    if (query.numRowsAffected() != 1) {
        m_file.setErrorString(QStringLiteral("no message %1 in the index").arg(row.id));
        return false;
    }
    return true;
}

QHash<quint64, QString> MailIndex::messageIds()
{
    QHash<quint64, QString> result;
    if (!m_file.isReady())
        return result;
    QSqlQuery query(m_file.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, message_id FROM message_ids")))
        return result; // none kept (a store that could not be changed): the files say
    while (query.next())
        result.insert(query.value(0).toULongLong(), query.value(1).toString());
    return result;
}

bool MailIndex::setMessageId(quint64 id, const QString &messageId)
{
    if (!m_file.isReady())
        return false;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO message_ids (id, message_id) VALUES (:id, :message_id)"));
    query.bindValue(QStringLiteral(":id"), qint64(id));
    query.bindValue(QStringLiteral(":message_id"), textToSql(messageId));
    return query.exec();
}
