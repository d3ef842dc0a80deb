// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVESPEAKSPEECH_H
#define HVESPEAKSPEECH_H

#include <QtCore/QAtomicInteger>
#include <QtCore/QThread>
#include <QtCore/QVector>

#include "hvespeakplayer.h"
#include "hvspeech.h"

namespace Halvane {

class HVEspeakSynthesizer;

/*
 * Reads a text sentence by sentence: espeak-ng synthesizes on a worker thread
 * while the pieces already made play in order. A new sayText() or sayCommand()
 * replaces whatever is being read; a muted reading goes on silently, so the
 * reader's signals keep their timing.
 */
class HVEspeakSpeech : public HVSpeech
{
    Q_OBJECT

public:
    explicit HVEspeakSpeech(QObject *parent = nullptr);
    ~HVEspeakSpeech() override;

    // The sentences a text is read in.
    static QStringList splitText(const QString &text);

public Q_SLOTS:
    void sayText(QString text) override;
    void sayCommand(QString text) override;
    void pause() override;
    void play() override;
    void mute() override;
    void unmute() override;

private:
    void speak(const QStringList &chunks);
    void collectResults();
    void chunkReady(quint64 generation, int index, const QByteArray &pcm);
    void synthesisFinished(quint64 generation);
    void chunkPlayed();
    void playNext();

    QThread m_thread;
    HVEspeakSynthesizer *m_synthesizer;
    HVEspeakPlayer m_player;
    QAtomicInteger<quint64> m_generation;
    // m_next, for the synthesizer's thread.
    QAtomicInt m_playing;
    QVector<QByteArray> m_chunks;
    QVector<bool> m_ready;
    int m_next = 0;
    bool m_paused = false;
    bool m_muted = false;
};

} // namespace Halvane

#endif // HVESPEAKSPEECH_H
