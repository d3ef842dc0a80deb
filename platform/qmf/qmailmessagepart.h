// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGEPART_H
#define QMAILMESSAGEPART_H

#include "halvaneqmf_export.h"
#include "qmailmessagepartcontainer.h"

// One part of a multipart message; it may itself hold parts.
class HALVANEQMF_EXPORT QMailMessagePart : public QMailMessagePartContainer
{
public:
    QMailMessagePart() = default;

    bool isNull() const { return !m_content; }

private:
    friend class QMailMessagePartContainer;
    QMailMessagePart(const QSharedPointer<KMime::Message> &root, KMime::Content *content);
};

#endif // QMAILMESSAGEPART_H
