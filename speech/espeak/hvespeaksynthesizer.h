#ifndef HVESPEAKSYNTHESIZER_H
#define HVESPEAKSYNTHESIZER_H

#include <QtCore/QAtomicInteger>
#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QStringList>

namespace Halvane {

// Turns texts into 16-bit mono PCM with espeak-ng. Lives on a worker thread:
// espeak-ng synthesizes synchronously and is not to be used from two threads.
class HVEspeakSynthesizer : public QObject
{
    Q_OBJECT

public:
    // generation: the reader's current request; work for older ones is dropped.
    explicit HVEspeakSynthesizer(const QAtomicInteger<quint64> *generation);
    ~HVEspeakSynthesizer() override;

    // The sample rate of the PCM, known once espeak-ng is initialised (0 before).
    int sampleRate() const { return m_sampleRate.loadAcquire(); }

public Q_SLOTS:
    void synthesize(quint64 generation, const QStringList &chunks);

Q_SIGNALS:
    void chunkReady(quint64 generation, int index, const QByteArray &pcm);
    void finished(quint64 generation);

private:
    bool initialize();

    const QAtomicInteger<quint64> *m_generation;
    QAtomicInt m_sampleRate;
    bool m_initialized = false;
    bool m_failed = false;
};

} // namespace Halvane

#endif // HVESPEAKSYNTHESIZER_H
