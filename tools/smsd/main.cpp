// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

// halvane-smsd: records the SMS that arrive through oFono or ModemManager in
// the communication history.

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLockFile>
#include <QtDBus/QDBusConnection>

#include <cstdio>

#include "commhistory.h"
#include "hvlocalzone.h"
#include "smsrecorder.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    QCoreApplication::setApplicationName(QStringLiteral("halvane-smsd"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Listens on the system bus for the SMS oFono or ModemManager receives on any modem\n"
        "and records each in the communication history ($HALVANE_COMMHISTORY_DB, else\n"
        "$XDG_DATA_HOME/halvane/commhistory.db), telling the session bus. oFono goes first\n"
        "where both run; the key telephony/stack of halvane.conf (ofono, modemmanager,\n"
        "auto) chooses one. A sender the address book knows by number gets its name."));
    parser.addHelpOption();
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "halvane-smsd: unexpected argument: %s\n", qPrintable(parser.positionalArguments().first()));
        return 2;
    }

    // One recorder per history: a second (the user unit and one started by
    // hand) would record every message again.
    // On a fresh profile the history's folder does not exist yet.
    const QString folder = QFileInfo(CommHistory::databasePath()).absolutePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "halvane-smsd: cannot create %s\n", qPrintable(folder));
        return 1;
    }
    QLockFile lock(CommHistory::databasePath() + QLatin1String(".smsd-lock"));
    if (!lock.tryLock()) {
        if (lock.error() != QLockFile::LockFailedError) {
            std::fprintf(stderr, "halvane-smsd: cannot create the lock file beside %s (read-only or full disk?)\n",
                         qPrintable(CommHistory::databasePath()));
            return 1;
        }
        qint64 pid = 0;
        QString host, application;
        lock.getLockInfo(&pid, &host, &application);
        std::fprintf(stderr, "halvane-smsd: another halvane-smsd (pid %lld) records into %s\n", pid,
                     qPrintable(CommHistory::databasePath()));
        return 1;
    }

    // Names come from the address book; uninstalled runs find its engine
    // built beside the program.
    const QString builtPlugins = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                                 + QLatin1String("/" HALVANE_RELATIVE_QT_PLUGINS));
    if (QFileInfo(builtPlugins).isDir())
        QCoreApplication::addLibraryPath(builtPlugins);

    SmsRecorder recorder(QDBusConnection::systemBus());
    if (!recorder.start(TelephonyStack::setting())) {
        std::fprintf(stderr, "halvane-smsd: %s\n", qPrintable(recorder.errorString()));
        return 1;
    }

    // Stopped by a signal: every message is committed as it arrives.
    return app.exec();
}
