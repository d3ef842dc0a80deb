// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvvoice.h"
#include "halvanevoice_debug.h"

#include <QtCore/QDebug>

namespace Halvane {

HVVoice::HVVoice(QObject *parent)
    : QObject(parent)
{
    // Automatic: an implementation may emit from its recogniser's thread.
    connect(this, &HVVoice::commandReceived, this, &HVVoice::onCommandReceived);
}

HVVoice::~HVVoice() = default;

int HVVoice::getCurrentState()
{
    return 2;
}

void HVVoice::initialize()
{
}

void HVVoice::slotWindowPosition(HVVoice::VPWndPosition pos)
{
    Q_UNUSED(pos)
}

void HVVoice::slotSpeechStatus(HVVoice::VWSpeechStatus status)
{
    Q_UNUSED(status)
}

// Not virtual, so that a connection through the base class reaches the
// implementation's status handling.
void HVVoice::slotSpeechStopped()
{
    slotSpeechStatus(VWSpeechStopped);
}

void HVVoice::slotSpeechStarted()
{
    slotSpeechStatus(VWSpeechStarted);
}

bool HVVoice::start()
{
    return false;
}

bool HVVoice::pause()
{
    return false;
}

void HVVoice::stop()
{
}

void HVVoice::onCommandReceived(VoiceCommand command)
{
    qCDebug(HALVANE_VOICE) << "Command" << int(command);
    switch (command) {
    case VCMain:
        Q_EMIT commandMain();
        break;
    case VCMessages:
        Q_EMIT commandMessages();
        break;
    case VCFeeds:
        Q_EMIT commandFeeds();
        break;
    case VCEvents:
        Q_EMIT commandEvents();
        break;
    case VCWeather:
        Q_EMIT commandWeather();
        break;
    case VCBack:
        Q_EMIT commandBack();
        break;
    case VCCommands:
        Q_EMIT commandCommands();
        break;
    case VCHelp:
        Q_EMIT commandHelp();
        break;
    case VCRead:
    case VCStart:
        Q_EMIT commandRead();
        break;
    case VCNext:
        Q_EMIT commandNext();
        break;
    case VCPrev:
        Q_EMIT commandPrev();
        break;
    case VCStop:
        Q_EMIT commandStop();
        break;
    case VCPause:
        Q_EMIT commandPause();
        break;
    case VCContinue:
        Q_EMIT commandContinue();
        break;
    case VCMore:
        Q_EMIT commandMore();
        break;
    case VCAttendees:
        Q_EMIT commandAttendees();
        break;
    case VCCall:
        Q_EMIT commandCall();
        break;
    }
}

} // namespace Halvane
