// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVPLUGINMANAGER_P_H
#define HVPLUGINMANAGER_P_H

#include <QtCore/QMap>
#include <QtCore/QString>

QT_BEGIN_NAMESPACE
class QPluginLoader;
QT_END_NAMESPACE

namespace Halvane {

class HVPluginManagerPrivate
{
public:
    explicit HVPluginManagerPrivate(const QString &directoryName);
    ~HVPluginManagerPrivate();

    // One loader per library file, by bare file name.
    QMap<QString, QPluginLoader *> loaders;
};

} // namespace Halvane

#endif // HVPLUGINMANAGER_P_H
