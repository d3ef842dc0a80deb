// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvespeakspeech.h"

#include <QtCore/QTextBoundaryFinder>

#include "hvespeaksynthesizer.h"

namespace Halvane {

HVEspeakSpeech::HVEspeakSpeech(QObject *parent)
    : HVSpeech(parent)
    , m_synthesizer(new HVEspeakSynthesizer(&m_generation, &m_playing))
{
    m_synthesizer->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_synthesizer, &QObject::deleteLater);
    connect(m_synthesizer, &HVEspeakSynthesizer::resultsAvailable, this, &HVEspeakSpeech::collectResults);
    connect(&m_player, &HVEspeakPlayer::finished, this, &HVEspeakSpeech::chunkPlayed);
    m_thread.setObjectName(QStringLiteral("espeak"));
    m_thread.start();
}

HVEspeakSpeech::~HVEspeakSpeech()
{
    // Makes running synthesis stop at its next callback.
    m_generation.fetchAndAddOrdered(1);
    m_player.stop();
    m_thread.quit();
    m_thread.wait();
}

namespace {

// Characters of one piece read aloud, about half a minute of speech.
constexpr int MaxPieceLength = 500;

} // namespace

QStringList HVEspeakSpeech::splitText(const QString &text)
{
    QStringList sentences;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, text);
    int start = 0;
    while (finder.toNextBoundary() != -1) {
        QString sentence = text.mid(start, finder.position() - start).trimmed();
        // Text without sentence ends (a pasted list, a log) in pieces of
        // words: its audio in one piece took hundreds of megabytes.
        while (sentence.size() > MaxPieceLength) {
            int cut = sentence.lastIndexOf(QLatin1Char(' '), MaxPieceLength);
            if (cut < MaxPieceLength / 2)
                cut = MaxPieceLength;
            sentences.append(sentence.left(cut).trimmed());
            sentence = sentence.mid(cut).trimmed();
        }
        if (!sentence.isEmpty())
            sentences.append(sentence);
        start = finder.position();
    }
    return sentences;
}

void HVEspeakSpeech::sayText(QString text)
{
    // espeak-ng reads C strings: a NUL would end the text there.
    speak(splitText(text.replace(QChar::Null, QLatin1Char(' '))));
}

void HVEspeakSpeech::sayCommand(QString text)
{
    // A prompt is said at once and as one piece, cutting off any reading,
    // also one that was paused: nothing is held after it.
    const QString prompt = text.replace(QChar::Null, QLatin1Char(' ')).simplified();
    if (m_paused) {
        m_paused = false;
        m_player.resume();
    }
    speak(prompt.isEmpty() ? QStringList() : QStringList{prompt});
}

void HVEspeakSpeech::speak(const QStringList &chunks)
{
    const quint64 generation = m_generation.fetchAndAddOrdered(1) + 1;
    m_player.stop();
    m_chunks = QVector<QByteArray>(chunks.size());
    m_ready = QVector<bool>(chunks.size(), false);
    m_next = 0;
    m_playing.storeRelease(0);

    Q_EMIT startedWaveGenerating();
    if (chunks.isEmpty()) {
        Q_EMIT finishedWaveGenerating();
        Q_EMIT speakingFinished();
        return;
    }
    m_synthesizer->request(generation, chunks);
}

void HVEspeakSpeech::collectResults()
{
    const QVector<HVEspeakSynthesizer::Result> results = m_synthesizer->takeResults();
    for (const HVEspeakSynthesizer::Result &result : results) {
        if (result.index < 0)
            synthesisFinished(result.generation);
        else
            chunkReady(result.generation, result.index, result.pcm);
    }
}

void HVEspeakSpeech::chunkReady(quint64 generation, int index, const QByteArray &pcm)
{
    if (generation != m_generation.loadAcquire() || index < 0 || index >= m_chunks.size())
        return;
    m_chunks[index] = pcm;
    m_ready[index] = true;
    playNext();
}

void HVEspeakSpeech::synthesisFinished(quint64 generation)
{
    if (generation == m_generation.loadAcquire())
        Q_EMIT finishedWaveGenerating();
}

void HVEspeakSpeech::playNext()
{
    // While paused the next piece waits; play() starts it.
    if (m_paused || m_player.isActive() || m_next >= m_chunks.size() || !m_ready.at(m_next))
        return;
    m_player.setMuted(m_muted);
    m_player.play(m_chunks.at(m_next), m_synthesizer->sampleRate());
    Q_EMIT chunkSpeakStarted();
}

void HVEspeakSpeech::chunkPlayed()
{
    if (m_next >= m_chunks.size())
        return;
    m_chunks[m_next].clear();
    ++m_next;
    m_playing.storeRelease(m_next);
    Q_EMIT chunkSpeakFinished();
    if (m_next >= m_chunks.size())
        Q_EMIT speakingFinished();
    else
        playNext();
}

void HVEspeakSpeech::pause()
{
    m_paused = true;
    m_player.pause();
}

void HVEspeakSpeech::play()
{
    m_paused = false;
    m_player.resume();
    playNext();
}

void HVEspeakSpeech::mute()
{
    m_muted = true;
    m_player.setMuted(true);
}

void HVEspeakSpeech::unmute()
{
    m_muted = false;
    m_player.setMuted(false);
}

} // namespace Halvane
