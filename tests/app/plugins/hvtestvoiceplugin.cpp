// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvtestvoiceplugin.h"

#include <QtCore/QTimer>

using namespace Halvane;

void HVTestVoice::initialize()
{
    QTimer::singleShot(0, this, &HVVoice::initializeFinished);
}

void HVTestVoice::say(int command)
{
    Q_EMIT commandReceived(VoiceCommand(command));
}

void HVTestVoice::slotWindowPosition(HVVoice::VPWndPosition pos)
{
    m_screen = pos;
    Q_EMIT told();
}

void HVTestVoice::slotSpeechStatus(HVVoice::VWSpeechStatus status)
{
    m_speechStatus = status;
    Q_EMIT told();
}

bool HVTestVoice::start()
{
    const bool changed = m_state != 0;
    m_state = 0;
    return changed;
}

bool HVTestVoice::pause()
{
    const bool changed = m_state != 1;
    m_state = 1;
    return changed;
}

void HVTestVoice::stop()
{
    m_state = 2;
}

HVVoice *HVTestVoicePlugin::voicePlugin()
{
    static HVTestVoice *voice = new HVTestVoice(this);
    return voice;
}
