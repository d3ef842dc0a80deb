// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVPLUGINMANAGER_H
#define HVPLUGINMANAGER_H

#include <QtCore/QObject>
#include <QtCore/QStringList>

#include "halvaneservice_export.h"
#include "hvglobal.h"

namespace Halvane {

class HVPluginManagerPrivate;

/*!
 * Finds the plug-in library files under the plug-ins base directory and its
 * "plugins" sub-path, and loads a library on request. Libraries are known by
 * file name: a file in the "plugins" path replaces one of the same name in the
 * base path.
 */
class HALVANESERVICE_EXPORT HVPluginManager : public QObject
{
    Q_OBJECT

public:
    // Scans the search paths (entering directoryName, if not empty); loads nothing.
    explicit HVPluginManager(const QString &directoryName, QObject *parent = nullptr);
    // Forgets the loaders; the libraries stay loaded.
    ~HVPluginManager() override;

    // The root object of the library with that file name, loading it if needed;
    // null when there is no such library or it cannot be loaded.
    QObject *instance(const QString &fileName);
    // The file names of all libraries found, in ascending order.
    QStringList list() const;

private:
    HVPluginManagerPrivate *const d;
    Q_DISABLE_COPY(HVPluginManager)
};

} // namespace Halvane

#endif // HVPLUGINMANAGER_H
