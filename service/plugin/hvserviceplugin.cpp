#include "hvserviceplugin.h"

namespace Halvane {

HVServicePlugin::HVServicePlugin()
    : QObject(nullptr)
{
}

HVServicePlugin::~HVServicePlugin() = default;

} // namespace Halvane
