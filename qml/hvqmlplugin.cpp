// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlplugin.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QLocale>
#include <QtCore/QTranslator>
#include <QtQml/QQmlEngine>
#include <QtQml/qqml.h>

#include "hvdaywatcher.h"
#include "hvlocalonlynetworkaccessmanagerfactory.h"
#include "hvqmlcaller.h"
#include "hvqmlcities.h"
#include "hvqmlcontactcard.h"
#include "hvqmlitemmodel.h"
#include "hvqmlreader.h"
#include "hvqmlvoice.h"
#include "hvqmlweathericon.h"

namespace Halvane {

void HVQmlPlugin::registerTypes(const char *uri)
{
    qmlRegisterType<HVQmlItemModel>(uri, 1, 0, "ItemModel");
    qmlRegisterType<HVQmlVoice>(uri, 1, 0, "Voice");
    qmlRegisterType<HVQmlReader>(uri, 1, 0, "Reader");
    qmlRegisterType<HVQmlCaller>(uri, 1, 0, "Caller");
    qmlRegisterType<HVQmlCities>(uri, 1, 0, "Cities");
    qmlRegisterType<HVQmlContactCard>(uri, 1, 0, "ContactCard");
    qmlRegisterSingletonType<HVQmlWeatherIcon>(uri, 1, 0, "WeatherIcon",
        [](QQmlEngine *, QJSEngine *) -> QObject * { return new HVQmlWeatherIcon; });
    qmlRegisterSingletonType<HVDayWatcher>(uri, 1, 0, "Today", [](QQmlEngine *, QJSEngine *) -> QObject * {
        HVDayWatcher *watcher = HVDayWatcher::instance();
        // Process-wide: the engine must not delete it.
        QQmlEngine::setObjectOwnership(watcher, QQmlEngine::CppOwnership);
        return watcher;
    });
}

void HVQmlPlugin::initializeEngine(QQmlEngine *engine, const char *uri)
{
    Q_UNUSED(uri)
    // Item bodies are rich text from strangers: nothing they name is fetched.
    static HVLocalOnlyNetworkAccessManagerFactory localOnly;
    if (!engine->networkAccessManagerFactory())
        engine->setNetworkAccessManagerFactory(&localOnly);

    // The module's texts are looked up by id: a user interface that loads no
    // catalogue of ours would show the ids ("hv_app_until_minutes").
    if (qtTrId("hv_app_until_now") == QLatin1String("hv_app_until_now") && QCoreApplication::instance()) {
        const QString dir =
            QDir::cleanPath(baseUrl().toLocalFile() + QLatin1String("/" HALVANE_QML_TO_TRANSLATIONS));
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QLocale(), QStringLiteral("halvane"), QStringLiteral("_"), dir)
            || translator->load(QStringLiteral("halvane_en"), dir))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}

} // namespace Halvane
