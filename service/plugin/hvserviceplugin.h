// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICEPLUGIN_H
#define HVSERVICEPLUGIN_H

#include <QtCore/QObject>

#include "halvaneservice_export.h"
#include "hvservicepluginterface.h"

namespace Halvane {

/*!
 * The root object of a service plug-in library. A plug-in derives from it,
 * declares Q_PLUGIN_METADATA(IID HVServicePluginInterface_iid) and implements the
 * three interface operations.
 */
class HALVANESERVICE_EXPORT HVServicePlugin : public QObject, public HVServicePluginInterface
{
    Q_OBJECT
    Q_INTERFACES(Halvane::HVServicePluginInterface)

public:
    HVServicePlugin();
    ~HVServicePlugin() override;
};

} // namespace Halvane

#endif // HVSERVICEPLUGIN_H
