// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagepartcontainer.h"

#include <KMime/Message>

#include "mimetext.h"
#include "qmailmessagepart.h"

QMailMessagePartContainer::QMailMessagePartContainer(const QSharedPointer<KMime::Message> &root,
                                                     KMime::Content *content)
    : m_root(root)
    , m_content(content)
{
}

QMailMessageContentType QMailMessagePartContainer::contentType() const
{
    const KMime::Headers::ContentType *type = m_content ? m_content->contentType(false) : nullptr;
    if (!type)
        return QMailMessageContentType();
    QMailMessageContentType result(m_root, type);
    result.m_continuedName = MimeText::continuedParameter(m_content->head(), "Content-Type", "name");
    return result;
}

QMailMessageContentDisposition QMailMessagePartContainer::contentDisposition() const
{
    const KMime::Headers::ContentDisposition *header = m_content ? m_content->contentDisposition(false) : nullptr;
    return header ? QMailMessageContentDisposition(header, m_content->head()) : QMailMessageContentDisposition();
}

QMailMessagePartContainer::MultipartType QMailMessagePartContainer::multipartType() const
{
    const KMime::Headers::ContentType *type = m_content ? m_content->contentType(false) : nullptr;
    // KMime reads a multipart body without its boundary as text: only real
    // containers count.
    if (!type || !type->isMultipart())
        return MultipartNone;
    const QByteArray subType = type->subType().toLower();
    if (subType == "mixed")
        return MultipartMixed;
    if (subType == "alternative")
        return MultipartAlternative;
    if (subType == "related")
        return MultipartRelated;
    if (subType == "signed")
        return MultipartSigned;
    if (subType == "encrypted")
        return MultipartEncrypted;
    if (subType == "report")
        return MultipartReport;
    return MultipartOther;
}

int QMailMessagePartContainer::partCount() const
{
    if (multipartType() == MultipartNone)
        return 0;
    return m_content->contents().size();
}

QMailMessagePart QMailMessagePartContainer::partAt(int index) const
{
    if (index < 0 || index >= partCount())
        return QMailMessagePart();
    return QMailMessagePart(m_root, m_content->contents().at(index));
}

bool QMailMessagePartContainer::hasBody() const
{
    return m_content && multipartType() == MultipartNone;
}

QMailMessageBody QMailMessagePartContainer::body() const
{
    if (!hasBody())
        return QMailMessageBody();
    return QMailMessageBody(m_root, m_content);
}
