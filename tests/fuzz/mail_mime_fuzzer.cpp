// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The mail store's MIME reading: the input is a message as it lies in the
// Maildir (or arrives from IMAP). It is parsed, and every part is walked and
// decoded the way the e-mail source turns a message into an item.
#include <QtCore/QDateTime>

#include "fuzzsupport.h"
#include "qmailmessage.h"

namespace {

void walk(const QMailMessagePartContainer &container, int depth)
{
    const QMailMessageContentType type = container.contentType();
    type.type();
    type.subType();
    type.charset();
    type.name();
    if (container.multipartType() == QMailMessagePartContainer::MultipartNone) {
        if (container.hasBody()) {
            const QMailMessageBody body = container.body();
            body.data();
            body.data(QMailMessageBody::Decoded);
        }
        return;
    }
    // The source goes no deeper than this; the parser must cope with more.
    if (depth > 64)
        return;
    for (int i = 0; i < container.partCount(); ++i)
        walk(container.partAt(i), depth + 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    HVFuzz::application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QMailMessage message =
        QMailMessage::fromRfc2822(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    message.from().address();
    message.subject();
    message.receivedDate().toLocalTime();
    message.date();
    message.headerFieldText("Message-ID");
    walk(message, 0);
    return 0;
}
