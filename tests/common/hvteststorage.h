// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVTESTSTORAGE_H
#define HVTESTSTORAGE_H

#include <QtCore/QByteArray>
#include <QtCore/QProcessEnvironment>
#include <QtCore/QString>
#include <QtCore/QStringList>

// Helpers for the tests of the stores that keep SQLite files.
namespace HVTest {

// Runs program with arguments in env, its files limited to limitKiB (0: no
// limit): a write past the limit fails with EFBIG, as on a full disk, since
// the signal that would kill the writer is ignored. The exit code, -1 when it
// crashed or did not end within a minute.
int runWithFileLimit(const QString &program, const QStringList &arguments, qint64 limitKiB,
                     const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                     QByteArray *out = nullptr, QByteArray *err = nullptr);

// While it lives, this process's writes that grow a file past limitKiB fail
// with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 limitKiB);
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool isSet() const { return m_set; }
    // Room again.
    void lift();

private:
    qint64 m_old[2] = {0, 0};
    bool m_set = false;
};

// SQLite's own verdict on the file: "ok" when it is sound.
QString sqliteIntegrity(const QString &path);

} // namespace HVTest

#endif // HVTESTSTORAGE_H
