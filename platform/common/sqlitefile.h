// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef SQLITEFILE_H
#define SQLITEFILE_H

#include <QtCore/QElapsedTimer>
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
    // Opened as the file is on disk, for reading only (see openAsItIs()).
    bool isReadOnly() const { return m_readOnly; }
    // isOpen(), where a file read as it is on disk is first opened the
    // normal way again if the disk allows it now (tried every two seconds).
    bool isReady();
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

    // Where SQLite cannot keep a reader's shared-memory index beside the file
    // (a full disk, a read-only file system), a file that no process has
    // open, so without a write-ahead log to miss, can still be read as it is
    // on disk. Opens db so, read-only; false if path is not such a file or
    // cannot be read so either. Changes made later are not seen.
    static bool openAsItIs(QSqlDatabase &db, const QString &path);
    // Whether SQLite's error code (QSqlError::nativeErrorCode()) tells of
    // the disk rather than of the file's content.
    static bool isDiskError(const QString &code);

private:
    bool applySchema(const QStringList &schema, bool locked);
    void reopenWithRoom();
    void close();

    const char *m_tag;
    QString m_kind;
    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
    bool m_open = false;
    bool m_readOnly = false;
    QStringList m_schema;
    QElapsedTimer m_retried;
};

#endif // SQLITEFILE_H
