// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef SQLITEFILE_H
#define SQLITEFILE_H

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtSql/QSqlDatabase>

/*
 * One connection to an SQLite file that several processes use at once: it
 * runs in WAL mode, waits for a busy writer rather than failing, and every
 * change runs in an immediate transaction. A missing file is created with the
 * schema; one that cannot be used gives a warning and leaves the connection
 * closed, so that a damaged file is never overwritten.
 */
class SqliteFile
{
public:
    // tag starts the warnings ("CommHistory"); kind names the file in them
    // ("history database").
    SqliteFile(const char *tag, const QString &kind);
    ~SqliteFile();
    SqliteFile(const SqliteFile &) = delete;
    SqliteFile &operator=(const SqliteFile &) = delete;

    // Opens path (creating its directory) and creates what schema lacks.
    bool open(const QString &path, const QStringList &schema);
    bool isOpen() const { return m_open; }
    QSqlDatabase &database() { return m_db; }
    QString path() const { return m_path; }

    QString errorString() const { return m_error; }
    void setErrorString(const QString &error) { m_error = error; }
    // Sets the error string and warns.
    void fail(const QString &what, const QString &error);

    bool exec(const QString &statement);
    // Immediate: takes the write lock at once.
    bool begin();
    // Rolls back when the commit fails.
    bool commit();
    void rollback();

private:
    bool applySchema(const QStringList &schema, bool locked);
    void close();

    const char *m_tag;
    QString m_kind;
    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
    bool m_open = false;
};

#endif // SQLITEFILE_H
