// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGE_H
#define QMAILMESSAGE_H

#include <QtCore/QByteArray>

#include "halvaneqmf_export.h"
#include "qmailmessagemetadata.h"
#include "qmailmessagepart.h"
#include "qmailmessagepartcontainer.h"

/*
 * A whole message: its store metadata and its MIME content, parsed with
 * KMime. A message that holds only its headers has the headers' values, a
 * text/plain body without text, and lacks the status ContentAvailable.
 */
class HALVANEQMF_EXPORT QMailMessage : public QMailMessageMetaData, public QMailMessagePartContainer
{
public:
    QMailMessage() = default;

    // A message from its RFC 2822 text (CRLF or LF line ends): sender and
    // subject from its headers, ContentAvailable set when it has a body, the
    // reception time from its newest Received: stamp, else its Date:.
    static QMailMessage fromRfc2822(const QByteArray &data);

    // The text it was made from, with LF line ends.
    QByteArray toRfc2822() const { return m_data; }

    // The Date: header.
    QMailTimeStamp date() const;
    QString headerFieldText(const QByteArray &name) const;

private:
    QByteArray m_data;
};

#endif // QMAILMESSAGE_H
