// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessageid.h"

QDebug operator<<(QDebug debug, const QMailMessageId &id)
{
    QDebugStateSaver saver(debug);
    debug.nospace() << "QMailMessageId(" << id.toULongLong() << ')';
    return debug;
}
