// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVBENCHCHILD_H
#define HVBENCHCHILD_H

#include <QtCore/QCoreApplication>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

// Runs this program again with the arguments, on an empty local Tracker store
// of its own, so that no measurement profits from another's store or caches.
// Its standard output; a null array when it failed.
inline QByteArray runInFreshStore(const QStringList &arguments)
{
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
    env.insert(QStringLiteral("HALVANE_TRACKER_SERVICE"), QString());
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(1800000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return QByteArray();
    const QByteArray output = child.readAllStandardOutput().trimmed();
    return output.isNull() ? QByteArray("") : output;
}

#endif // HVBENCHCHILD_H
