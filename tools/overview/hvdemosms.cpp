// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvdemosms.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDate>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QStandardPaths>
#include <QtDBus/QDBusConnection>

#include <csignal>
#include <signal.h>
#include <sys/types.h>

namespace Halvane {

namespace {

volatile pid_t s_busPid = 0;

// Ctrl-C or a kill must not leave the private bus behind.
void stopBusAndDie(int signal)
{
    if (s_busPid > 0)
        ::kill(s_busPid, SIGTERM);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// A private session bus for the demo's lifetime: it belongs to the
// application object and stops when that goes.
class DemoSessionBus : public QObject
{
public:
    explicit DemoSessionBus(QObject *parent)
        : QObject(parent)
    {
    }

    ~DemoSessionBus() override
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        s_busPid = 0;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
        m_daemon.waitForFinished(1000);
    }

    bool start()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty()) {
            qWarning("demo: no session bus and no dbus-daemon to start one: SMS changes are not followed");
            return false;
        }
        m_daemon.setProgram(program);
        m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                               QStringLiteral("--address=unix:tmpdir=") + QDir::tempPath(),
                               QStringLiteral("--print-address=1")});
        // Its complaints about fd limits are no news to a demo user.
        m_daemon.setStandardErrorFile(QProcess::nullDevice());
        m_daemon.start();
        QByteArray address;
        while (m_daemon.waitForReadyRead(5000)) {
            address += m_daemon.readAllStandardOutput();
            if (address.contains('\n'))
                break;
        }
        address = address.trimmed();
        if (address.isEmpty()) {
            qWarning("demo: the private session bus did not start: %s", qPrintable(m_daemon.errorString()));
            m_daemon.kill();
            m_daemon.waitForFinished(1000);
            return false;
        }
        s_busPid = pid_t(m_daemon.processId());
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, stopBusAndDie);
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        return true;
    }

private:
    QProcess m_daemon;
};

// Probed on a connection of its own: the default session connection stays
// untouched until the address is settled.
bool sessionBusReachable()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return false;
    const QString name = QStringLiteral("halvane-demo-probe");
    const bool connected = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name).isConnected();
    QDBusConnection::disconnectFromBus(name);
    return connected;
}

void ensureSessionBus()
{
    if (sessionBusReachable())
        return;
    auto *bus = new DemoSessionBus(QCoreApplication::instance());
    if (!bus->start())
        delete bus;
}

} // namespace

void recordSampleMessages(const QString &dir)
{
    QFile file(dir + QLatin1String("/messages.json"));
    if (!file.exists())
        return;
    ensureSessionBus();

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), &error);
    if (!document.isArray()) {
        qWarning("demo: the sample messages in %s are not a JSON array: %s", qPrintable(file.fileName()),
                 qPrintable(error.errorString()));
        return;
    }

    const QString program = QCoreApplication::applicationDirPath() + QLatin1String("/halvane-commhistory");
    const QDate today = QDate::currentDate();
    const QJsonArray messages = document.array();
    for (int i = 0; i < messages.size(); ++i) {
        const QJsonObject message = messages.at(i).toObject();
        const QTime time = QTime::fromString(message.value(QLatin1String("time")).toString(), QStringLiteral("HH:mm"));
        const QString from = message.value(QLatin1String("from")).toString();
        if (!time.isValid() || from.isEmpty()) {
            qWarning("demo: sample message %d skipped: it needs \"from\" and a \"time\" HH:MM", i);
            continue;
        }
        QStringList arguments = {QStringLiteral("add-sms"), QStringLiteral("--from"), from,
                                 QStringLiteral("--text"), message.value(QLatin1String("text")).toString(),
                                 QStringLiteral("--time"), QDateTime(today, time).toString(Qt::ISODate)};
        const QString name = message.value(QLatin1String("name")).toString();
        if (!name.isEmpty())
            arguments << QStringLiteral("--name") << name;
        if (message.value(QLatin1String("outbound")).toBool())
            arguments << QStringLiteral("--outbound");

        QProcess add;
        add.start(program, arguments);
        if (!add.waitForFinished(30000) || add.exitStatus() != QProcess::NormalExit || add.exitCode() != 0)
            qWarning("demo: sample message %d was not recorded: %s", i,
                     qPrintable(QString::fromLocal8Bit(add.readAllStandardError()).trimmed() + add.errorString()));
    }
}

} // namespace Halvane
