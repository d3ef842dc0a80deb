#include "crashingkeyplugin.h"

#include <cstdlib>

QString CrashingKeyPlugin::key() const
{
    std::abort();
}

bool CrashingKeyPlugin::supports(const QString &) const
{
    return false;
}

Halvane::HVService *CrashingKeyPlugin::createService()
{
    return nullptr;
}
