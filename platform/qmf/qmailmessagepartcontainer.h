// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGEPARTCONTAINER_H
#define QMAILMESSAGEPARTCONTAINER_H

#include <QtCore/QSharedPointer>

#include "halvaneqmf_export.h"
#include "qmailmessagebody.h"
#include "qmailmessagecontentdisposition.h"
#include "qmailmessagecontenttype.h"

namespace KMime {
class Content;
class Message;
}

class QMailMessagePart;

/*
 * What a message and each of its parts have in common: a content type, and
 * either a body of their own or, for a multipart container, parts.
 */
class HALVANEQMF_EXPORT QMailMessagePartContainer
{
public:
    enum MultipartType {
        MultipartNone,
        MultipartMixed,
        MultipartAlternative,
        MultipartRelated,
        MultipartSigned,
        MultipartEncrypted,
        MultipartReport,
        MultipartOther
    };

    QMailMessageContentType contentType() const;
    QMailMessageContentDisposition contentDisposition() const;
    MultipartType multipartType() const;

    // The parts of a multipart container; none for anything else.
    int partCount() const;
    QMailMessagePart partAt(int index) const;

    // Whether it has a body of its own, that is, is no multipart container.
    bool hasBody() const;
    QMailMessageBody body() const;

protected:
    QMailMessagePartContainer() = default;
    QMailMessagePartContainer(const QSharedPointer<KMime::Message> &root, KMime::Content *content);

    // The parsed message, shared by the message and all its parts.
    QSharedPointer<KMime::Message> m_root;
    KMime::Content *m_content = nullptr;
};

#endif // QMAILMESSAGEPARTCONTAINER_H
