// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvteststorage.h"

#include <csignal>

#include <sys/resource.h>

#include <QtCore/QProcess>
#include <QtCore/QVariant>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlQuery>

namespace HVTest {

int runWithFileLimit(const QString &program, const QStringList &arguments, qint64 limitKiB,
                     const QProcessEnvironment &env, QByteArray *out, QByteArray *err)
{
    QProcess process;
    process.setProcessEnvironment(env);
    const QString limit = limitKiB > 0 ? QStringLiteral("ulimit -f %1; ").arg(limitKiB) : QString();
    process.start(QStringLiteral("bash"),
                  QStringList{QStringLiteral("-c"), QLatin1String("trap '' XFSZ; ") + limit + QLatin1String("exec \"$0\" \"$@\""),
                              program}
                      + arguments);
    if (!process.waitForFinished(60000))
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

FileSizeLimit::FileSizeLimit(qint64 limitKiB)
{
    struct rlimit old;
    if (getrlimit(RLIMIT_FSIZE, &old) != 0)
        return;
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old;
    limit.rlim_cur = rlim_t(limitKiB) * 1024;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return;
    m_old[0] = qint64(old.rlim_cur);
    m_old[1] = qint64(old.rlim_max);
    m_set = true;
}

void FileSizeLimit::lift()
{
    if (!m_set)
        return;
    struct rlimit old;
    old.rlim_cur = rlim_t(m_old[0]);
    old.rlim_max = rlim_t(m_old[1]);
    setrlimit(RLIMIT_FSIZE, &old);
    m_set = false;
}

QString sqliteIntegrity(const QString &path)
{
    const QString connection = QStringLiteral("hvtest-integrity");
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next())
                result = query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return result;
}

} // namespace HVTest
