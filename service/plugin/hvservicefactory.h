// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICEFACTORY_H
#define HVSERVICEFACTORY_H

#include <QtCore/QStringList>

#include "halvaneservice_export.h"
#include "hvglobal.h"

namespace Halvane {

class HVService;

/*!
 * The process-wide registry of service plug-ins, by key. The first call of any
 * operation scans the plug-ins directory and loads every plug-in library;
 * plug-ins installed later are seen only by a new process.
 */
class HALVANESERVICE_EXPORT HVServiceFactory
{
public:
    // The keys of all registered plug-ins, in ascending order.
    static QStringList keys();
    // A new service of the plug-in with that key, owned by the caller; null if none.
    static HVService *createService(const QString &key);
    // Whether the plug-in with that key provides items of itemType.
    static bool supports(const QString &key, const QString &itemType);

private:
    HVServiceFactory() = delete;
};

} // namespace Halvane

#endif // HVSERVICEFACTORY_H
