// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvserviceplugin.h"

namespace Halvane {

HVServicePlugin::HVServicePlugin()
    : QObject(nullptr)
{
}

HVServicePlugin::~HVServicePlugin() = default;

} // namespace Halvane
