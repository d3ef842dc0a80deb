// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

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
