#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLibraryInfo>
#include <QtCore/QLocale>
#include <QtCore/QLoggingCategory>
#include <QtCore/QTranslator>

#include <cstdio>
#include <memory>

#include "hvdemoprofile.h"
#include "hvdemoweatherserver.h"
#include "hvglobal.h"
#include "hvoverview.h"
#include "hvitemmanager.h"
#include "hvservicefactory.h"

using namespace Halvane;

namespace {

// Beside the program: the same layout in the build tree and when installed.
QString besideProgram(const char *relative)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(relative));
}

void loadTranslations(QCoreApplication &app)
{
    const QString dir = besideProgram(HALVANE_RELATIVE_DATA_DIR "/translations");
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(), QStringLiteral("halvane"), QStringLiteral("_"), dir)
        || translator->load(QStringLiteral("halvane_en"), dir))
        QCoreApplication::installTranslator(translator);
}

int usageError(const QString &message, const QCommandLineParser &parser)
{
    std::fprintf(stderr, "halvane-overview: %s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
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
        const QString base = besideProgram(HALVANE_RELATIVE_PLUGINS_BASE);
        if (QFileInfo(base).isDir())
            qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base + QLatin1Char('/')));
    }
    loadTranslations(app);

    std::unique_ptr<HVDemoProfile> demo;
    std::unique_ptr<HVDemoWeatherServer> demoWeather;
    if (parser.isSet(demoOption)) {
        QString samples = qEnvironmentVariable("HALVANE_DEMO_DATA");
        if (samples.isEmpty())
            samples = besideProgram(HALVANE_RELATIVE_DATA_DIR "/demo");
        demo = std::make_unique<HVDemoProfile>(samples);
        if (!demo->prepare()) {
            std::fprintf(stderr, "halvane-overview: cannot prepare the demo: %s\n", qPrintable(demo->errorString()));
            return 1;
        }
        // The sample forecasts, served on loopback in place of the provider's.
        demoWeather = std::make_unique<HVDemoWeatherServer>(samples + QLatin1String("/weather"));
        if (demoWeather->start())
            qputenv("HALVANE_WEATHER_HOST", demoWeather->host().toLatin1());
        else
            std::fprintf(stderr, "halvane-overview: the demo's forecast server did not start: %s\n",
                         qPrintable(demoWeather->errorString()));
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
