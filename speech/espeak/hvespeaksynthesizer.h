// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVESPEAKSYNTHESIZER_H
#define HVESPEAKSYNTHESIZER_H

#include <QtCore/QAtomicInteger>
#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtCore/QVector>

#include <mutex>

namespace Halvane {

// Turns texts into 16-bit mono PCM with espeak-ng. Lives on a worker thread:
// espeak-ng synthesizes synchronously and is not to be used from two threads.
// Requests and results pass between the threads through mailboxes under a
// standard mutex, whose ordering ThreadSanitizer sees (QMutex's lives in the
// uninstrumented Qt library); the queued calls that wake either side carry
// no data.
class HVEspeakSynthesizer : public QObject
{
    Q_OBJECT

public:
    struct Result {
        quint64 generation = 0;
        int index = -1; // -1: the request is done
        QByteArray pcm;
    };

    // generation: the reader's current request; work for older ones is dropped.
    // playing: the piece of it being heard; synthesis keeps a few ahead.
    HVEspeakSynthesizer(const QAtomicInteger<quint64> *generation, const QAtomicInt *playing);
    ~HVEspeakSynthesizer() override;

    // The sample rate of the PCM, known once espeak-ng is initialised (0 before).
    int sampleRate() const { return m_sampleRate.loadAcquire(); }

    // From any thread: replaces a request not yet started.
    void request(quint64 generation, const QStringList &chunks);
    // From any thread: the results made since the last call, in order.
    QVector<Result> takeResults();

Q_SIGNALS:
    // Results wait in takeResults().
    void resultsAvailable();

private Q_SLOTS:
    void synthesizePending();

private:
    bool initialize();
    // The voice of the settings file (or HALVANE_SPEECH_VOICE), taken at each
    // reading so a change in the app's settings is heard on the next one.
    void applyVoice();
    void synthesize(quint64 generation, const QStringList &chunks);
    void deliver(Result result);

    std::mutex m_mailboxMutex;
    bool m_hasRequest = false;
    quint64 m_requestGeneration = 0;
    QStringList m_requestChunks;
    QVector<Result> m_results;

    const QAtomicInteger<quint64> *m_generation;
    const QAtomicInt *m_playing;
    QAtomicInt m_sampleRate;
    bool m_initialized = false;
    bool m_failed = false;
    QByteArray m_voice;
};

} // namespace Halvane

#endif // HVESPEAKSYNTHESIZER_H
