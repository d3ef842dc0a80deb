#include "mailindex.h"

#include <QtCore/QAtomicInt>
#include <QtCore/QCoreApplication>
#include <QtCore/QThread>
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

MailIndex::~MailIndex()
{
    if (m_connectionName.isEmpty())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    // The store may go in the exit handlers, after the application object,
    // when Qt's connection registry may be gone already.
    if (QCoreApplication::instance())
        QSqlDatabase::removeDatabase(m_connectionName);
}

void MailIndex::fail(const QString &what, const QString &error)
{
    m_error = what + QLatin1String(": ") + error;
    qWarning("QMailStore: %s (%s)", qPrintable(m_error), qPrintable(m_path));
}

bool MailIndex::open(const QString &path)
{
    static QAtomicInt counter;
    m_path = path;
    m_connectionName = QStringLiteral("qmailstore-%1").arg(counter.fetchAndAddRelaxed(1));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    // Another process may be writing: wait for it instead of failing.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!m_db.open()) {
        fail(QStringLiteral("cannot open the mail index"), m_db.lastError().text());
        return false;
    }

    // The first statement is the first that reads the file: a damaged one
    // fails here. While another process turns a new file to WAL, SQLite
    // answers "busy" at once instead of waiting: try again for a while.
    QSqlQuery wal(m_db);
    for (int attempt = 0; !wal.exec(QStringLiteral("PRAGMA journal_mode=WAL")); ++attempt) {
        const QString code = wal.lastError().nativeErrorCode();
        const bool busy = code == QLatin1String("5") || code == QLatin1String("6");
        if (!busy || attempt == 500) {
            fail(QStringLiteral("not a usable mail index"), wal.lastError().text());
            wal.finish();
            m_db.close();
            return false;
        }
        QThread::msleep(20);
    }
    wal.finish();

    // AUTOINCREMENT: an id is never given to another file, not even after its row went.
    const QStringList schema = {
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
    };
    m_open = true; // begin() and exec() need it
    if (!begin()) {
        m_open = false;
        m_db.close();
        return false;
    }
    for (const QString &statement : schema) {
        if (!exec(statement)) {
            rollback();
            m_open = false;
            m_db.close();
            return false;
        }
    }
    if (!commit()) {
        m_open = false;
        m_db.close();
        return false;
    }
    return true;
}

bool MailIndex::exec(const QString &statement)
{
    if (!m_open)
        return false;
    QSqlQuery query(m_db);
    if (!query.exec(statement)) {
        fail(QStringLiteral("statement failed"), query.lastError().text());
        return false;
    }
    return true;
}

qint64 MailIndex::dataVersion()
{
    if (!m_open)
        return -1;
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

QHash<QString, MailIndex::Row> MailIndex::rows()
{
    QHash<QString, Row> result;
    if (!m_open)
        return result;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QLatin1String("SELECT ") + QLatin1String(RowColumns) + QLatin1String(" FROM messages"))) {
        fail(QStringLiteral("cannot read the index"), query.lastError().text());
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
    if (!m_open)
        return 0;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT MAX(uid) FROM messages WHERE account = :account AND mailbox = :mailbox "
                                 "AND uidvalidity = :uidvalidity"));
    query.bindValue(QStringLiteral(":account"), textToSql(account));
    query.bindValue(QStringLiteral(":mailbox"), textToSql(mailbox));
    query.bindValue(QStringLiteral(":uidvalidity"), uidValidity);
    if (!query.exec() || !query.next()) {
        fail(QStringLiteral("cannot read the index"), query.lastError().text());
        return 0;
    }
    return query.value(0).toLongLong();
}

bool MailIndex::begin()
{
    // Immediate: take the write lock now, so that a transaction never has to
    // upgrade its lock while another process writes.
    return exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool MailIndex::commit()
{
    if (exec(QStringLiteral("COMMIT")))
        return true;
    rollback();
    return false;
}

void MailIndex::rollback()
{
    if (!m_open)
        return;
    QSqlQuery query(m_db);
    query.exec(QStringLiteral("ROLLBACK"));
}

bool MailIndex::insert(Row &row)
{
    if (!m_open)
        return false;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("INSERT OR IGNORE INTO messages (name, received, status, account, mailbox, "
                                 "uidvalidity, uid) VALUES (:name, :received, :status, :account, :mailbox, "
                                 ":uidvalidity, :uid)"));
    query.bindValue(QStringLiteral(":name"), row.name);
    bindRow(query, row);
    if (!query.exec()) {
        fail(QStringLiteral("cannot add a message"), query.lastError().text());
        return false;
    }
    // Another process may have indexed the same file first: its id stands.
    QSqlQuery select(m_db);
    select.prepare(QLatin1String("SELECT ") + QLatin1String(RowColumns)
                   + QLatin1String(" FROM messages WHERE name = :name"));
    select.bindValue(QStringLiteral(":name"), row.name);
    if (!select.exec() || !select.next()) {
        fail(QStringLiteral("cannot read a message back"), select.lastError().text());
        return false;
    }
    row = rowFromQuery(select);
    return true;
}

bool MailIndex::update(const Row &row)
{
    if (!m_open)
        return false;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("UPDATE messages SET received = :received, status = :status, account = :account, "
                                 "mailbox = :mailbox, uidvalidity = :uidvalidity, uid = :uid WHERE id = :id"));
    bindRow(query, row);
    query.bindValue(QStringLiteral(":id"), qint64(row.id));
    if (!query.exec()) {
        fail(QStringLiteral("cannot change a message"), query.lastError().text());
        return false;
    }
    if (query.numRowsAffected() != 1) {
        m_error = QStringLiteral("no message %1 in the index").arg(row.id);
        return false;
    }
    return true;
}
