// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "sqlitefile.h"

#include <QtCore/QAtomicInt>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QThread>
#include <QtCore/QUrl>
#include <QtSql/QSqlError>
#include <QtSql/QSqlQuery>

SqliteFile::SqliteFile(const char *tag, const QString &kind)
    : m_tag(tag)
    , m_kind(kind)
{
}

SqliteFile::~SqliteFile()
{
    if (m_connectionName.isEmpty())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    // Process-wide owners can destroy us in the exit handlers, after the
    // application object, when Qt's connection registry may be gone already.
    if (QCoreApplication::instance())
        QSqlDatabase::removeDatabase(m_connectionName);
}

void SqliteFile::fail(const QString &what, const QString &error)
{
    m_error = what + QLatin1String(": ") + error;
    qWarning("%s: %s (%s)", m_tag, qPrintable(m_error), qPrintable(m_path));
}

void SqliteFile::close()
{
    m_open = false;
    m_readOnly = false;
    m_db.close();
}

bool SqliteFile::open(const QString &path, const QStringList &schema)
{
    m_path = path;
    m_schema = schema;
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) {
        fail(QStringLiteral("cannot create the directory"), dir);
        return false;
    }
    if (m_connectionName.isEmpty()) {
        static QAtomicInt counter;
        m_connectionName = QStringLiteral("%1-%2").arg(QLatin1String(m_tag)).arg(counter.fetchAndAddRelaxed(1));
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    }
    m_db.setDatabaseName(path);
    // Another process may be writing: wait for it instead of failing.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!m_db.open()) {
        fail(QLatin1String("cannot open the ") + m_kind, m_db.lastError().text());
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
            const QString error = wal.lastError().text();
            wal.finish();
            close();
            if (isDiskError(code) && openAsItIs(m_db, path) && applySchema(schema, false)) {
                m_open = true;
                m_readOnly = true;
                m_retried.start();
                m_error = QLatin1String("the disk is full or read-only: the ") + m_kind + QLatin1String(" can only be read");
                qWarning("%s: %s, as it is now (%s)", m_tag, qPrintable(m_error), qPrintable(error));
                return true;
            }
            m_db.close();
            fail(QLatin1String("not a usable ") + m_kind, error);
            return false;
        }
        QThread::msleep(20);
    }
    wal.finish();

    m_open = true; // begin() and exec() need it
    // A schema already in place needs no write lock, so a reader does not
    // wait for another process's long write. Where it is not (a new file,
    // or one that upgrade found busy), it is made under the write lock.
    if (applySchema(schema, false) || applySchema(schema, true))
        return true;
    close();
    return false;
}

bool SqliteFile::applySchema(const QStringList &schema, bool locked)
{
    QSqlQuery query(m_db);
    if (!query.exec(locked ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"))) {
        if (locked)
            fail(QStringLiteral("statement failed"), query.lastError().text());
        return false;
    }
    for (const QString &statement : schema) {
        if (!query.exec(statement)) {
            if (locked)
                fail(QStringLiteral("statement failed"), query.lastError().text());
            rollback();
            return false;
        }
    }
    if (query.exec(QStringLiteral("COMMIT")))
        return true;
    if (locked)
        fail(QStringLiteral("statement failed"), query.lastError().text());
    rollback();
    return false;
}

bool SqliteFile::exec(const QString &statement)
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

bool SqliteFile::openAsItIs(QSqlDatabase &db, const QString &path)
{
    const QFileInfo file(path);
    const QFileInfo log(path + QLatin1String("-wal"));
    if (!file.isFile() || file.size() == 0 || (log.exists() && log.size() > 0))
        return false;
    db.close();
    db.setDatabaseName(QStringLiteral("file:%1?immutable=1")
                           .arg(QString::fromLatin1(QUrl::toPercentEncoding(file.absoluteFilePath(), "/"))));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
    QSqlQuery check(db);
    const bool readable = db.open() && check.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    check.finish();
    if (!readable)
        db.close();
    return readable;
}

bool SqliteFile::isReady()
{
    if (m_readOnly && m_retried.hasExpired(2000))
        reopenWithRoom();
    return m_open;
}

void SqliteFile::reopenWithRoom()
{
    close();
    if (open(m_path, m_schema) && !m_readOnly)
        qWarning("%s: there is room again: the %s is used the normal way (%s)", m_tag, qPrintable(m_kind),
                 qPrintable(m_path));
}

bool SqliteFile::isDiskError(const QString &code)
{
    bool valid = false;
    const int primary = code.toInt(&valid) & 0xff;
    // SQLITE_READONLY, SQLITE_IOERR, SQLITE_FULL, SQLITE_CANTOPEN
    return valid && (primary == 8 || primary == 10 || primary == 13 || primary == 14);
}

bool SqliteFile::begin()
{
    // A write is asked for: try at once whether there is room now.
    if (m_readOnly)
        reopenWithRoom();
    if (m_readOnly) {
        qWarning("%s: %s (%s)", m_tag, qPrintable(m_error), qPrintable(m_path));
        return false;
    }
    // Immediate: take the write lock now, so that a transaction never has to
    // upgrade its lock while another process writes.
    return exec(QStringLiteral("BEGIN IMMEDIATE"));
}

bool SqliteFile::commit()
{
    if (exec(QStringLiteral("COMMIT")))
        return true;
    rollback();
    return false;
}

void SqliteFile::rollback()
{
    if (!m_open)
        return;
    QSqlQuery query(m_db);
    query.exec(QStringLiteral("ROLLBACK"));
}
