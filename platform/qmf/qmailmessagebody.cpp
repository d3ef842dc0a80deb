// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagebody.h"

#include <KMime/Message>

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
    return m_content->decodedText();
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
