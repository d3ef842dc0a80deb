// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvspeech.h"

namespace Halvane {

HVSpeech::HVSpeech(QObject *parent)
    : QObject(parent)
{
}

HVSpeech::~HVSpeech() = default;

} // namespace Halvane
