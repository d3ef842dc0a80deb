// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSPHINXVOICEPLUGIN_H
#define HVSPHINXVOICEPLUGIN_H

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include "hvvoiceplugininterface.h"

namespace Halvane {

class HVSphinxVoice;

class HVSphinxVoicePlugin : public QObject, public HVVoicePluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVVoicePluginInterface_iid)
    Q_INTERFACES(Halvane::HVVoicePluginInterface)

public:
    // One voice object, created on first use and kept for the process; made
    // anew if a caller deleted it.
    HVVoice *voicePlugin() override;

private:
    QPointer<HVSphinxVoice> m_voice;
};

} // namespace Halvane

#endif // HVSPHINXVOICEPLUGIN_H
