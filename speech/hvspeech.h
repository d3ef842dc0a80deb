// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSPEECH_H
#define HVSPEECH_H

#include <QtCore/QObject>
#include <QtCore/QString>

#include "halvanespeechmanager_export.h"

namespace Halvane {

/*!
 * The text-to-speech reader the user interface drives: reads item texts and
 * command prompts aloud. Speech plug-ins implement it.
 */
class HALVANESPEECHMANAGER_EXPORT HVSpeech : public QObject
{
    Q_OBJECT

public:
    explicit HVSpeech(QObject *parent = nullptr);
    ~HVSpeech() override;

Q_SIGNALS:
    // The whole text has been spoken.
    void speakingFinished();
    void startedWaveGenerating();
    void finishedWaveGenerating();
    // Playback of one piece of the text began / ended.
    void chunkSpeakStarted();
    void chunkSpeakFinished();

public Q_SLOTS:
    virtual void sayText(QString text) = 0;
    virtual void sayCommand(QString text) = 0;
    virtual void pause() = 0;
    virtual void play() = 0;
    virtual void mute() = 0;
    virtual void unmute() = 0;
};

} // namespace Halvane

#endif // HVSPEECH_H
