// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSPHINXVOICE_P_H
#define HVSPHINXVOICE_P_H

#include <QtCore/QMap>
#include <QtCore/QThread>

#include <atomic>
#include <mutex>

#include "hvsphinxvoice.h"
#include "hvsphinxword.h"

namespace Halvane {

/*!
 * The state behind every HVSphinxVoice: the recogniser's state, the word
 * table of the screen shown and the reader's status. The thread builds the
 * recogniser.
 *
 * The table and the status are written on the main thread and read by the
 * command matcher on the recogniser's streaming thread, under m_lock.
 */
class HVSphinxVoice::HVSphinxVoicePrivate : public QThread
{
    Q_OBJECT

public:
    explicit HVSphinxVoicePrivate(QObject *parent = nullptr);
    ~HVSphinxVoicePrivate() override;

    void setWindowPosition(HVVoice::VPWndPosition pos);
    void setSpeechStatus(HVVoice::VWSpeechStatus status);
    bool isInitialised() const { return m_initialised.load(std::memory_order_acquire); }

    // Replace the word table, and the recogniser's search with it.
    void loadHomeCommands();
    void loadWeatherCommands();
    void loadMessagesCommands();
    void loadEventsCommands();
    void loadFeedsCommands();

    // The command matcher, on the streaming thread.
    void voiceRegn_cb(char *hypothesis);
    bool checkWord(QString word);
    bool filterSpeechActions(VoiceCommand command);

    // Main thread only: 0 listening, 1 paused, 2 stopped.
    int state = 2;
    // Counts the pipelines stop() released: a failure one of them told
    // comes too late for the next.
    std::atomic<int> released{0};
    // Counts stop() and pause(): a command decoded before one of them is
    // not delivered after it.
    std::atomic<int> halted{0};

Q_SIGNALS:
    void commandReceived(VoiceCommand command);
    // The recogniser's state (listening, paused, stopped) may have changed.
    void stateChanged();

protected:
    void run() override;

private:
    template<std::size_t N>
    void insertWords(const HVSphinxWord (&table)[N]);
    void loadNavigationTable(const char *search);

    // Main thread only.
    HVVoice::VPWndPosition m_windowPosition = HVVoice::VPWndHome;
    // Nothing is being read until the reader says otherwise.
    HVVoice::VWSpeechStatus m_speechStatus = HVVoice::VWSpeechStopped;
    QMap<QString, VoiceCommand> *m_commands;
    std::atomic<bool> m_initialised{false};
    mutable std::mutex m_lock;
};

} // namespace Halvane

#endif // HVSPHINXVOICE_P_H
