#include "hvvoiceplugininterface.h"

namespace Halvane {

HVVoicePluginInterface::~HVVoicePluginInterface() = default;

} // namespace Halvane
