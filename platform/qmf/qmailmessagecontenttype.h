// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGECONTENTTYPE_H
#define QMAILMESSAGECONTENTTYPE_H

#include <QtCore/QByteArray>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>

#include "halvaneqmf_export.h"

namespace KMime {
class Message;
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
    friend class QMailMessageBody;
    friend class QMailMessagePartContainer;
    // The header of a parsed message, read where it is: writing it out and
    // reading it back costs KMime a regular expression per parameter. The
    // message's tree is never changed once parsed.
    QMailMessageContentType(const QSharedPointer<KMime::Message> &root, const KMime::Headers::ContentType *header);
    const KMime::Headers::ContentType *header() const;

    QSharedPointer<KMime::Headers::ContentType> m_header;
    QSharedPointer<KMime::Message> m_root;
    const KMime::Headers::ContentType *m_view = nullptr;
    // The "name" of a part sent in pieces, joined from its raw header.
    QString m_continuedName;
};

#endif // QMAILMESSAGECONTENTTYPE_H
