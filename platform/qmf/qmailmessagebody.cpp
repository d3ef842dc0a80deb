// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagebody.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QTextCodec>

#include <KMime/Message>

#include <algorithm>

namespace {

// Text sent as format=flowed (RFC 3676, Apple Mail and Thunderbird): a line
// that ends in a space goes on in the next line of the same quote depth; with
// DelSp=yes that space was added for the break and goes. A line's first space
// only guards what follows it. Otherwise the paragraphs would keep the
// sender's breaks ("col umns" with DelSp).
QString unflowed(const QString &text, bool delSp)
{
    QStringList lines;
    int openDepth = -1;
    for (const QStringRef &line : text.splitRef(QLatin1Char('\n'))) {
        int depth = 0;
        while (depth < line.size() && line.at(depth) == QLatin1Char('>'))
            ++depth;
        QStringRef content = line.mid(depth);
        if (content.startsWith(QLatin1Char(' ')))
            content = content.mid(1);
        const bool flowed = content.endsWith(QLatin1Char(' ')) && content != QLatin1String("-- ");
        if (flowed && delSp)
            content.chop(1);
        if (openDepth == depth)
            lines.last() += content;
        else
            lines.append(line.left(depth) + (depth > 0 ? QLatin1String(" ") : QLatin1String()) + content);
        openDepth = flowed ? depth : -1;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QMailMessageBody::QMailMessageBody(const QSharedPointer<KMime::Message> &root, KMime::Content *content)
    : m_root(root)
    , m_content(content)
{
}

QMailMessageContentType QMailMessageBody::contentType() const
{
    const KMime::Headers::ContentType *type = m_content ? m_content->contentType(false) : nullptr;
    return type ? QMailMessageContentType(m_root, type) : QMailMessageContentType();
}

bool QMailMessageBody::isEmpty() const
{
    return !m_content || (m_content->body().isEmpty() && !m_content->bodyIsMessage());
}

QString QMailMessageBody::data() const
{
    if (!m_content)
        return QString();
    // Without a charset (scripts, old clients; KMime then says US-ASCII)
    // 8-bit text is taken as UTF-8 when it is valid UTF-8, else as Windows'
    // Latin-1, rather than every such byte as "?". Text labelled Latin-1 is
    // read as Windows' Latin-1 too, as mail programs do: Outlook's quotes and
    // dashes (0x91-0x97) would otherwise come out as control characters.
    const KMime::Headers::ContentType *type = m_content->contentType(false);
    const QByteArray charset = type ? type->charset().toLower() : QByteArray();
    const bool latin1 = charset == "iso-8859-1" || charset == "latin1" || charset == "iso_8859-1" || charset == "l1";
    QString text;
    if (charset.isEmpty() || charset == "us-ascii" || latin1) {
        const QByteArray bytes = m_content->decodedContent();
        const bool eightBit = std::any_of(bytes.cbegin(), bytes.cend(), [](char c) { return c & 0x80; });
        // HTML may name its charset itself, as web mailers' parts do, where
        // the header names none (KMime then says Latin-1 or US-ASCII).
        QTextCodec *meta = nullptr;
        if (eightBit && type && type->isHTMLText() && type->parameter(QStringLiteral("charset")).isEmpty()) {
            static const QRegularExpression declared(
                QStringLiteral("<meta\\b[^>]*charset\\s*=\\s*[\"']?([A-Za-z0-9._:-]+)"),
                QRegularExpression::CaseInsensitiveOption);
            const QString name = declared.match(QString::fromLatin1(bytes.left(4096))).captured(1);
            meta = name.isEmpty() ? nullptr : QTextCodec::codecForName(name.toLatin1());
            if (meta && (meta->mibEnum() == 4 || meta->mibEnum() == 3))
                meta = QTextCodec::codecForName("windows-1252");
        }
        if (meta) {
            text = meta->toUnicode(bytes);
            if (text.endsWith(QLatin1Char('\n')))
                text.chop(1);
        } else if (eightBit) {
            QTextCodec::ConverterState state;
            if (!latin1)
                text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
            if (latin1 || state.invalidChars > 0)
                text = QTextCodec::codecForName("windows-1252")->toUnicode(bytes);
            // As decodedText() does.
            if (text.endsWith(QLatin1Char('\n')))
                text.chop(1);
        }
    }
    if (text.isNull())
        text = m_content->decodedText();
    // Lines of base64 or quoted-printable text keep the CRLF they were
    // written with; the rest of the message has plain line feeds.
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (type && type->isPlainText() && type->parameter(QStringLiteral("format")).toLower() == QLatin1String("flowed"))
        text = unflowed(text, type->parameter(QStringLiteral("delsp")).toLower() == QLatin1String("yes"));
    return text;
}

QByteArray QMailMessageBody::data(EncodingFormat format) const
{
    if (!m_content)
        return QByteArray();
    // An attached message is kept parsed; its content is the message itself.
    if (m_content->bodyIsMessage())
        return m_content->bodyAsMessage()->encodedContent();
    return format == Decoded ? m_content->decodedContent() : m_content->encodedBody();
}
