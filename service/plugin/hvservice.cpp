#include "hvservice.h"

namespace Halvane {

HVService::HVService()
    : QObject(nullptr)
{
}

HVService::~HVService() = default;

bool HVService::hasSource() const
{
    return false;
}

HVServiceSource *HVService::source() const
{
    return nullptr;
}

bool HVService::cancelOperation()
{
    return false;
}

} // namespace Halvane
