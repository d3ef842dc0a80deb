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
