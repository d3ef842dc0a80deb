// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvvoiceplugininterface.h"

namespace Halvane {

HVVoicePluginInterface::~HVVoicePluginInterface() = default;

} // namespace Halvane
