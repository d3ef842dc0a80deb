// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

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
