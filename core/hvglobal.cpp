// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvglobal.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <cstring>

#include <dlfcn.h>

namespace Halvane {

namespace {

// The plug-ins lie in "halvane/" beside this library, installed or in the
// build tree; so a tree unpacked or moved elsewhere finds its own plug-ins.
QString besideLibrary()
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&pluginsPath), &info) || !info.dli_fname)
        return QString();
    const QDir dir = QFileInfo(QFile::decodeName(info.dli_fname)).absoluteDir();
    const QString base = dir.filePath(QStringLiteral("halvane"));
    return QFileInfo(base).isDir() ? base : QString();
}

} // namespace

QString pluginsPath()
{
    QString path = qEnvironmentVariable("HALVANE_PLUGINS_PATH");
    if (path.isEmpty()) {
        static const QString beside = besideLibrary();
        path = beside.isEmpty() ? QStringLiteral(HALVANE_INSTALLED_PLUGINS_BASE) : beside;
    }
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

namespace {

int digitValue(char c, int base)
{
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

// The text as QSettings' INI reader sees a value in it: escapes resolved
// (hexadecimal and octal ones greedy, kept to 16 bits; unknown ones and line
// continuations vanish) and double quotes gone. A character that is not
// ASCII becomes '?', which cannot spell what is looked for.
QByteArray unescaped(const QByteArray &text)
{
    static const char simple[] = "a\ab\bf\fn\nr\rt\tv\v\"\"''??\\\\";
    QByteArray result;
    result.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '"')
            continue;
        if (c != '\\') {
            result.append(c);
            continue;
        }
        if (++i == text.size())
            break;
        const char next = text.at(i);
        if (next == '\r' || next == '\n') {
            if (next == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n')
                ++i;
            continue;
        }
        if (const char *found = std::strchr(simple, next); found && next && (found - simple) % 2 == 0) {
            result.append(found[1]);
            continue;
        }
        const int base = next == 'x' ? 16 : digitValue(next, 8) >= 0 ? 8 : 0;
        if (base == 0)
            continue;
        if (base == 16)
            ++i;
        const int start = i;
        uint code = 0;
        for (; i < text.size() && digitValue(text.at(i), base) >= 0; ++i)
            code = (code * uint(base) + uint(digitValue(text.at(i), base))) & 0xffff;
        if (i > start)
            result.append(code < 0x80 ? char(code) : '?');
        --i;
    }
    return result;
}

} // namespace

bool settingsFileIsSafe(const QString &fileName, QString *problem)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = unescaped(file.readAll());
    // Both are decoded with QDataStream; "@@..." is the escape of a literal "@...".
    for (const char *marker : {"@Variant(", "@DateTime("}) {
        for (int at = text.indexOf(marker); at >= 0; at = text.indexOf(marker, at + 1)) {
            if (at == 0 || text.at(at - 1) != '@') {
                if (problem)
                    *problem = QStringLiteral("%1 holds a serialised value (%2), which is not read")
                                   .arg(fileName, QLatin1String(marker).chopped(1));
                return false;
            }
        }
    }
    return true;
}

QDateTime dayStart(const QDate &date)
{
    const QDateTime start = date.startOfDay(Qt::LocalTime);
    if (!start.isValid())
        return start;
    for (const qint64 minutes : {60, 30}) {
        const QDateTime earlier =
            QDateTime::fromMSecsSinceEpoch(start.toMSecsSinceEpoch() - minutes * 60000, Qt::LocalTime);
        if (earlier.date() == date && earlier.time() == QTime(0, 0))
            return earlier;
    }
    return start;
}

QString withoutControls(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace Halvane
