// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvservicefactory.h"

#include <QtCore/QMap>

#include "hvglobalstatic_p.h"
#include "hvpluginmanager.h"
#include "hvservice.h"
#include "hvserviceplugin.h"

namespace Halvane {

namespace {

struct HVServicePluginRegistry
{
    HVServicePluginRegistry()
        : pluginManager(QString(), nullptr)
    {
        const QStringList files = pluginManager.list();
        for (const QString &fileName : files) {
            auto *plugin = qobject_cast<HVServicePlugin *>(pluginManager.instance(fileName));
            if (plugin)
                plugins.insert(plugin->key(), plugin);
        }
    }

    // Not owned: each plug-in object belongs to its library.
    QMap<QString, HVServicePlugin *> plugins;
    HVPluginManager pluginManager;
};

using Registry = HVGlobalStatic<HVServicePluginRegistry>;

HVServicePluginRegistry *registry()
{
    return Registry::instance([] { return new HVServicePluginRegistry; });
}

HVServicePlugin *plugin(const QString &key)
{
    HVServicePluginRegistry *r = registry();
    return r ? r->plugins.value(key) : nullptr;
}

} // namespace

QStringList HVServiceFactory::keys()
{
    HVServicePluginRegistry *r = registry();
    return r ? r->plugins.keys() : QStringList();
}

HVService *HVServiceFactory::createService(const QString &key)
{
    HVServicePlugin *p = plugin(key);
    return p ? p->createService() : nullptr;
}

bool HVServiceFactory::supports(const QString &key, const QString &itemType)
{
    HVServicePlugin *p = plugin(key);
    return p && p->supports(itemType);
}

} // namespace Halvane
