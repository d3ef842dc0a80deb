// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mimetext.h"

#include <QtCore/QTextCodec>

namespace MimeText
{

QString parameterText(const QString &read)
{
    bool eightBit = false;
    for (const QChar c : read) {
        if (c.unicode() > 0xff)
            return read;
        eightBit = eightBit || c.unicode() > 0x7f;
    }
    if (!eightBit)
        return read;
    const QByteArray bytes = read.toLatin1();
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? text : read;
}

} // namespace MimeText
