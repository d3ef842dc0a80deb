// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlvoice.h"

#include <QtCore/QDebug>

#include "hvvoice.h"
#include "hvvoicepluginmanager.h"

namespace Halvane {

namespace {

// One manager for the process: the plug-in hands out one voice object.
HVVoicePluginManager *manager()
{
    static HVVoicePluginManager instance;
    return &instance;
}

const char InitializedProperty[] = "halvaneInitialized";
const char InitializingProperty[] = "halvaneInitializing";

} // namespace

HVQmlVoice::HVQmlVoice(QObject *parent)
    : QObject(parent)
{
}

HVQmlVoice::~HVQmlVoice() = default;

void HVQmlVoice::componentComplete()
{
    m_complete = true;
    if (m_enabled)
        load();
}

void HVQmlVoice::load()
{
    if (m_voice)
        return;
    m_voice = manager()->loadVoicePlugin(m_pluginDirectory);
    if (!m_voice) {
        qWarning() << "Voice control is off: no voice plug-in in" << m_pluginDirectory;
        return;
    }
    HVVoice *voice = m_voice;
    connect(voice, &HVVoice::commandMain, this, &HVQmlVoice::commandMain);
    connect(voice, &HVVoice::commandMessages, this, &HVQmlVoice::commandMessages);
    connect(voice, &HVVoice::commandFeeds, this, &HVQmlVoice::commandFeeds);
    connect(voice, &HVVoice::commandEvents, this, &HVQmlVoice::commandEvents);
    connect(voice, &HVVoice::commandWeather, this, &HVQmlVoice::commandWeather);
    connect(voice, &HVVoice::commandBack, this, &HVQmlVoice::commandBack);
    connect(voice, &HVVoice::commandCommands, this, &HVQmlVoice::commandCommands);
    connect(voice, &HVVoice::commandHelp, this, &HVQmlVoice::commandHelp);
    connect(voice, &HVVoice::commandRead, this, &HVQmlVoice::commandRead);
    connect(voice, &HVVoice::commandNext, this, &HVQmlVoice::commandNext);
    connect(voice, &HVVoice::commandPrev, this, &HVQmlVoice::commandPrev);
    connect(voice, &HVVoice::commandPause, this, &HVQmlVoice::commandPause);
    connect(voice, &HVVoice::commandStop, this, &HVQmlVoice::commandStop);
    connect(voice, &HVVoice::commandContinue, this, &HVQmlVoice::commandContinue);
    connect(voice, &HVVoice::commandRepeat, this, &HVQmlVoice::commandRepeat);
    connect(voice, &HVVoice::commandMore, this, &HVQmlVoice::commandMore);
    connect(voice, &HVVoice::commandAttendees, this, &HVQmlVoice::commandAttendees);
    connect(voice, &HVVoice::commandCall, this, &HVQmlVoice::commandCall);
    // Every command may have moved the recogniser's state.
    connect(voice, &HVVoice::commandReceived, this, &HVQmlVoice::updateListening);
    // So may another Voice's start() or stop() (the recogniser is one per
    // process), or a microphone that went away: where the plug-in says so.
    if (voice->metaObject()->indexOfSignal("recognitionStateChanged()") >= 0)
        connect(voice, SIGNAL(recognitionStateChanged()), this, SLOT(updateListening()));

    voice->slotWindowPosition(HVVoice::VPWndPosition(m_screen));
    voice->slotSpeechStatus(HVVoice::VWSpeechStatus(m_readerState));
    // The recogniser is prepared once per process, however many Voice objects there are.
    if (voice->property(InitializedProperty).toBool()) {
        onInitialized();
        return;
    }
    connect(voice, &HVVoice::initializeFinished, this, &HVQmlVoice::onInitialized, Qt::UniqueConnection);
    if (voice->property(InitializingProperty).toBool())
        return;
    voice->setProperty(InitializingProperty, true);
    voice->initialize();
}

void HVQmlVoice::onInitialized()
{
    if (!m_voice)
        return;
    m_voice->setProperty(InitializedProperty, true);
    m_initialized = true;
    if (!m_enabled) {
        setAvailable(true);
        return;
    }
    if (!m_voice->start() && m_voice->getCurrentState() != 0) {
        qWarning() << "Voice control is off: the recogniser did not start"
                   << "(no microphone, or its models could not be loaded; see above)";
        setAvailable(false);
        updateListening();
        return;
    }
    setAvailable(true);
    updateListening();
}

void HVQmlVoice::setAvailable(bool available)
{
    if (available == m_available)
        return;
    m_available = available;
    Q_EMIT availableChanged();
}

void HVQmlVoice::updateListening()
{
    const bool listening = m_voice && m_available && m_voice->getCurrentState() == 0;
    if (listening == m_listening)
        return;
    m_listening = listening;
    Q_EMIT listeningChanged();
}

void HVQmlVoice::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    Q_EMIT enabledChanged();
    if (!m_complete)
        return;
    if (enabled) {
        if (!m_voice)
            load();
        else if (m_initialized)
            onInitialized();
    } else {
        stop();
    }
}

void HVQmlVoice::setPluginDirectory(const QString &directory)
{
    if (directory == m_pluginDirectory)
        return;
    m_pluginDirectory = directory;
    Q_EMIT pluginDirectoryChanged();
}

void HVQmlVoice::setScreen(int screen)
{
    if (screen == m_screen)
        return;
    m_screen = screen;
    if (m_voice)
        m_voice->slotWindowPosition(HVVoice::VPWndPosition(screen));
    Q_EMIT screenChanged();
}

void HVQmlVoice::setReaderState(int state)
{
    if (state == m_readerState)
        return;
    m_readerState = state;
    if (m_voice)
        m_voice->slotSpeechStatus(HVVoice::VWSpeechStatus(state));
    Q_EMIT readerStateChanged();
}

bool HVQmlVoice::start()
{
    if (!m_voice || !m_initialized)
        return false;
    const bool changed = m_voice->start();
    updateListening();
    return changed;
}

bool HVQmlVoice::pause()
{
    if (!m_voice || !m_initialized)
        return false;
    const bool changed = m_voice->pause();
    updateListening();
    return changed;
}

void HVQmlVoice::stop()
{
    if (!m_voice || !m_initialized)
        return;
    m_voice->stop();
    updateListening();
}

} // namespace Halvane
