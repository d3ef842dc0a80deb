// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVVOICE_H
#define HVVOICE_H

#include <QtCore/QObject>

#include "halvanevoicemanager_export.h"
#include "voicecommand.h"

namespace Halvane {

/*!
 * Voice control as the user interface sees it: one parameterless signal per
 * recognised command. The user interface tells the recogniser which screen is
 * shown and what the text-to-speech reader is doing, so that only commands
 * that make sense there are recognised.
 *
 * Implementations only emit commandReceived(); the per-command signals follow
 * from onCommandReceived(), in the thread that owns the object.
 */
class HALVANEVOICEMANAGER_EXPORT HVVoice : public QObject
{
    Q_OBJECT

public:
    // The screen shown. Both take other values as well (ignored), hence the
    // fixed underlying type.
    enum VPWndPosition : int {
        VPWndHome = 0,
        VPWndWeather = 1,
        VPWndMessages = 2,
        VPWndEvents = 3,
        VPWndFeeds = 4,
    };
    Q_ENUM(VPWndPosition)

    // What the text-to-speech reader is doing.
    enum VWSpeechStatus : int {
        VWSpeechOn = 0,
        VWSpeechOff = 1,
        VWSpeechStarted = 2,
        VWSpeechPaused = 3,
        VWSpeechStopped = 4,
        VWSpeechItemFirst = 5,
        VWSpeechItemLast = 6,
    };
    Q_ENUM(VWSpeechStatus)

    explicit HVVoice(QObject *parent = nullptr);
    ~HVVoice() override;

    // The recogniser's state: 0 listening, 1 paused, 2 stopped.
    virtual int getCurrentState();
    // Prepares the recogniser; initializeFinished() follows.
    virtual void initialize();

Q_SIGNALS:
    void commandReceived(VoiceCommand voiceCommand);
    void initializeFinished();
    void commandMain();
    void commandMessages();
    void commandFeeds();
    void commandEvents();
    void commandWeather();
    void commandBack();
    void commandCommands();
    void commandHelp();
    void commandRead();
    void commandNext();
    void commandPrev();
    void commandPause();
    void commandStop();
    void commandContinue();
    void commandRepeat();
    void commandMore();
    void commandAttendees();
    void commandCall();

public Q_SLOTS:
    virtual void slotWindowPosition(HVVoice::VPWndPosition pos);
    virtual void slotSpeechStatus(HVVoice::VWSpeechStatus status);
    // slotSpeechStatus() with VWSpeechStopped and VWSpeechStarted.
    void slotSpeechStopped();
    void slotSpeechStarted();
    // Both report whether the state changed.
    virtual bool start();
    virtual bool pause();
    virtual void stop();
    // Emits the signal of the command (VCStart, like VCRead, gives commandRead()).
    void onCommandReceived(VoiceCommand command);
};

} // namespace Halvane

#endif // HVVOICE_H
