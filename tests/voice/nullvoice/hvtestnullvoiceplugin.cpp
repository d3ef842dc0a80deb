#include "hvtestnullvoiceplugin.h"

Halvane::HVVoice *HVTestNullVoicePlugin::voicePlugin()
{
    return nullptr;
}
