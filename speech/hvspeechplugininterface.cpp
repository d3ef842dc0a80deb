#include "hvspeechplugininterface.h"

namespace Halvane {

HVSpeechPluginInterface::~HVSpeechPluginInterface() = default;

} // namespace Halvane
