// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagecontentdisposition.h"

#include <KMime/Headers>

QMailMessageContentDisposition::QMailMessageContentDisposition(const KMime::Headers::ContentDisposition *header)
    : m_filename(header->filename())
    , m_attachment(header->disposition() == KMime::Headers::CDattachment)
{
}
