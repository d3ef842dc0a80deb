// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MIMETEXT_H
#define MIMETEXT_H

#include <QtCore/QString>

namespace MimeText
{

// A header parameter as its sender wrote it. KMime reads 8-bit text in a
// parameter as Latin-1, while mail programs write file names in UTF-8
// ("写真.jpg" would read as six Latin-1 characters and ".jpg"); text that
// is not UTF-8 stays as it was read.
QString parameterText(const QString &read);

// A parameter sent in pieces (RFC 2231: filename*0*=UTF-8''Pr%C3;
// filename*1*=%A4sentation.pdf), from the raw header block of a part. KMime
// decodes each piece on its own, which garbles a character split between two;
// here they are joined first. Null when the header has no such pieces.
QString continuedParameter(const QByteArray &head, const QByteArray &headerName, const QByteArray &parameter);

} // namespace MimeText

#endif // MIMETEXT_H
