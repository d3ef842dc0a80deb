#ifndef QMAILMESSAGECONTENTTYPE_H
#define QMAILMESSAGECONTENTTYPE_H

#include <QtCore/QByteArray>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>

#include "halvaneqmf_export.h"

namespace KMime {
namespace Headers {
class ContentType;
}
}

/*
 * The content type of a message or part: type, subtype and parameters, as the
 * message gives them (a part without the header is "text/plain").
 */
class HALVANEQMF_EXPORT QMailMessageContentType
{
public:
    QMailMessageContentType();
    // Parses a header value such as "text/plain; charset=utf-8".
    explicit QMailMessageContentType(const QByteArray &headerValue);

    QByteArray type() const;
    QByteArray subType() const;
    // "type/subtype".
    QByteArray content() const;
    QByteArray charset() const;
    // The "name" parameter, decoded.
    QString name() const;
    QString parameter(const QByteArray &name) const;
    bool isMultipart() const;

    QByteArray toString() const;

private:
    QSharedPointer<KMime::Headers::ContentType> m_header;
};

#endif // QMAILMESSAGECONTENTTYPE_H
