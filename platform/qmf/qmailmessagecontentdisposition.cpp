// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagecontentdisposition.h"

#include <KMime/Headers>

#include "mimetext.h"

QMailMessageContentDisposition::QMailMessageContentDisposition(const KMime::Headers::ContentDisposition *header,
                                                               const QByteArray &head)
    : m_filename(MimeText::continuedParameter(head, "Content-Disposition", "filename"))
    , m_attachment(header->disposition() == KMime::Headers::CDattachment)
{
    if (m_filename.isNull())
        m_filename = MimeText::parameterText(header->filename());
}
