// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagecontentdisposition.h"

#include <KMime/Headers>

#include "mimetext.h"

QMailMessageContentDisposition::QMailMessageContentDisposition(const KMime::Headers::ContentDisposition *header)
    : m_filename(MimeText::parameterText(header->filename()))
    , m_attachment(header->disposition() == KMime::Headers::CDattachment)
{
}
