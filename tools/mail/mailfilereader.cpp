// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "mailfilereader.h"

#include <QtCore/QRegularExpression>

namespace {

bool isSeparator(const QByteArray &line, bool blankBefore)
{
    if (!line.startsWith("From "))
        return false;
    // A separator names a sender and a time ("From ann@example.org Sun Mar 29
    // 12:05:00 2026", "From - ..."): an mbox writer that does not quote a line
    // of text beginning with "From " ("From now on, ...") leaves no such line.
    static const QRegularExpression separator(QStringLiteral("^From \\S+ +.*\\b\\d{1,2}:\\d\\d\\b.*\\b\\d{4}\\b"));
    // Some writers leave out the blank line before it; then only the whole
    // date as they write it ("Thu Dec 10 09:02:00 2026") separates.
    static const QRegularExpression ctime(QStringLiteral(
        "^From \\S+ +(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) +\\d{1,2} "
        "\\d\\d:\\d\\d(:\\d\\d)? (\\S+ )?\\d{4}\\s*$"));
    const QString text = QString::fromLatin1(line);
    return (blankBefore && separator.match(text).hasMatch()) || ctime.match(text.trimmed()).hasMatch();
}

} // namespace

MailFileReader::MailFileReader(const QString &fileName)
    : m_file(fileName)
{
}

bool MailFileReader::open()
{
    m_file.close();
    m_error.clear();
    m_ended = false;
    m_blankBefore = true;
    m_lineNumber = 0;
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(m_file.fileName(), m_file.errorString()));
    // A byte order mark (some Windows programs write one) would be part of the
    // first header's name: the message would have no sender.
    if (m_file.peek(3) == "\xEF\xBB\xBF")
        m_file.read(3);
    m_mbox = m_file.peek(5) == "From ";
    if (!m_mbox && m_file.size() > MaxMessageSize)
        return fail(QStringLiteral("%1 is larger than %2 MiB").arg(m_file.fileName()).arg(MaxMessageSize / 1024 / 1024));
    // The first line of an mbox separates, whatever it says.
    QByteArray first;
    if (m_mbox && !readLine(&first))
        return m_error.isEmpty();
    return true;
}

bool MailFileReader::readLine(QByteArray *line)
{
    line->clear();
    // In pieces: a file of one endless line must not take all memory.
    char piece[64 * 1024];
    for (;;) {
        const qint64 got = m_file.readLine(piece, sizeof piece);
        if (got < 0) {
            if (m_file.error() != QFileDevice::NoError)
                return fail(QStringLiteral("cannot read %1: %2").arg(m_file.fileName(), m_file.errorString()));
            if (line->isEmpty())
                return false;
            break;
        }
        line->append(piece, int(got));
        if (got == 0 || piece[got - 1] == '\n')
            break;
        if (line->size() > MaxMessageSize)
            return fail(QStringLiteral("%1 has a line of more than %2 MiB near line %3")
                            .arg(m_file.fileName())
                            .arg(MaxMessageSize / 1024 / 1024)
                            .arg(m_lineNumber + 1));
    }
    ++m_lineNumber;
    if (line->endsWith('\n'))
        line->chop(1);
    return true;
}

bool MailFileReader::next(QByteArray *message)
{
    message->clear();
    if (m_ended || !m_file.isOpen())
        return false;
    if (!m_mbox) {
        m_ended = true;
        *message = m_file.readAll();
        if (m_file.error() != QFileDevice::NoError)
            return fail(QStringLiteral("cannot read %1: %2").arg(m_file.fileName(), m_file.errorString()));
        return true;
    }
    QByteArray line;
    bool any = false;
    bool separated = false;
    bool inHeader = true;
    // Writers that give each message its Content-Length (mboxcl, mboxcl2)
    // leave "From " lines in the text unquoted: within that length they are text.
    qint64 textEnd = -1;
    for (;;) {
        const qint64 lineStart = m_file.pos();
        if (!readLine(&line))
            break;
        any = true;
        if (inHeader && line.trimmed().isEmpty()) {
            inHeader = false;
            static const QRegularExpression length(QStringLiteral("^Content-Length:[ \\t]*(\\d{1,12})[ \\t\\r]*$"),
                                                   QRegularExpression::MultilineOption
                                                       | QRegularExpression::CaseInsensitiveOption);
            const QRegularExpressionMatch match = length.match(QString::fromLatin1(*message));
            if (match.hasMatch())
                textEnd = bodyEnd(m_file.pos(), match.captured(1).toLongLong());
        }
        if (lineStart >= textEnd && isSeparator(line, m_blankBefore)) {
            separated = true;
            m_blankBefore = true;
            break;
        }
        *message += line;
        *message += '\n';
        m_blankBefore = line.trimmed().isEmpty();
        if (message->size() > MaxMessageSize)
            return fail(QStringLiteral("a message of %1 before line %2 is larger than %3 MiB")
                            .arg(m_file.fileName())
                            .arg(m_lineNumber + 1)
                            .arg(MaxMessageSize / 1024 / 1024));
    }
    if (!m_error.isEmpty())
        return false;
    if (!separated)
        m_ended = true;
    if (!any)
        return false;
    // The blank line before the next "From " line belongs to the box.
    message->chop(message->endsWith("\r\n\r\n") ? 2 : message->endsWith("\n\n") ? 1 : 0);
    static const QRegularExpression quoted(QStringLiteral("^>(>*From )"), QRegularExpression::MultilineOption);
    if (message->contains(">From "))
        *message = QString::fromLatin1(*message).replace(quoted, QStringLiteral("\\1")).toLatin1();
    return true;
}

qint64 MailFileReader::bodyEnd(qint64 bodyStart, qint64 length)
{
    if (length > MaxMessageSize)
        return -1;
    const qint64 resume = m_file.pos();
    const qint64 end = bodyStart + length;
    qint64 result = -1;
    if (end == m_file.size()) {
        result = end;
    } else if (end < m_file.size() && m_file.seek(end)) {
        // The separator, after the blank line that ends a message, or at once.
        const QByteArray after = m_file.read(1024);
        const int blank = after.startsWith("\r\n") ? 2 : after.startsWith('\n') ? 1 : 0;
        const QByteArray next = after.mid(blank);
        const int lineEnd = next.indexOf('\n');
        if (isSeparator(lineEnd < 0 ? next : next.left(lineEnd), true))
            result = end;
    }
    m_file.seek(resume);
    return result;
}

QString MailFileReader::error() const
{
    return m_error;
}

bool MailFileReader::fail(const QString &problem)
{
    m_error = problem;
    m_ended = true;
    return false;
}
