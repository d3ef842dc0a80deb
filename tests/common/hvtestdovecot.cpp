// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvtestdovecot.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>
#include <QtCore/QThread>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace HVTest {

namespace {

// The mail user's uid and gid: "nobody" on Debian, anything but 0 would do.
constexpr uid_t MailUid = 65534;
constexpr gid_t MailGid = 65534;

bool chownTree(const QString &path)
{
    if (::chown(QFile::encodeName(path).constData(), MailUid, MailGid) != 0)
        return false;
    const QFileInfoList entries = QDir(path).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        if (entry.isDir() ? !chownTree(entry.filePath())
                          : ::chown(QFile::encodeName(entry.filePath()).constData(), MailUid, MailGid) != 0)
            return false;
    }
    return true;
}

QString dovecotProgram()
{
    const QStringList systemPaths{QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")};
    return QStandardPaths::findExecutable(QStringLiteral("dovecot"), systemPaths);
}

} // namespace

Dovecot::Dovecot()
    : m_dir(QDir::tempPath() + QLatin1String("/hvtest-dovecot-XXXXXX"))
{
}

Dovecot::~Dovecot()
{
    stop();
}

bool Dovecot::canRun(QString *reason)
{
    if (dovecotProgram().isEmpty()) {
        *reason = QStringLiteral("no dovecot (package dovecot-imapd)");
        return false;
    }
    if (::geteuid() != 0) {
        *reason = QStringLiteral("Dovecot starts as root; the test runs as another user");
        return false;
    }
    return true;
}

quint16 Dovecot::freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

QString Dovecot::accountId() const
{
    return user() + QLatin1Char('@') + host() + QLatin1Char(':') + QString::number(m_port);
}

QString Dovecot::maildir() const
{
    return m_dir.filePath(QStringLiteral("home/Maildir"));
}

QString Dovecot::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("dovecot.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool Dovecot::start()
{
    QString reason;
    if (!canRun(&reason)) {
        m_error = reason;
        return false;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory: ") + m_dir.errorString();
        return false;
    }
    // The mail processes run as the user: they must reach the home directory.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    const QString home = m_dir.filePath(QStringLiteral("home"));
    for (const char *sub : {"new", "cur", "tmp"}) {
        if (!QDir().mkpath(maildir() + QLatin1Char('/') + QLatin1String(sub))) {
            m_error = QStringLiteral("cannot create the Maildir");
            return false;
        }
    }
    if (!chownTree(home)) {
        m_error = QStringLiteral("cannot give the Maildir to the mail user");
        return false;
    }
    QFile passwd(m_dir.filePath(QStringLiteral("passwd")));
    if (!passwd.open(QIODevice::WriteOnly)
        || passwd.write(QStringLiteral("%1:{PLAIN}%2:%3:%4::%5::\n")
                            .arg(user(), password())
                            .arg(MailUid)
                            .arg(MailGid)
                            .arg(home)
                            .toUtf8())
            < 0) {
        m_error = QStringLiteral("cannot write the passwd file");
        return false;
    }
    passwd.close();

    // Another test may take the port between our look and Dovecot's bind.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (startOnce())
            return true;
        if (!log().contains(QLatin1String("Address already in use")))
            return false;
    }
    return false;
}

bool Dovecot::startOnce()
{
    m_port = freePort();
    const QString dir = m_dir.path();
    for (const char *sub : {"run", "state"})
        QDir().mkpath(dir + QLatin1Char('/') + QLatin1String(sub));
    QFile::remove(dir + QLatin1String("/dovecot.log"));
    const QString config = QStringLiteral(
        "base_dir = %1/run\n"
        "state_dir = %1/state\n"
        "log_path = %1/dovecot.log\n"
        "info_log_path = %1/dovecot.log\n"
        "protocols = imap\n"
        "listen = 127.0.0.1\n"
        "ssl = no\n"
        "disable_plaintext_auth = no\n"
        "auth_mechanisms = plain login\n"
        // Refusals at once: tests try wrong passwords on purpose.
        "auth_failure_delay = 0\n"
        "mail_location = maildir:~/Maildir\n"
        "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u %1/passwd\n}\n"
        "userdb {\n  driver = passwd-file\n  args = username_format=%u %1/passwd\n}\n"
        "service imap-login {\n  inet_listener imap {\n    address = 127.0.0.1\n    port = %2\n  }\n"
        "  inet_listener imaps {\n    port = 0\n  }\n}\n")
                               .arg(dir)
                               .arg(m_port);
    QFile file(dir + QLatin1String("/dovecot.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write the configuration");
        return false;
    }
    file.close();

    // In the foreground, so that its pid is ours to stop; setpriv makes it die
    // with the test should the test crash.
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    QStringList arguments{dovecotProgram(), QStringLiteral("-F"), QStringLiteral("-c"), file.fileName()};
    if (!setpriv.isEmpty())
        m_process.start(setpriv, QStringList{QStringLiteral("--pdeathsig"), QStringLiteral("TERM"),
                                             QStringLiteral("--")} + arguments);
    else
        m_process.start(arguments.takeFirst(), arguments);
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("dovecot did not start: ") + m_process.errorString();
        return false;
    }

    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("dovecot ended: ") + log();
            return false;
        }
        QTcpSocket socket;
        socket.connectToHost(host(), m_port);
        if (socket.waitForConnected(200)) {
            QDeadlineTimer greeting(3000);
            while (!socket.canReadLine() && !greeting.hasExpired())
                socket.waitForReadyRead(100);
            // A greeting may come in two lines while the authenticator starts.
            const QByteArray line = socket.readAll();
            if (line.startsWith("* OK"))
                return true;
        }
        QThread::msleep(50);
    }
    m_error = QStringLiteral("dovecot did not answer on port %1: %2").arg(m_port).arg(log());
    stop();
    return false;
}

void Dovecot::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    // Its login processes keep the listening socket a moment longer: a
    // connection then is taken and never answered, not refused.
    for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(100)) {
        QTcpSocket probe;
        probe.connectToHost(host(), m_port);
        if (!probe.waitForConnected(500))
            break;
        probe.abort();
    }
}

bool Dovecot::deliver(const QByteArray &message, const QDateTime &received)
{
    const QString name = QStringLiteral("%1.M%2P%3.hvtest")
                             .arg(QDateTime::currentSecsSinceEpoch())
                             .arg(++m_delivered)
                             .arg(::getpid());
    const QString temporary = maildir() + QLatin1String("/tmp/") + name;
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(message) != message.size())
        return false;
    file.close();
    const QByteArray path = QFile::encodeName(temporary);
    if (::chown(path.constData(), MailUid, MailGid) != 0)
        return false;
    if (received.isValid()) {
        const qint64 seconds = received.toSecsSinceEpoch();
        const struct timeval times[2] = {{time_t(seconds), 0}, {time_t(seconds), 0}};
        if (::utimes(path.constData(), times) != 0)
            return false;
    }
    return ::rename(path.constData(), QFile::encodeName(maildir() + QLatin1String("/new/") + name).constData()) == 0;
}

bool Dovecot::writeAccount(const QString &configHome, const QString &password, quint16 port) const
{
    QSettings settings(configHome + QLatin1String("/halvane/halvane.conf"), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("mail"));
    settings.setValue(QStringLiteral("host"), host());
    settings.setValue(QStringLiteral("port"), port ? port : m_port);
    settings.setValue(QStringLiteral("user"), user());
    settings.setValue(QStringLiteral("password"), password.isNull() ? this->password() : password);
    // Tests keep the password with the account; the secret store has a test of its own.
    settings.setValue(QStringLiteral("password-in-file"), true);
    settings.setValue(QStringLiteral("encryption"), QStringLiteral("none"));
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace HVTest
