// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef VOICECOMMAND_H
#define VOICECOMMAND_H

#include <QtCore/QMetaType>

#include "hvglobal.h"

namespace Halvane {

/*!
 * A spoken command. The values are fixed: the voice plug-in's word tables and
 * HVVoice::onCommandReceived() rely on them. Any other int may arrive as well
 * (and means nothing), hence the fixed underlying type.
 */
enum VoiceCommand : int {
    VCMain = 0,
    VCMessages = 1,
    VCFeeds = 2,
    VCEvents = 3,
    VCWeather = 4,
    VCBack = 5,
    VCCommands = 6,
    VCHelp = 7,
    VCRead = 8,
    VCStart = 9,
    VCNext = 10,
    VCPrev = 11,
    VCStop = 12,
    VCPause = 13,
    VCContinue = 14,
    VCMore = 15,
    VCAttendees = 16,
    VCCall = 17,
};

} // namespace Halvane

// The _IMPL form stringizes the type unexpanded: "HALVANE_NAMESPACE::VoiceCommand".
Q_DECLARE_METATYPE_IMPL(HALVANE_NAMESPACE::VoiceCommand)

#endif // VOICECOMMAND_H
