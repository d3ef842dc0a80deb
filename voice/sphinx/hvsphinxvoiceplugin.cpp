// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvsphinxvoiceplugin.h"

#include "hvsphinxvoice.h"

namespace Halvane {

HVVoice *HVSphinxVoicePlugin::voicePlugin()
{
    if (!m_voice)
        m_voice = new HVSphinxVoice;
    return m_voice;
}

} // namespace Halvane
