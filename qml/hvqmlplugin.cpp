// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlplugin.h"

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
}

} // namespace Halvane
