// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "maildir.h"

#include <QtCore/QAtomicInt>
#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QSysInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Headers larger than this are no mail.
constexpr qint64 MaxHeaderSize = 1024 * 1024;

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool Maildir::Entry::sameFile(const Entry &other) const
{
    return relativePath == other.relativePath && size == other.size && modified == other.modified
        && inode == other.inode;
}

Maildir::Maildir(const QString &path)
    : m_path(path)
{
}

bool Maildir::create(QString *error) const
{
    for (const char *sub : {"new", "cur", "tmp"}) {
        const QString dir = m_path + QLatin1Char('/') + QLatin1String(sub);
        if (!QDir().mkpath(dir)) {
            *error = QStringLiteral("cannot create ") + dir;
            return false;
        }
    }
    return true;
}

QHash<QString, Maildir::Entry> Maildir::scan(const QHash<QString, Entry> &known) const
{
    // new/ before cur/: a file a reader moves from new/ to cur/ meanwhile is
    // seen at least once.
    QHash<QString, Entry> entries;
    for (const char *sub : {"new", "cur"}) {
        const QByteArray dirPath = QFile::encodeName(m_path + QLatin1Char('/') + QLatin1String(sub));
        DIR *dir = ::opendir(dirPath.constData());
        if (!dir)
            continue;
        const int dirFd = ::dirfd(dir);
        while (const dirent *item = ::readdir(dir)) {
            if (item->d_name[0] == '.')
                continue;
            const QString fileName = QFile::decodeName(item->d_name);
            const QString name = nameOf(fileName);
            const QString relativePath = QLatin1String(sub) + QLatin1Char('/') + fileName;
            if (item->d_type == DT_REG) {
                const auto before = known.constFind(name);
                if (before != known.constEnd() && before->inode == quint64(item->d_ino)
                    && before->relativePath == relativePath && !mayBeGrowing(before.value())) {
                    entries.insert(name, before.value());
                    continue;
                }
            }
            struct stat info;
            if (::fstatat(dirFd, item->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode))
                continue;
            Entry entry;
            entry.name = name;
            entry.relativePath = relativePath;
            entry.size = info.st_size;
            entry.modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
            entry.inode = info.st_ino;
            entries.insert(entry.name, entry);
        }
        ::closedir(dir);
    }
    return entries;
}

bool Maildir::mayBeGrowing(const Entry &entry)
{
    constexpr qint64 Settle = 2000000000; // ns
    const qint64 age = QDateTime::currentMSecsSinceEpoch() * 1000000 - entry.modified;
    // A time far ahead (a skewed clock) is no sign of a writer.
    return age < Settle && age > -Settle;
}

QString Maildir::uniqueName()
{
    static QAtomicInt counter;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QString host = QSysInfo::machineHostName();
    // "/" and ":" have meanings in Maildir file names.
    host.replace(QLatin1Char('/'), QLatin1String("\\057")).replace(QLatin1Char(':'), QLatin1String("\\072"));
    return QStringLiteral("%1.M%2P%3Q%4.%5")
        .arg(now / 1000)
        .arg((now % 1000) * 1000)
        .arg(::getpid())
        .arg(counter.fetchAndAddRelaxed(1) + 1)
        .arg(host.isEmpty() ? QStringLiteral("localhost") : host);
}

namespace {

// Where the flags begin: ":2,", or "!2," / ";2," where a file name may hold
// no colon (mbsync's InfoDelimiter, Windows file systems).
int infoAt(const QString &fileName)
{
    const int info = fileName.indexOf(QLatin1String(":2,"));
    if (info >= 0)
        return info;
    return qMax(fileName.lastIndexOf(QLatin1String("!2,")), fileName.lastIndexOf(QLatin1String(";2,")));
}

} // namespace

QString Maildir::nameOf(const QString &fileName)
{
    const int colon = fileName.indexOf(QLatin1Char(':'));
    if (colon >= 0)
        return fileName.left(colon);
    const int info = infoAt(fileName);
    return info < 0 ? fileName : fileName.left(info);
}

QString Maildir::flagsOf(const QString &fileName)
{
    const int info = infoAt(fileName);
    return info < 0 ? QString() : fileName.mid(info + 3);
}

QString Maildir::stage(const QByteArray &data, const QString &name, QString *error) const
{
    const QString temporary = stagedPath(name);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(temporary, systemError());
        return QString();
    }
    qint64 written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    const QString failure = written == data.size() ? QString() : systemError();
    if (::close(fd) != 0 || !failure.isEmpty()) {
        ::unlink(temporaryName.constData());
        *error = QStringLiteral("cannot write %1: %2").arg(temporary, failure.isEmpty() ? systemError() : failure);
        return QString();
    }
    return temporary;
}

bool Maildir::flush(QString *error) const
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::syncfs(fd) == 0;
    if (!ok)
        *error = QStringLiteral("cannot put %1 on disk: %2").arg(m_path, systemError());
    if (fd >= 0)
        ::close(fd);
    return ok;
}

bool Maildir::publish(const QString &staged, const QString &relativePath, QString *error) const
{
    const QString target = m_path + QLatin1Char('/') + relativePath;
    if (::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0) {
        // Another process finished what this one staged (see QMailStore's
        // recovery of an add that was killed halfway).
        if (errno == ENOENT && QFile::exists(target))
            return true;
        *error = QStringLiteral("cannot move the message to %1: %2").arg(target, systemError());
        discard(staged);
        return false;
    }
    return true;
}

QHash<QString, qint64> Maildir::staged() const
{
    QHash<QString, qint64> files;
    const QByteArray dir = QFile::encodeName(m_path + QLatin1String("/tmp"));
    DIR *handle = ::opendir(dir.constData());
    if (!handle)
        return files;
    while (const dirent *item = ::readdir(handle)) {
        if (item->d_name[0] == '.')
            continue;
        struct stat info;
        if (::fstatat(::dirfd(handle), item->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
            files.insert(QFile::decodeName(item->d_name), qint64(info.st_mtim.tv_sec));
    }
    ::closedir(handle);
    return files;
}

QString Maildir::stagedPath(const QString &name) const
{
    return m_path + QLatin1String("/tmp/") + name;
}

void Maildir::discard(const QString &staged) const
{
    ::unlink(QFile::encodeName(staged).constData());
}

bool Maildir::remove(const QString &relativePath, QString *error) const
{
    const QString target = m_path + QLatin1Char('/') + relativePath;
    if (::unlink(QFile::encodeName(target).constData()) != 0 && errno != ENOENT) {
        *error = QStringLiteral("cannot remove %1: %2").arg(target, systemError());
        return false;
    }
    return true;
}

QByteArray Maildir::read(const QString &relativePath, qint64 limit, bool *truncated, QString *error) const
{
    *truncated = false;
    QFile file(m_path + QLatin1Char('/') + relativePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return QByteArray();
    }
    if (file.size() <= limit)
        return file.readAll();

    // Too large to parse whole: its headers still say what it is.
    *truncated = true;
    return headOf(file);
}

QByteArray Maildir::readHead(const QString &relativePath, bool *hasBody, QString *error) const
{
    *hasBody = false;
    QFile file(m_path + QLatin1Char('/') + relativePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return QByteArray();
    }
    const QByteArray head = headOf(file);
    // Blank lines after the headers are no body; a long rest surely is one.
    while (!file.atEnd() && !*hasBody) {
        const QByteArray chunk = file.read(4096);
        for (const char c : chunk) {
            if (c != '\n' && c != '\r' && c != ' ' && c != '\t') {
                *hasBody = true;
                break;
            }
        }
    }
    return head;
}

QByteArray Maildir::headOf(QFile &file)
{
    QByteArray head;
    // Into a buffer of our own: QIODevice::readLine(maxSize) allocates maxSize
    // for every line, which made reading the headers of many files slow.
    char piece[8 * 1024];
    bool lineStart = true;
    while (head.size() < MaxHeaderSize) {
        const qint64 got = file.readLine(piece, sizeof piece);
        if (got <= 0)
            break;
        head.append(piece, int(got));
        const bool blank = lineStart && ((got == 1 && piece[0] == '\n') || (got == 2 && piece[0] == '\r' && piece[1] == '\n'));
        if (blank)
            break;
        lineStart = piece[got - 1] == '\n';
    }
    return head;
}
