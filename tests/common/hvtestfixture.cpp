// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvtestfixture.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QJsonDocument>
#include <QtCore/QProcess>
#include <QtCore/QSaveFile>
#include <QtCore/QThread>
#include <QtCore/QTranslator>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>

namespace HVTest {

QString pluginFile(const QString &target)
{
    return QStringLiteral(HVTEST_PLUGIN_DIR "/lib") + target + QLatin1String(".so");
}

bool installPlugin(const QString &target, const QString &dir, const QString &fileName)
{
    if (!QDir().mkpath(dir))
        return false;
    const QString destination = dir + QLatin1Char('/')
        + (fileName.isEmpty() ? QStringLiteral("lib") + target + QLatin1String(".so") : fileName);
    QFile::remove(destination);
    return QFile::copy(pluginFile(target), destination);
}

bool writeItems(const QString &dir, const QString &key, const QJsonArray &items)
{
    if (!QDir().mkpath(dir))
        return false;
    QSaveFile file(dir + QLatin1Char('/') + key + QLatin1String(".json"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(items).toJson());
    return file.commit();
}

bool loadTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("halvane_en"), QStringLiteral(HVTEST_TRANSLATIONS_DIR)))
        return false;
    return QCoreApplication::installTranslator(translator);
}

bool startSessionBus(QProcess &bus, const QString &socketDir, const QString &serviceDir)
{
    if (!QDir().mkpath(socketDir))
        return false;
    QStringList arguments{QStringLiteral("--session")};
    if (!serviceDir.isEmpty()) {
        QFile config(socketDir + QLatin1String("/session.conf"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                    "<auth>EXTERNAL</auth><servicedir>%2</servicedir>"
                                    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                         .arg(socketDir.toHtmlEscaped(), serviceDir.toHtmlEscaped())
                         .toUtf8());
        config.close();
        arguments = QStringList{QStringLiteral("--config-file=") + config.fileName()};
    }
    bus.start(QStringLiteral("dbus-daemon"), arguments + QStringList{QStringLiteral("--nofork"),
                                                                     QStringLiteral("--address=unix:dir=") + socketDir,
                                                                     QStringLiteral("--print-address=1")});
    if (!bus.waitForStarted())
        return false;
    const QByteArray address = readLine(bus, 10000).trimmed();
    if (address.isEmpty())
        return false;
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    return true;
}

QByteArray readLine(QProcess &process, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!process.canReadLine() && !deadline.hasExpired())
        process.waitForReadyRead(100);
    return process.readLine();
}

QJsonObject readJsonLine(QProcess &process, int milliseconds)
{
    return QJsonDocument::fromJson(readLine(process, milliseconds)).object();
}

bool startTrackerEndpoint(QProcess &endpoint, const QString &databaseDir, const QString &service)
{
    endpoint.start(QStringLiteral("tracker3"), {QStringLiteral("endpoint"), QStringLiteral("--database"), databaseDir,
                                                QStringLiteral("--ontology"), QStringLiteral("nepomuk"),
                                                QStringLiteral("--dbus-service"), service, QStringLiteral("--session")});
    if (!endpoint.waitForStarted())
        return false;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (QDBusConnection::sessionBus().interface()->isServiceRegistered(service))
            return true;
        QThread::msleep(50);
    }
    return false;
}

} // namespace HVTest
