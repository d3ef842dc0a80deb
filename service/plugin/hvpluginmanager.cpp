// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvpluginmanager.h"
#include "halvaneservice_debug.h"
#include "hvpluginmanager_p.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QPluginLoader>

namespace Halvane {

HVPluginManagerPrivate::HVPluginManagerPrivate(const QString &directoryName)
{
    const QString base = pluginsPath();
    const QStringList searchPaths{base, base + QLatin1String("plugins")};
    qCDebug(HALVANE_SERVICE) << "Library path: " << searchPaths;

    const QStringList nameFilter{QStringLiteral("*%1.so*").arg(QString())};
    for (const QString &path : searchPaths) {
        QDir dir(path);
        if (!dir.exists())
            continue;
        if (!directoryName.isEmpty() && !dir.cd(directoryName))
            continue;
        if (!QFileInfo(dir.absolutePath()).isReadable())
            continue;

        const QStringList files = dir.entryList(nameFilter, QDir::Files, QDir::Unsorted);
        for (const QString &fileName : files) {
            // Scanning a large directory should not freeze the user interface.
            QCoreApplication::processEvents();
            const QString absolutePath = dir.absoluteFilePath(fileName);
            if (QPluginLoader *loader = loaders.value(fileName))
                loader->setFileName(absolutePath);
            else
                loaders.insert(fileName, new QPluginLoader(absolutePath));
        }
    }
}

HVPluginManagerPrivate::~HVPluginManagerPrivate()
{
    // Deleting a loader does not unload its library: plug-in objects stay valid.
    qDeleteAll(loaders);
}

HVPluginManager::HVPluginManager(const QString &directoryName, QObject *parent)
    : QObject(parent)
    , d(new HVPluginManagerPrivate(directoryName))
{
}

HVPluginManager::~HVPluginManager()
{
    delete d;
}

QObject *HVPluginManager::instance(const QString &fileName)
{
    QPluginLoader *loader = d->loaders.value(fileName);
    if (!loader) {
        qCDebug(HALVANE_SERVICE) << "Could not find" << fileName << "to load";
        return nullptr;
    }
    QObject *object = loader->instance();
    if (!object) {
        qCDebug(HALVANE_SERVICE) << "Error loading" << fileName << "with error" << loader->errorString();
        return nullptr;
    }
    return object;
}

QStringList HVPluginManager::list() const
{
    return d->loaders.keys();
}

} // namespace Halvane
