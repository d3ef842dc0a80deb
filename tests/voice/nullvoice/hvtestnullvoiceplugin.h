// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVTESTNULLVOICEPLUGIN_H
#define HVTESTNULLVOICEPLUGIN_H

#include <QtCore/QObject>

#include "hvvoiceplugininterface.h"

// A voice plug-in that has no voice object to give.
class HVTestNullVoicePlugin : public QObject, public Halvane::HVVoicePluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVVoicePluginInterface_iid)
    Q_INTERFACES(Halvane::HVVoicePluginInterface)

public:
    Halvane::HVVoice *voicePlugin() override;
};

#endif // HVTESTNULLVOICEPLUGIN_H
