// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSPEECHPLUGININTERFACE_H
#define HVSPEECHPLUGININTERFACE_H

#include <QtCore/QObject>

#include "halvanespeechmanager_export.h"

namespace Halvane {

class HVSpeech;

/*!
 * The interface a speech plug-in's root object implements.
 */
class HALVANESPEECHMANAGER_EXPORT HVSpeechPluginInterface
{
public:
    // First, before the destructor: plug-ins built elsewhere rely on this order.
    // The plug-in's reader; the plug-in owns it.
    virtual HVSpeech *speechPlugin() = 0;
    virtual ~HVSpeechPluginInterface();
};

} // namespace Halvane

#define HVSpeechPluginInterface_iid "com.corvant.halvane.HVSpeechPluginInterface/1.0"

Q_DECLARE_INTERFACE(Halvane::HVSpeechPluginInterface, HVSpeechPluginInterface_iid)

#endif // HVSPEECHPLUGININTERFACE_H
