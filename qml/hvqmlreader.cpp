// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlreader.h"

#include <utility>

#include <QtCore/QDebug>
#include <QtCore/QHash>

#include "hvsettings.h"
#include "hvspeech.h"
#include "hvspeechpluginmanager.h"

namespace Halvane {

namespace {

HVSpeechPluginManager *manager()
{
    static HVSpeechPluginManager instance;
    return &instance;
}

// A plug-in's speech is one per process, whatever reader drives it: which
// reader it reads for, and whether it was told to pause (it then holds any
// reading until play()).
struct SpeechUse
{
    QPointer<HVQmlReader> reader;
    bool held = false;
};

SpeechUse &use(const HVSpeech *speech)
{
    static QHash<const HVSpeech *, SpeechUse> uses;
    return uses[speech];
}

} // namespace

HVQmlReader::HVQmlReader(QObject *parent)
    : QObject(parent)
{
}

HVQmlReader::~HVQmlReader()
{
    // Its page is gone: so is its reading (nothing else could stop it).
    if (m_speech && m_reading)
        m_speech->sayCommand(QString());
}

static const QString VoiceKey = QStringLiteral("speech/voice");

QString HVQmlReader::voice() const
{
    return HVSettings().value(VoiceKey).toString();
}

void HVQmlReader::setVoice(const QString &voice)
{
    if (voice == this->voice())
        return;
    HVSettings settings;
    if (voice.isEmpty())
        settings.remove(VoiceKey);
    else
        settings.setValue(VoiceKey, voice);
    // The reader takes it at its next reading.
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning() << "The speech voice could not be saved in" << settings.fileName();
    Q_EMIT voiceChanged();
}

bool HVQmlReader::isAvailable() const
{
    return !m_speech.isNull();
}

void HVQmlReader::componentComplete()
{
    m_speech = manager()->loadSpeechPlugin(m_pluginDirectory);
    if (!m_speech) {
        qWarning() << "Reading aloud is off: no speech plug-in in" << m_pluginDirectory;
        return;
    }
    HVSpeech *speech = m_speech;
    connect(speech, &HVSpeech::speakingFinished, this, [this] {
        if (!std::exchange(m_reading, false))
            return;
        setState(Stopped);
        Q_EMIT speakingFinished();
    });
    const auto forward = [this](void (HVSpeech::*from)(), void (HVQmlReader::*to)()) {
        connect(m_speech, from, this, [this, to] {
            if (m_reading)
                Q_EMIT(this->*to)();
        });
    };
    forward(&HVSpeech::startedWaveGenerating, &HVQmlReader::startedWaveGenerating);
    forward(&HVSpeech::finishedWaveGenerating, &HVQmlReader::finishedWaveGenerating);
    forward(&HVSpeech::chunkSpeakStarted, &HVQmlReader::chunkSpeakStarted);
    forward(&HVSpeech::chunkSpeakFinished, &HVQmlReader::chunkSpeakFinished);
    if (m_muted)
        speech->mute();
    Q_EMIT availableChanged();
    setState(On);
}

void HVQmlReader::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged();
}

void HVQmlReader::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    m_muted = muted;
    if (m_speech)
        muted ? m_speech->mute() : m_speech->unmute();
    Q_EMIT muteChanged();
}

void HVQmlReader::setPluginDirectory(const QString &directory)
{
    if (directory == m_pluginDirectory)
        return;
    m_pluginDirectory = directory;
    Q_EMIT pluginDirectoryChanged();
}

void HVQmlReader::takeSpeech()
{
    HVQmlReader *previous = std::exchange(use(m_speech).reader, this);
    if (previous && previous != this && std::exchange(previous->m_reading, false))
        previous->setState(Stopped);
}

void HVQmlReader::sayText(const QString &text)
{
    if (!m_speech)
        return;
    // Nothing to read is read at once: whoever waits for the end gets it.
    if (text.trimmed().isEmpty()) {
        QMetaObject::invokeMethod(this, &HVQmlReader::speakingFinished, Qt::QueuedConnection);
        return;
    }
    takeSpeech();
    setState(Started);
    m_reading = true;
    m_speech->sayText(text);
    // A reading asked for after stop or pause (of any reader) is read, not held.
    if (std::exchange(use(m_speech).held, false))
        m_speech->play();
}

void HVQmlReader::sayCommand(const QString &text)
{
    if (!m_speech || text.trimmed().isEmpty())
        return;
    // The prompt cuts off any reading, also a paused one.
    takeSpeech();
    use(m_speech).held = false;
    m_speech->sayCommand(text);
}

void HVQmlReader::pause()
{
    if (!m_speech || m_state != Started)
        return;
    m_speech->pause();
    use(m_speech).held = true;
    setState(Paused);
}

void HVQmlReader::play()
{
    if (!m_speech || m_state != Paused)
        return;
    m_speech->play();
    use(m_speech).held = false;
    setState(Started);
}

void HVQmlReader::stop()
{
    if (!m_speech || (m_state != Started && m_state != Paused))
        return;
    if (m_state == Started)
        m_speech->pause();
    use(m_speech).held = true;
    setState(Stopped);
}

} // namespace Halvane
