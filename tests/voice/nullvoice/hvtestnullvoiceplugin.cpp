// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvtestnullvoiceplugin.h"

Halvane::HVVoice *HVTestNullVoicePlugin::voicePlugin()
{
    return nullptr;
}
