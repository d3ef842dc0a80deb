// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvespeaksynthesizer.h"

#include <QtCore/QDebug>
#include <QtCore/QThread>

#include <utility>

#include <espeak-ng/speak_lib.h>

#include "hvsettings.h"

namespace Halvane {

namespace {

// Pieces (sentences) made ahead of the one being heard.
constexpr int PiecesAhead = 3;

struct SynthesisJob
{
    QByteArray pcm;
    quint64 generation;
    const QAtomicInteger<quint64> *current;
};

int collectSamples(short *samples, int count, espeak_EVENT *events)
{
    auto *job = events ? static_cast<SynthesisJob *>(events->user_data) : nullptr;
    if (!job)
        return 0;
    // A newer request makes this one moot: tell espeak-ng to stop.
    if (job->current->loadAcquire() != job->generation)
        return 1;
    if (samples && count > 0)
        job->pcm.append(reinterpret_cast<const char *>(samples), count * int(sizeof(short)));
    return 0;
}

} // namespace

HVEspeakSynthesizer::HVEspeakSynthesizer(const QAtomicInteger<quint64> *generation, const QAtomicInt *playing)
    : m_generation(generation)
    , m_playing(playing)
{
}

HVEspeakSynthesizer::~HVEspeakSynthesizer()
{
    if (m_initialized)
        espeak_Terminate();
}

bool HVEspeakSynthesizer::initialize()
{
    if (m_initialized || m_failed)
        return m_initialized;
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        qWarning() << "espeak-ng could not be initialised; texts are not spoken";
        m_failed = true;
        return false;
    }
    espeak_SetSynthCallback(collectSamples);
    m_sampleRate.storeRelease(rate);
    m_initialized = true;
    return true;
}

void HVEspeakSynthesizer::applyVoice()
{
    QByteArray voice = qgetenv("HALVANE_SPEECH_VOICE");
    if (voice.isEmpty())
        voice = HVSettings().value(QStringLiteral("speech/voice")).toString().trimmed().toUtf8();
    if (voice.isEmpty())
        voice = QByteArrayLiteral("en");
    if (voice == m_voice)
        return;
    m_voice = voice;
    if (espeak_SetVoiceByName(voice.constData()) != EE_OK) {
        qWarning() << "espeak-ng has no voice" << voice << "- using its default";
        // Not the voice chosen before it, which espeak-ng keeps.
        espeak_SetVoiceByName("en");
    }
}

void HVEspeakSynthesizer::request(quint64 generation, const QStringList &chunks)
{
    {
        std::lock_guard<std::mutex> locker(m_mailboxMutex);
        m_hasRequest = true;
        m_requestGeneration = generation;
        m_requestChunks = chunks;
    }
    // By name and without arguments: nothing of ours travels in Qt's event.
    QMetaObject::invokeMethod(this, "synthesizePending", Qt::QueuedConnection);
}

QVector<HVEspeakSynthesizer::Result> HVEspeakSynthesizer::takeResults()
{
    std::lock_guard<std::mutex> locker(m_mailboxMutex);
    return std::exchange(m_results, QVector<Result>());
}

void HVEspeakSynthesizer::synthesizePending()
{
    quint64 generation;
    QStringList chunks;
    {
        std::lock_guard<std::mutex> locker(m_mailboxMutex);
        if (!m_hasRequest)
            return;
        m_hasRequest = false;
        generation = m_requestGeneration;
        chunks = std::exchange(m_requestChunks, QStringList());
    }
    synthesize(generation, chunks);
}

void HVEspeakSynthesizer::deliver(Result result)
{
    bool wake;
    {
        std::lock_guard<std::mutex> locker(m_mailboxMutex);
        wake = m_results.isEmpty();
        m_results.append(std::move(result));
    }
    // One wake-up per batch: the reader takes everything there is.
    if (wake)
        Q_EMIT resultsAvailable();
}

void HVEspeakSynthesizer::synthesize(quint64 generation, const QStringList &chunks)
{
    const bool ready = initialize();
    if (ready)
        applyVoice();
    for (int index = 0; index < chunks.size(); ++index) {
        // Not far ahead of what is heard: the audio of a long mail, made at
        // once, took a hundred megabytes and more.
        while (index > m_playing->loadAcquire() + PiecesAhead && m_generation->loadAcquire() == generation)
            QThread::msleep(20);
        if (m_generation->loadAcquire() != generation)
            return;
        SynthesisJob job{QByteArray(), generation, m_generation};
        if (ready) {
            const QByteArray text = chunks.at(index).toUtf8();
            const espeak_ERROR error = espeak_Synth(text.constData(), size_t(text.size()) + 1, 0, POS_CHARACTER, 0,
                                                    espeakCHARS_UTF8, nullptr, &job);
            if (error != EE_OK)
                qWarning() << "espeak-ng could not synthesize" << chunks.at(index);
        }
        // Also when empty: the reader still passes through every piece.
        deliver(Result{generation, index, job.pcm});
    }
    deliver(Result{generation, -1, QByteArray()});
}

} // namespace Halvane
