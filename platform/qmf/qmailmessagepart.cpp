// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagepart.h"

#include <KMime/Content>

QMailMessagePart::QMailMessagePart(const QSharedPointer<KMime::Message> &root, KMime::Content *content)
    : QMailMessagePartContainer(root, content)
{
}

