// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGEBODY_H
#define QMAILMESSAGEBODY_H

#include <QtCore/QByteArray>
#include <QtCore/QSharedPointer>
#include <QtCore/QString>

#include "halvaneqmf_export.h"
#include "qmailmessagecontenttype.h"

namespace KMime {
class Content;
class Message;
}

// The body of a message or part that is no multipart container.
class HALVANEQMF_EXPORT QMailMessageBody
{
public:
    enum EncodingFormat { Encoded, Decoded };

    QMailMessageBody() = default;

    QMailMessageContentType contentType() const;
    bool isEmpty() const;
    // The text, transfer-decoded and converted from its charset; empty when
    // the body is no text.
    QString data() const;
    // The bytes as the message carries them, or transfer-decoded.
    QByteArray data(EncodingFormat format) const;

private:
    friend class QMailMessagePartContainer;
    QMailMessageBody(const QSharedPointer<KMime::Message> &root, KMime::Content *content);

    QSharedPointer<KMime::Message> m_root;
    KMime::Content *m_content = nullptr;
};

#endif // QMAILMESSAGEBODY_H
