// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagebody.h"

#include <QtCore/QTextCodec>

#include <KMime/Message>

#include <algorithm>

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
        if (eightBit) {
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
