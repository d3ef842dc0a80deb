// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVESPEAKSPEECHPLUGIN_H
#define HVESPEAKSPEECHPLUGIN_H

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include "hvspeechplugininterface.h"

namespace Halvane {

class HVEspeakSpeech;

class HVEspeakSpeechPlugin : public QObject, public HVSpeechPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVSpeechPluginInterface_iid)
    Q_INTERFACES(Halvane::HVSpeechPluginInterface)

public:
    ~HVEspeakSpeechPlugin() override;

    // One reader per plug-in, created on first use.
    HVSpeech *speechPlugin() override;

private:
    QPointer<HVEspeakSpeech> m_speech;
};

} // namespace Halvane

#endif // HVESPEAKSPEECHPLUGIN_H
