// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVTESTVOICEPLUGIN_H
#define HVTESTVOICEPLUGIN_H

#include <QtCore/QObject>

#include "hvvoice.h"
#include "hvvoiceplugininterface.h"

// A voice the test speaks for: say() delivers a command as the recogniser
// would, and the screen and reader state it was told are kept to look at.
class HVTestVoice : public Halvane::HVVoice
{
    Q_OBJECT
    Q_PROPERTY(int screen MEMBER m_screen NOTIFY told)
    Q_PROPERTY(int speechStatus MEMBER m_speechStatus NOTIFY told)

public:
    using HVVoice::HVVoice;

    int getCurrentState() override { return m_state; }
    void initialize() override;
    Q_INVOKABLE void say(int command);

Q_SIGNALS:
    void told();

public Q_SLOTS:
    void slotWindowPosition(HVVoice::VPWndPosition pos) override;
    void slotSpeechStatus(HVVoice::VWSpeechStatus status) override;
    bool start() override;
    bool pause() override;
    void stop() override;

private:
    int m_state = 2;
    int m_screen = -1;
    int m_speechStatus = -1;
};

class HVTestVoicePlugin : public QObject, public Halvane::HVVoicePluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVVoicePluginInterface_iid)
    Q_INTERFACES(Halvane::HVVoicePluginInterface)

public:
    Halvane::HVVoice *voicePlugin() override;
};

#endif // HVTESTVOICEPLUGIN_H
