// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVVOICEPLUGININTERFACE_H
#define HVVOICEPLUGININTERFACE_H

#include <QtCore/QObject>

#include "halvanevoicemanager_export.h"

namespace Halvane {

class HVVoice;

/*!
 * The interface a voice plug-in's root object implements.
 */
class HALVANEVOICEMANAGER_EXPORT HVVoicePluginInterface
{
public:
    // The plug-in's voice object; the plug-in owns it.
    virtual HVVoice *voicePlugin() = 0;
    virtual ~HVVoicePluginInterface();
};

} // namespace Halvane

#define HVVoicePluginInterface_iid "com.corvant.halvane.HVVoicePluginInterface/1.0"

Q_DECLARE_INTERFACE(Halvane::HVVoicePluginInterface, HVVoicePluginInterface_iid)

#endif // HVVOICEPLUGININTERFACE_H
