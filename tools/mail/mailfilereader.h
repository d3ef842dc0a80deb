// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef MAILFILEREADER_H
#define MAILFILEREADER_H

#include <QtCore/QByteArray>
#include <QtCore/QFile>
#include <QtCore/QString>

// The messages of a file, one at a time: the file is one message, or an mbox
// ("From " lines between them, and ">From " for a line of text that began
// with "From "). An mbox is read as it goes, so a mail program's export of
// several gigabytes takes no more memory than its largest message.
class MailFileReader
{
public:
    // Larger messages would be read only as far as their headers.
    static constexpr qint64 MaxMessageSize = 64 * 1024 * 1024;

    explicit MailFileReader(const QString &fileName);

    // Opens the file again from its start; false with error() if it cannot.
    bool open();
    // The next message, or false at the end or on an error (see error()).
    bool next(QByteArray *message);
    // Empty unless open() or next() failed.
    QString error() const;

private:
    bool readLine(QByteArray *line);
    // Where a body of the given length would end, if a separator or the end
    // of the file is there; -1 otherwise (a length that does not fit).
    qint64 bodyEnd(qint64 bodyStart, qint64 length);
    bool fail(const QString &problem);

    QFile m_file;
    QString m_error;
    bool m_mbox = false;
    bool m_blankBefore = true;
    bool m_ended = false;
    qint64 m_lineNumber = 0;
};

#endif
