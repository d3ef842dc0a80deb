// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef FUZZSUPPORT_H
#define FUZZSUPPORT_H

#include <QtCore/QByteArray>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QString>

#include <cstdlib>
#include <unistd.h>

// Set-up shared by the fuzz entry points: one application object for the
// process, a scratch directory outside the source tree, and no log output
// (the parsers log every step, which would drown the fuzzer).
namespace HVFuzz {

inline void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    // A fatal message must still end the run, so that it counts as a crash.
    if (type == QtFatalMsg) {
        fprintf(stderr, "fatal: %s\n", qPrintable(message));
        abort();
    }
    if (qEnvironmentVariableIsSet("HALVANE_FUZZ_VERBOSE"))
        fprintf(stderr, "%s\n", qPrintable(message));
}

// A fresh directory for this process, under $TMPDIR, else on tmpfs when there
// is one. libFuzzer may end the process without running exit handlers:
// run-fuzzers.sh gives each target a TMPDIR of its own and removes it.
inline QString scratchDirectory()
{
    static QString path;
    if (path.isEmpty()) {
        QByteArray base = qgetenv("TMPDIR");
        if (base.isEmpty())
            base = QDir(QStringLiteral("/dev/shm")).exists() ? "/dev/shm" : "/tmp";
        QByteArray pattern = base + "/halvane-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            abort();
        path = QString::fromLocal8Bit(pattern);
        // Removed at exit; a crash leaves it for inspection.
        atexit([] { QDir(path).removeRecursively(); });
    }
    return path;
}

inline QCoreApplication *application()
{
    static int argc = 1;
    static char name[] = "halvane-fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = nullptr;
    if (!app) {
        qInstallMessageHandler(quietHandler);
        if (!qEnvironmentVariableIsSet("HALVANE_FUZZ_VERBOSE"))
            qputenv("QT_LOGGING_RULES", "*.debug=false");
        app = new QCoreApplication(argc, argv);
    }
    return app;
}

} // namespace HVFuzz

#endif // FUZZSUPPORT_H
