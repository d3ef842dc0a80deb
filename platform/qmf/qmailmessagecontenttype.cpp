#include "qmailmessagecontenttype.h"

#include <KMime/Headers>

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

QByteArray QMailMessageContentType::type() const
{
    return m_header->mediaType();
}

QByteArray QMailMessageContentType::subType() const
{
    return m_header->subType();
}

QByteArray QMailMessageContentType::content() const
{
    return m_header->mimeType();
}

QByteArray QMailMessageContentType::charset() const
{
    return m_header->charset();
}

QString QMailMessageContentType::name() const
{
    return m_header->name();
}

QString QMailMessageContentType::parameter(const QByteArray &name) const
{
    return m_header->parameter(QString::fromLatin1(name));
}

bool QMailMessageContentType::isMultipart() const
{
    return m_header->isMultipart();
}

QByteArray QMailMessageContentType::toString() const
{
    return m_header->as7BitString(false);
}
