// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGECONTENTDISPOSITION_H
#define QMAILMESSAGECONTENTDISPOSITION_H

#include <QtCore/QString>

#include "halvaneqmf_export.h"

namespace KMime {
namespace Headers {
class ContentDisposition;
}
}

/*
 * The Content-Disposition of a part, as far as it is read: the file name it
 * is sent under; empty for a part without the header.
 */
class HALVANEQMF_EXPORT QMailMessageContentDisposition
{
public:
    QMailMessageContentDisposition() = default;

    // The "filename" parameter, decoded (RFC 2231 and encoded words).
    QString filename() const { return m_filename; }
    // "attachment": meant to be saved, not shown as the message's text.
    bool isAttachment() const { return m_attachment; }

private:
    friend class QMailMessagePartContainer;
    // With the raw header block of its part, for a name sent in pieces.
    QMailMessageContentDisposition(const KMime::Headers::ContentDisposition *header, const QByteArray &head);

    QString m_filename;
    bool m_attachment = false;
};

#endif // QMAILMESSAGECONTENTDISPOSITION_H
