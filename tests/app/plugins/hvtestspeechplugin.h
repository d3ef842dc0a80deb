// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVTESTSPEECHPLUGIN_H
#define HVTESTSPEECHPLUGIN_H

#include <QtCore/QObject>

#include "hvspeech.h"
#include "hvspeechplugininterface.h"

// A reader that keeps what it was asked to say; finish() ends the speaking.
class HVTestSpeech : public Halvane::HVSpeech
{
    Q_OBJECT
    Q_PROPERTY(QString lastText MEMBER m_lastText NOTIFY said)
    // Like the real plug-in, a pause holds any later reading until play().
    Q_PROPERTY(bool holding MEMBER m_holding NOTIFY said)
    Q_PROPERTY(int commands MEMBER m_commands NOTIFY said)

public:
    using HVSpeech::HVSpeech;

    Q_INVOKABLE void finish() { Q_EMIT speakingFinished(); }

Q_SIGNALS:
    void said();

public Q_SLOTS:
    void sayText(QString text) override
    {
        m_lastText = text;
        Q_EMIT said();
    }
    void sayCommand(QString text) override
    {
        Q_UNUSED(text)
        ++m_commands;
        Q_EMIT said();
    }
    void pause() override { m_holding = true; }
    void play() override { m_holding = false; }
    void mute() override {}
    void unmute() override {}

private:
    QString m_lastText;
    bool m_holding = false;
    int m_commands = 0;
};

class HVTestSpeechPlugin : public QObject, public Halvane::HVSpeechPluginInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID HVSpeechPluginInterface_iid)
    Q_INTERFACES(Halvane::HVSpeechPluginInterface)

public:
    Halvane::HVSpeech *speechPlugin() override
    {
        static HVTestSpeech *speech = new HVTestSpeech(this);
        return speech;
    }
};

#endif // HVTESTSPEECHPLUGIN_H
