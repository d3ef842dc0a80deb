// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvspeechplugininterface.h"

namespace Halvane {

HVSpeechPluginInterface::~HVSpeechPluginInterface() = default;

} // namespace Halvane
