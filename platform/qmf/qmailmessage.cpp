// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessage.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QTextCodec>

#include <algorithm>

#include <KMime/Message>
#include <kmime/kmime_util.h>

namespace {

// Anything but blanks after the header block.
bool hasBodyText(const QByteArray &data)
{
    int end = data.startsWith('\n') ? 0 : data.indexOf("\n\n");
    if (end < 0)
        return false;
    for (int i = end; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c != '\n' && c != ' ' && c != '\t')
            return true;
    }
    return false;
}

// The newest Received: stamp, whose date follows the last ';'. Relays add
// theirs on top, but a local delivery may add one without a date, and some
// relays keep no order: every stamp is read. Those below the topmost dated
// one come from farther away, a sender's too: one more than a day later than
// it (a relay's wrong clock, a forged header) is no time of this arrival.
QDateTime receivedStamp(KMime::Message *message)
{
    QDateTime newest;
    QDateTime topmost;
    const QVector<KMime::Headers::Base *> received = message->headersByType("Received");
    for (KMime::Headers::Base *header : received) {
        const QByteArray value = header->as7BitString(false);
        const int semicolon = value.lastIndexOf(';');
        if (semicolon < 0)
            continue;
        KMime::Headers::Date date;
        date.from7BitString(value.mid(semicolon + 1).trimmed());
        const QDateTime stamp = date.dateTime();
        if (!stamp.isValid())
            continue;
        if (!topmost.isValid())
            topmost = stamp;
        else if (stamp > topmost.addDays(1))
            continue;
        if (!newest.isValid() || stamp > newest)
            newest = stamp;
    }
    return newest;
}

// Header text in raw 8-bit that is not UTF-8 (old clients write their own
// charset there) is read as Windows' Latin-1, the commonest such charset,
// rather than as replacement characters.
QByteArray withReadableHeaders(const QByteArray &data)
{
    int end = data.indexOf("\n\n");
    if (end < 0)
        end = data.size();
    if (std::none_of(data.cbegin(), data.cbegin() + end, [](char c) { return c & 0x80; }))
        return data;
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(data.constData(), end, &state);
    if (state.invalidChars == 0)
        return data;
    return QTextCodec::codecForName("windows-1252")->toUnicode(data.constData(), end).toUtf8() + data.mid(end);
}

// Mailers split long words into encoded-words without regard to characters,
// so one UTF-8 character may begin in one word and end in the next. The
// blanks between adjacent encoded-words mean nothing (RFC 2047; some mailers
// write none), so words of the same charset and encoding are joined before
// anything decodes them.
// Words that say ISO-8859-1 are read as Windows' Latin-1, as mail readers do:
// Outlook labels its dashes and quotes so, which are C1 controls in Latin-1.
QByteArray withReadableEncodedWords(const QByteArray &data)
{
    int end = data.indexOf("\n\n");
    if (end < 0)
        end = data.size();
    const QByteArray head = QByteArray::fromRawData(data.constData(), end);
    if (!head.contains("?=") || !head.contains("=?"))
        return data;
    static const QRegularExpression adjacent(QStringLiteral(
        "=\\?([^?\\s]+)\\?([bBqQ])\\?([^?\\s]*)\\?=(?:[ \\t]|\\n[ \\t])*=\\?([^?\\s]+)\\?([bBqQ])\\?([^?\\s]*)\\?="));
    QString text = QString::fromLatin1(head);
    bool changed = false;
    // A "B" word that is no base64 decodes to noise: it is shown as written
    // (RFC 2047 6.3), carried in a word of its own that says so.
    static const QRegularExpression base64Word(QStringLiteral("=\\?[^?\\s]+\\?[bB]\\?([^?\\s]*)\\?="));
    static const QRegularExpression base64(QStringLiteral("^(?:[A-Za-z0-9+/]{4})*(?:[A-Za-z0-9+/]{2,3}=*)?$"));
    for (QRegularExpressionMatch match = base64Word.match(text); match.hasMatch();
         match = base64Word.match(text, match.capturedEnd())) {
        if (base64.match(match.capturedRef(1)).hasMatch())
            continue;
        const QString asWritten = QString::fromLatin1(match.captured().toLatin1().toBase64());
        text.replace(match.capturedStart(), match.capturedLength(), QStringLiteral("=?UTF-8?B?%1?=").arg(asWritten));
        match = base64Word.match(text, match.capturedStart());
        changed = true;
    }
    static const QRegularExpression latin1(QStringLiteral("=\\?iso-8859-1(\\*[^?]*)?\\?"),
                                           QRegularExpression::CaseInsensitiveOption);
    const int words = text.size();
    text.replace(latin1, QStringLiteral("=?windows-1252\\1?"));
    changed = changed || text.size() != words;
    int from = 0;
    for (QRegularExpressionMatch match = adjacent.match(text, from); match.hasMatch();
         match = adjacent.match(text, from)) {
        if (match.captured(1).compare(match.captured(4), Qt::CaseInsensitive) != 0
            || match.captured(2).compare(match.captured(5), Qt::CaseInsensitive) != 0) {
            from = match.capturedStart(4) - 2;
            continue;
        }
        QString words;
        if (match.captured(2).compare(QLatin1String("b"), Qt::CaseInsensitive) == 0) {
            const QByteArray bytes = QByteArray::fromBase64(match.captured(3).toLatin1())
                + QByteArray::fromBase64(match.captured(6).toLatin1());
            words = QString::fromLatin1(bytes.toBase64());
        } else {
            words = match.captured(3) + match.captured(6);
        }
        // The joined word may join the next one too.
        text.replace(match.capturedStart(), match.capturedLength(),
                     QStringLiteral("=?%1?%2?%3?=").arg(match.captured(1), match.captured(2), words));
        from = match.capturedStart();
        changed = true;
    }
    return changed ? text.toLatin1() + data.mid(end) : data;
}

} // namespace

QMailMessage QMailMessage::fromRfc2822(const QByteArray &data)
{
    QMailMessage message;
    // Maildir files have LF already: no copy of what may be megabytes.
    message.m_data = data.contains('\r') ? KMime::CRLFtoLF(data) : data;
    message.m_root = QSharedPointer<KMime::Message>::create();
    message.m_root->setContent(withReadableHeaders(withReadableEncodedWords(message.m_data)));
    message.m_root->parse();
    message.m_content = message.m_root.data();

    KMime::Message *parsed = message.m_root.data();
    if (const KMime::Headers::From *from = parsed->from(false)) {
        const QVector<KMime::Types::Mailbox> mailboxes = from->mailboxes();
        if (!mailboxes.isEmpty() && (mailboxes.first().hasAddress() || mailboxes.first().hasName())) {
            message.setFrom(QMailAddress(mailboxes.first().name(), mailboxes.first().addrSpec().asString()));
        } else {
            // No mailbox KMime reads in it: an address in UTF-8 as mail
            // may carry now ("Ann <ann@例え.jp>"); else ("Mailer-Daemon",
            // "Jürgen <>") its text, as a name.
            KMime::Headers::Subject text; // any unstructured header decodes it
            text.from7BitString(KMime::extractHeader(parsed->head(), "From"));
            const QString whole = text.asUnicodeString().simplified();
            static const QRegularExpression angled(QStringLiteral("^(?:\"?([^\"<>]*?)\"?\\s*)?<([^\\s<>@]+@[^\\s<>@]+)>$"));
            static const QRegularExpression bare(QStringLiteral("^[^\\s<>@\"]+@[^\\s<>@\"]+$"));
            static const QRegularExpression emptyAngle(QStringLiteral("\\s*<\\s*>\\s*$"));
            const QRegularExpressionMatch address = angled.match(whole);
            if (address.hasMatch())
                message.setFrom(QMailAddress(address.captured(1), address.captured(2)));
            else if (bare.match(whole).hasMatch())
                message.setFrom(QMailAddress(QString(), whole));
            else
                message.setFrom(QMailAddress(QString(whole).remove(emptyAngle).simplified(), QString()));
        }
    }
    if (const KMime::Headers::Subject *subject = parsed->subject(false))
        message.setSubject(subject->asUnicodeString());
    message.setMessageType(Email);
    message.setStatus(ContentAvailable, hasBodyText(message.m_data));
    message.setSize(message.m_data.size());

    QDateTime received = receivedStamp(parsed);
    if (!received.isValid())
        received = message.date().toUTC();
    message.setReceivedDate(QMailTimeStamp(received));
    return message;
}

QMailTimeStamp QMailMessage::date() const
{
    const KMime::Headers::Date *date = m_root ? m_root->date(false) : nullptr;
    if (date && date->dateTime().isValid())
        return QMailTimeStamp(date->dateTime());
    // Scripts and some web mailers write ISO 8601 (2026-12-10T11:30:00+01:00).
    const QByteArray text = m_root ? KMime::extractHeader(m_root->head(), "Date").trimmed() : QByteArray();
    const QDateTime iso = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    if (iso.isValid() && text.size() > 10)
        return QMailTimeStamp(iso);
    // Usenet's form, which old scripts still write ("Friday, 11-Dec-26 00:25:00 GMT").
    static const QRegularExpression usenet(
        QStringLiteral("^(?:[A-Za-z]+,\\s*)?(\\d{1,2})-([A-Za-z]{3})-(\\d{4}|\\d{2})\\s+(\\d.*)$"));
    const QRegularExpressionMatch match = usenet.match(QString::fromLatin1(text));
    if (!match.hasMatch())
        return QMailTimeStamp();
    int year = match.captured(3).toInt();
    if (match.capturedLength(3) == 2)
        year += year < 50 ? 2000 : 1900;
    KMime::Headers::Date written;
    written.from7BitString(QStringLiteral("%1 %2 %3 %4").arg(match.captured(1), match.captured(2)).arg(year).arg(match.captured(4)).toLatin1());
    return written.dateTime().isValid() ? QMailTimeStamp(written.dateTime()) : QMailTimeStamp();
}

QString QMailMessage::headerFieldText(const QByteArray &name) const
{
    const KMime::Headers::Base *header = m_root ? m_root->headerByType(name.constData()) : nullptr;
    return header ? header->asUnicodeString() : QString();
}
