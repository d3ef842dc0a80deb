// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSPHINXVOICE_H
#define HVSPHINXVOICE_H

#include <atomic>

#include "hvvoice.h"

namespace Halvane {

/*!
 * Voice control with pocketsphinx. All instances share one private object,
 * and with it one recogniser, one word table and one speech status.
 */
class HVSphinxVoice : public HVVoice
{
    Q_OBJECT

public:
    class HVSphinxVoicePrivate;

    Q_INVOKABLE explicit HVSphinxVoice(QObject *parent = nullptr);
    ~HVSphinxVoice() override;

    int getCurrentState() override;
    // Builds the recogniser on a thread of its own; initializeFinished()
    // follows. Does nothing once it has been built.
    void initialize() override;

    // A final hypothesis of the recogniser, on its streaming thread.
    static void voiceRegn_cb(char *hypothesis);
    // The pipeline failed, on its streaming thread: it is stopped.
    static void voiceRegn_error();

Q_SIGNALS:
    // getCurrentState() may answer otherwise: start(), pause() or stop() of
    // any instance (they share the recogniser), or a failed audio source.
    void recognitionStateChanged();

public Q_SLOTS:
    void slotSpeechStatus(HVVoice::VWSpeechStatus status) override;
    void slotWindowPosition(HVVoice::VPWndPosition pos) override;
    bool start() override;
    bool pause() override;
    void stop() override;

private:
    // Stops the recogniser before the application object goes.
    static void closeAtExit();

    // Created by the first instance, never deleted; read by the streaming thread.
    static std::atomic<HVSphinxVoicePrivate *> d;
};

} // namespace Halvane

#endif // HVSPHINXVOICE_H
