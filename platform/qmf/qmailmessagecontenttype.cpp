// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagecontenttype.h"

#include <KMime/Headers>
#include <KMime/Message>

#include "mimetext.h"

QMailMessageContentType::QMailMessageContentType()
    : QMailMessageContentType(QByteArrayLiteral("text/plain"))
{
}

QMailMessageContentType::QMailMessageContentType(const QByteArray &headerValue)
    : m_header(QSharedPointer<KMime::Headers::ContentType>::create())
{
    m_header->from7BitString(headerValue);
    // An unreadable value is no type at all: read it as MIME's default.
    if (m_header->mediaType().isEmpty())
        m_header->setMimeType(QByteArrayLiteral("text/plain"));
}

QMailMessageContentType::QMailMessageContentType(const QSharedPointer<KMime::Message> &root,
                                                 const KMime::Headers::ContentType *header)
    : m_root(root)
    , m_view(header)
{
    // Without a tree that keeps it, or without a type, it is read as a
    // header value would be.
    if (!root || header->mediaType().isEmpty()) {
        m_root.reset();
        m_view = nullptr;
        *this = QMailMessageContentType(header->as7BitString(false));
    }
}

const KMime::Headers::ContentType *QMailMessageContentType::header() const
{
    return m_view ? m_view : m_header.data();
}

QByteArray QMailMessageContentType::type() const
{
    return header()->mediaType();
}

QByteArray QMailMessageContentType::subType() const
{
    return header()->subType();
}

QByteArray QMailMessageContentType::content() const
{
    return header()->mimeType();
}

QByteArray QMailMessageContentType::charset() const
{
    return header()->charset();
}

QString QMailMessageContentType::name() const
{
    if (!m_continuedName.isNull())
        return m_continuedName;
    return MimeText::parameterText(header()->name());
}

QString QMailMessageContentType::parameter(const QByteArray &name) const
{
    return MimeText::parameterText(header()->parameter(QString::fromLatin1(name)));
}

bool QMailMessageContentType::isMultipart() const
{
    return header()->isMultipart();
}

QByteArray QMailMessageContentType::toString() const
{
    return header()->as7BitString(false);
}
