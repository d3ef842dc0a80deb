// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvespeakspeechplugin.h"

#include "hvespeakspeech.h"

namespace Halvane {

HVEspeakSpeechPlugin::~HVEspeakSpeechPlugin()
{
    delete m_speech.data();
}

HVSpeech *HVEspeakSpeechPlugin::speechPlugin()
{
    if (!m_speech)
        m_speech = new HVEspeakSpeech(this);
    return m_speech.data();
}

} // namespace Halvane
