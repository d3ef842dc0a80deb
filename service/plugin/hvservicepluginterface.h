// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICEPLUGININTERFACE_H
#define HVSERVICEPLUGININTERFACE_H

#include <QtCore/QObject>
#include <QtCore/QString>

#include "hvglobal.h"

namespace Halvane {

class HVService;

/*!
 * The interface a service plug-in library exports.
 */
class HVServicePluginInterface
{
public:
    // The plug-in's key, unique among the installed plug-ins.
    virtual QString key() const = 0;
    // Whether the plug-in provides items of the given item type.
    virtual bool supports(const QString &itemType) const = 0;
    // A new service without parent; the caller owns it.
    virtual HVService *createService() = 0;

protected:
    // Plug-in objects belong to their library's plug-in export and are never
    // deleted through the interface.
    ~HVServicePluginInterface() = default;
};

} // namespace Halvane

#define HVServicePluginInterface_iid "com.corvant.halvane.HVServicePluginInterface/1.0"

Q_DECLARE_INTERFACE(Halvane::HVServicePluginInterface, HVServicePluginInterface_iid)

#endif // HVSERVICEPLUGININTERFACE_H
