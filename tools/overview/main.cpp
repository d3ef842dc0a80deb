// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLibraryInfo>
#include <QtCore/QLoggingCategory>

#include <cstdio>
#include <memory>

#include "hvdemosession.h"
#include "hvglobal.h"
#include "hvlocalzone.h"
#include "hvprogram.h"
#include "hvoverview.h"
#include "hvitemmanager.h"
#include "hvservicefactory.h"

using namespace Halvane;
using Halvane::Program::besideProgram;
using Halvane::Program::loadTranslations;

namespace {

int usageError(const QString &message, const QCommandLineParser &parser)
{
    std::fprintf(stderr, "halvane-overview: %s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    // The run ends when the overview says so. With the quit lock on, the end of
    // the last KJob (the mail source fetching content over IMAP) quits the loop
    // in the middle of the settling time, before anything is printed.
    QCoreApplication::setQuitLockEnabled(false);
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Prints today's items of every installed source."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption jsonOption(QStringLiteral("json"),
        QStringLiteral("Print JSON: one object keyed by item type, each row an object of role names to values."));
    const QCommandLineOption settleOption(QStringLiteral("settle"),
        QStringLiteral("Wait <ms> after the retrieval for sources that answer late (default 1000)."),
        QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption followOption(QStringLiteral("follow"),
        QStringLiteral("Keep running for <seconds> (0: until stopped) and print every change as one JSON object per line."),
        QStringLiteral("seconds"));
    const QCommandLineOption demoOption(QStringLiteral("demo"),
        QStringLiteral("Run on the bundled sample data in a throw-away profile."));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
        QStringLiteral("Also print the framework's and the sources' debug lines."));
    parser.addOptions({jsonOption, settleOption, followOption, demoOption, verboseOption});

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText(), parser);
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("halvane-overview %s\n", HALVANE_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first(), parser);

    // Debug lines are for developers; QT_LOGGING_RULES still decides when set.
    if (!parser.isSet(verboseOption) && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));

    HVOverview::Options options;
    options.json = parser.isSet(jsonOption);
    bool ok = true;
    options.settleMilliseconds = parser.value(settleOption).toInt(&ok);
    if (!ok || options.settleMilliseconds < 0)
        return usageError(QStringLiteral("--settle takes a number of milliseconds"), parser);
    if (parser.isSet(followOption)) {
        options.followSeconds = parser.value(followOption).toInt(&ok);
        if (!ok || options.followSeconds < 0)
            return usageError(QStringLiteral("--follow takes a number of seconds"), parser);
    }

    // Uninstalled runs find the plug-ins built beside the program.
    if (qEnvironmentVariableIsEmpty("HALVANE_PLUGINS_PATH")) {
        const QString base = besideProgram(QStringLiteral(HALVANE_RELATIVE_PLUGINS_BASE));
        if (QFileInfo(base).isDir())
            qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base + QLatin1Char('/')));
    }
    loadTranslations(app, QStringLiteral(HALVANE_RELATIVE_DATA_DIR));

    std::unique_ptr<HVDemoSession> demo;
    if (parser.isSet(demoOption)) {
        demo = std::make_unique<HVDemoSession>(
            "halvane-overview", besideProgram(QStringLiteral(HALVANE_RELATIVE_DATA_DIR "/demo")));
        if (!demo->start())
            return 1;
    }

    if (HVServiceFactory::keys().isEmpty()) {
        const QString base = pluginsPath();
        std::fprintf(stderr, "halvane-overview: no service plug-ins found in %s or %s\n",
                     qPrintable(QDir::toNativeSeparators(base)),
                     qPrintable(QDir::toNativeSeparators(base + QLatin1String("plugins"))));
        // The demo still shows its (empty) overview: it shows what is installed.
        if (!demo)
            return 1;
    }

    HVOverview overview(options);
    bool finished = false;
    QObject::connect(&overview, &HVOverview::finished, &app, [&finished](int code) {
        finished = true;
        QCoreApplication::exit(code);
    }, Qt::QueuedConnection);
    overview.start();
    int exitCode = app.exec();
    if (!finished) {
        std::fprintf(stderr, "halvane-overview: the event loop ended before the overview was done\n");
        exitCode = 1;
    }
    // The sources close their stores while the demo profile still exists.
    if (HVItemManager *manager = HVItemManager::instance())
        manager->cleanup();
    return exitCode;
}
