// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MAILDIR_H
#define MAILDIR_H

#include <QtCore/QByteArray>
#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QString>

/*
 * The message files of one Maildir: new/ and cur/, written through tmp/ and
 * moved into place, so that readers never see half a file. A message is known
 * by its unique name, the part of the file name before ":", which stays when a
 * mail reader moves it from new/ to cur/ or changes its flags.
 */
class Maildir
{
public:
    struct Entry
    {
        QString name;         // the unique name
        QString relativePath; // "new/<file>" or "cur/<file>"
        qint64 size = 0;
        qint64 modified = 0;  // nanoseconds
        quint64 inode = 0;
        // Whether the file is no longer the one of another entry with these values.
        bool sameFile(const Entry &other) const;
    };

    explicit Maildir(const QString &path);

    QString path() const { return m_path; }
    // Creates new/, cur/ and tmp/ when missing.
    bool create(QString *error) const;

    // Files listed in known with the same path and inode are taken from there
    // without a stat: Maildir files are replaced, never rewritten in place.
    QHash<QString, Entry> scan(const QHash<QString, Entry> &known = {}) const;
    // Written this recently, a file another program puts straight into new/
    // (cp, rsync) may still be growing: no directory change tells when it is done.
    static bool mayBeGrowing(const Entry &entry);

    // A fresh unique name, as Maildir writers make them.
    static QString uniqueName();
    // The unique name of a file name.
    static QString nameOf(const QString &fileName);
    // The Maildir flags of a file name ("S" for seen, ...).
    static QString flagsOf(const QString &fileName);

    // Writing is in three steps, so that many files cost one flush: stage()
    // writes data to tmp/ under the unique name given, flush() puts everything
    // written on disk, publish() moves a staged file to relativePath,
    // replacing a file there.
    QString stage(const QByteArray &data, const QString &name, QString *error) const;
    bool flush(QString *error) const;
    bool publish(const QString &staged, const QString &relativePath, QString *error) const;
    void discard(const QString &staged) const;
    bool remove(const QString &relativePath, QString *error) const;
    // The files in tmp/ by name, with their modification times (seconds
    // since the epoch), and where each lies.
    QHash<QString, qint64> staged() const;
    QString stagedPath(const QString &name) const;

    // The file's text; only its header block when it is larger than limit
    // (truncated is then set). Empty with error on failure.
    QByteArray read(const QString &relativePath, qint64 limit, bool *truncated, QString *error) const;
    // Only the header block; hasBody: anything but blanks follows it.
    QByteArray readHead(const QString &relativePath, bool *hasBody, QString *error) const;

private:
    static QByteArray headOf(QFile &file);

    QString m_path;
};

#endif // MAILDIR_H
