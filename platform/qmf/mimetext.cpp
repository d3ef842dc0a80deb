// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mimetext.h"

#include <QtCore/QMap>
#include <QtCore/QRegularExpression>
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

QString continuedParameter(const QByteArray &head, const QByteArray &headerName, const QByteArray &parameter)
{
    if (!head.contains("*1"))
        return QString();
    // The header's value, unfolded.
    const QString text = QString::fromLatin1(head);
    const QRegularExpression field(QLatin1String("(?:^|\n)") + QRegularExpression::escape(QString::fromLatin1(headerName))
                                       + QLatin1String(":([^\n]*(?:\n[ \t][^\n]*)*)"),
                                   QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch found = field.match(text);
    if (!found.hasMatch())
        return QString();
    const QString value = found.captured(1).remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QRegularExpression piece(QLatin1String("(?:^|;)\\s*") + QRegularExpression::escape(QString::fromLatin1(parameter))
                                       + QLatin1String("\\*(\\d{1,3})(\\*?)\\s*=\\s*(\"(?:[^\"\\\\]|\\\\.)*\"|[^;\\s]*)"),
                                   QRegularExpression::CaseInsensitiveOption);
    QMap<int, QPair<bool, QString>> pieces;
    for (auto matches = piece.globalMatch(value); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        pieces.insert(match.captured(1).toInt(), {!match.captured(2).isEmpty(), match.captured(3)});
    }
    if (pieces.size() < 2 || !pieces.contains(0))
        return QString();
    QByteArray charset("UTF-8");
    QByteArray bytes;
    for (int i = 0; pieces.contains(i); ++i) {
        const bool extended = pieces.value(i).first;
        QString part = pieces.value(i).second;
        if (part.startsWith(QLatin1Char('"')) && part.endsWith(QLatin1Char('"')) && part.size() >= 2) {
            part = part.mid(1, part.size() - 2);
            static const QRegularExpression escaped(QStringLiteral("\\\\(.)"));
            part.replace(escaped, QStringLiteral("\\1"));
        }
        if (extended && i == 0) {
            // charset'language'text
            const int first = part.indexOf(QLatin1Char('\''));
            const int second = first < 0 ? -1 : part.indexOf(QLatin1Char('\''), first + 1);
            if (second < 0)
                return QString();
            if (first > 0)
                charset = part.left(first).toLatin1();
            part = part.mid(second + 1);
        }
        bytes += extended ? QByteArray::fromPercentEncoding(part.toLatin1()) : part.toLatin1();
    }
    QTextCodec *codec = QTextCodec::codecForName(charset);
    return (codec ? codec : QTextCodec::codecForName("UTF-8"))->toUnicode(bytes);
}

} // namespace MimeText
