// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QCommandLineParser>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLoggingCategory>
#include <QtCore/QRegularExpression>
#include <QtCore/QStandardPaths>
#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>
#include <QtQml/QQmlApplicationEngine>
#include <QtQml/QQmlContext>
#include <QtQuick/QQuickWindow>
#include <QtQuickControls2/QQuickStyle>

#include <cstdio>
#include <memory>

#include "hvcontactcardservice.h"
#include "hvdemosession.h"
#include "hvglobal.h"
#include "hvlocalzone.h"
#include "hvprogram.h"
#include "hvitemmanager.h"
#include "hvscreenshot.h"

using namespace Halvane;
using Halvane::Program::besideProgram;
using Halvane::Program::loadTranslations;

namespace {

int usageError(const QString &message)
{
    std::fprintf(stderr, "halvane: %s (see halvane --help)\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    // Options are read before the window system is reached, so that --help
    // and usage errors work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Your day at a glance: weather, events, messages and feeds."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demoOption(QStringLiteral("demo"),
        QStringLiteral("Run on the bundled sample data in a throw-away profile."));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
        QStringLiteral("Render off screen once the day is retrieved, write the picture to <file> (PNG) and exit."),
        QStringLiteral("file"));
    const QCommandLineOption pageOption(QStringLiteral("page"),
        QStringLiteral("The page to open: today, weather, messages, events, feeds or settings (default today)."),
        QStringLiteral("page"), QStringLiteral("today"));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
        QStringLiteral("The window size in logical pixels (default 360x720)."), QStringLiteral("WxH"),
        QStringLiteral("360x720"));
    const QCommandLineOption settleOption(QStringLiteral("settle"),
        QStringLiteral("With --screenshot: wait <ms> after the retrieval for sources that answer late (default 1500)."),
        QStringLiteral("ms"), QStringLiteral("1500"));
    const QCommandLineOption verboseOption(QStringLiteral("verbose"),
        QStringLiteral("Also print the framework's and the sources' debug lines."));
    parser.addOptions({demoOption, screenshotOption, pageOption, sizeOption, settleOption, verboseOption});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        // The help names the program as the application object has it.
        QCoreApplication core(argc, argv);
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("halvane %s\n", HALVANE_VERSION);
        return 0;
    }

    static const QStringList pages = {QStringLiteral("today"), QStringLiteral("weather"), QStringLiteral("messages"),
                                      QStringLiteral("events"), QStringLiteral("feeds"), QStringLiteral("settings")};
    const QString page = parser.value(pageOption);
    if (!pages.contains(page))
        return usageError(QStringLiteral("no such page: ") + page);
    const QRegularExpressionMatch size
        = QRegularExpression(QStringLiteral("^(\\d{2,5})x(\\d{2,5})$")).match(parser.value(sizeOption));
    if (!size.hasMatch())
        return usageError(QStringLiteral("--size takes WxH, for example 360x720"));
    bool ok = true;
    const int settle = parser.value(settleOption).toInt(&ok);
    if (!ok || settle < 0)
        return usageError(QStringLiteral("--settle takes a number of milliseconds"));
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication app(argc, argv);
    // Local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.halvane.Halvane"));

    if (!parser.isSet(verboseOption) && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nkf.kirigami.warning=false"));

    // Uninstalled runs find the plug-ins and the QML module built beside the program.
    if (qEnvironmentVariableIsEmpty("HALVANE_PLUGINS_PATH")) {
        const QString base = besideProgram(QStringLiteral(HALVANE_RELATIVE_PLUGINS_BASE));
        if (QFileInfo(base).isDir())
            qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base + QLatin1Char('/')));
    }
    // And the recogniser's dictionary and language model built beside it.
    if (qEnvironmentVariableIsEmpty("HALVANE_VOICE_DATA")) {
        const QString voiceData = besideProgram(QStringLiteral(HALVANE_RELATIVE_DATA_DIR "/voice"));
        if (QFileInfo(voiceData + QLatin1String("/hv.dic")).isFile()
            && !QFileInfo::exists(QStringLiteral(HALVANE_INSTALLED_DATA_DIR "/voice/hv.dic")))
            qputenv("HALVANE_VOICE_DATA", QFile::encodeName(voiceData));
    }
    loadTranslations(app, QStringLiteral(HALVANE_RELATIVE_DATA_DIR));

    std::unique_ptr<HVDemoSession> demo;
    if (parser.isSet(demoOption)) {
        demo = std::make_unique<HVDemoSession>(
            "halvane", besideProgram(QStringLiteral(HALVANE_RELATIVE_DATA_DIR "/demo")));
        if (!demo->start())
            return 1;
    }

    // Without a desktop's platform theme Qt knows only hicolor, which has no
    // weather or action icons; Breeze (and its fallbacks) has them all.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        QStringList paths = QIcon::themeSearchPaths();
        const QStringList shared = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                                             QStandardPaths::LocateDirectory);
        for (const QString &dir : shared) {
            if (!paths.contains(dir))
                paths.append(dir);
        }
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(QStringLiteral("breeze"));
    }
    // The installed theme's icon where there is one, else the one built in.
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.halvane.Halvane"),
                                                    QIcon(QStringLiteral(":/icons/org.halvane.Halvane.svg"))));
    if (qEnvironmentVariableIsEmpty("QT_QUICK_CONTROLS_STYLE"))
        QQuickStyle::setStyle(QStringLiteral("Material"));
    // Off screen there is no OpenGL: the software renderer draws (and grabs) there.
    const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen")
        || QGuiApplication::platformName() == QLatin1String("minimal");
    if ((offscreen || parser.isSet(screenshotOption)) && qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);

    int exitCode = 0;
    {
        QQmlApplicationEngine engine;
        const QString moduleDir = besideProgram(QStringLiteral(HALVANE_RELATIVE_QML_DIR));
        if (QFileInfo(moduleDir + QLatin1String("/Halvane/qmldir")).exists())
            engine.addImportPath(moduleDir);
        engine.rootContext()->setContextProperty(QStringLiteral("startPage"), page);
        engine.rootContext()->setContextProperty(QStringLiteral("screenshotMode"), parser.isSet(screenshotOption));
        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        auto *window = engine.rootObjects().isEmpty() ? nullptr
                                                      : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        if (!window) {
            std::fprintf(stderr, "halvane: the user interface did not load\n");
            return 1;
        }
        window->resize(size.captured(1).toInt(), size.captured(2).toInt());

        std::unique_ptr<HVScreenshot> screenshot;
        std::unique_ptr<HVContactCardService> contactCards;
        if (parser.isSet(screenshotOption)) {
            screenshot = std::make_unique<HVScreenshot>(window, parser.value(screenshotOption), settle);
            screenshot->start();
        } else {
            // Taken once the window can show a card: a call that started the
            // app waits on the bus until then.
            contactCards = std::make_unique<HVContactCardService>(window);
            contactCards->registerOnBus();
        }
        exitCode = app.exec();
    }
    // The sources close their stores while the demo profile still exists.
    if (HVItemManager *manager = HVItemManager::instance())
        manager->cleanup();
    return exitCode;
}
