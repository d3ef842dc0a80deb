#include <QtCore/QPluginLoader>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvspeech.h"
#include "hvspeechplugininterface.h"

using namespace Halvane;

namespace {

// Every signal of the reader, in the order they came.
class SignalRecorder : public QObject
{
public:
    explicit SignalRecorder(HVSpeech *speech)
    {
        const QList<QPair<QByteArray, void (HVSpeech::*)()>> signalList{
            {"speakingFinished", &HVSpeech::speakingFinished},
            {"startedWaveGenerating", &HVSpeech::startedWaveGenerating},
            {"finishedWaveGenerating", &HVSpeech::finishedWaveGenerating},
            {"chunkSpeakStarted", &HVSpeech::chunkSpeakStarted},
            {"chunkSpeakFinished", &HVSpeech::chunkSpeakFinished},
        };
        for (const auto &entry : signalList) {
            const QByteArray name = entry.first;
            connect(speech, entry.second, this, [this, name] { events.append(name); });
        }
    }

    int count(const QByteArray &name) const { return events.count(name); }

    QList<QByteArray> events;
};

// The RMS amplitude sox measures in a sound file, or -1.
double rmsAmplitude(const QString &file)
{
    QProcess sox;
    sox.start(QStringLiteral("sox"), {file, QStringLiteral("-n"), QStringLiteral("stat")});
    if (!sox.waitForFinished(30000))
        return -1;
    const QString report = QString::fromUtf8(sox.readAllStandardError());
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("RMS\\s+amplitude:\\s+([0-9.]+)")).match(report);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

} // namespace

// The espeak reader plug-in, loaded as the user interface loads it, speaking
// into fake or file sinks.
class TestHVEspeakSpeech : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void readsSentenceByPiece();
    void emptyTextFinishesAtOnce();
    void commandInterruptsReading();
    void writesAudibleSpeech();
    void muteSilences();
    void pauseHoldsTheNextPiece();
    void pauseHoldsThePlayingPiece();

private:
    HVSpeech *m_speech = nullptr;
    QTemporaryDir m_dir;
};

void TestHVEspeakSpeech::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QPluginLoader loader(QStringLiteral(HVTEST_SPEECH_PLUGIN));
    auto *plugin = qobject_cast<HVSpeechPluginInterface *>(loader.instance());
    QVERIFY2(plugin, qPrintable(loader.errorString()));
    m_speech = plugin->speechPlugin();
    QVERIFY(m_speech);
    QCOMPARE(plugin->speechPlugin(), m_speech);
}

void TestHVEspeakSpeech::init()
{
    // Real-time pacing without a sound card.
    qputenv("HALVANE_SPEECH_SINK", "fakesink sync=true");
    m_speech->play();
    m_speech->unmute();
}

void TestHVEspeakSpeech::readsSentenceByPiece()
{
    SignalRecorder recorder(m_speech);
    m_speech->sayText(QStringLiteral("The meeting starts at nine. Bring the slides!  Lunch is at noon?"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("speakingFinished"), 1, 30000);

    QCOMPARE(recorder.events.first(), QByteArray("startedWaveGenerating"));
    QCOMPARE(recorder.count("finishedWaveGenerating"), 1);
    QList<QByteArray> chunks;
    for (const QByteArray &event : qAsConst(recorder.events)) {
        if (event.startsWith("chunk"))
            chunks.append(event);
    }
    const QList<QByteArray> pair{"chunkSpeakStarted", "chunkSpeakFinished"};
    QCOMPARE(chunks, pair + pair + pair);
    QCOMPARE(recorder.events.last(), QByteArray("speakingFinished"));
    QTest::qWait(200);
    QCOMPARE(recorder.count("speakingFinished"), 1);
}

void TestHVEspeakSpeech::emptyTextFinishesAtOnce()
{
    SignalRecorder recorder(m_speech);
    m_speech->sayText(QStringLiteral("   "));
    QCOMPARE(recorder.events,
             (QList<QByteArray>{"startedWaveGenerating", "finishedWaveGenerating", "speakingFinished"}));
}

void TestHVEspeakSpeech::commandInterruptsReading()
{
    SignalRecorder recorder(m_speech);
    m_speech->sayText(QStringLiteral("This is a long text. It has several sentences. Nobody will hear the end of it."));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("chunkSpeakStarted"), 1, 30000);
    recorder.events.clear();
    m_speech->sayCommand(QStringLiteral("Next"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("speakingFinished"), 1, 30000);
    // Only the prompt is read: one piece.
    QCOMPARE(recorder.count("chunkSpeakStarted"), 1);
    QCOMPARE(recorder.count("chunkSpeakFinished"), 1);
    QTest::qWait(300);
    QCOMPARE(recorder.count("speakingFinished"), 1);
}

void TestHVEspeakSpeech::writesAudibleSpeech()
{
    const QString file = m_dir.filePath(QStringLiteral("speech.wav"));
    qputenv("HALVANE_SPEECH_SINK", QByteArray("wavenc ! filesink location=") + QFile::encodeName(file));
    SignalRecorder recorder(m_speech);
    m_speech->sayText(QStringLiteral("Good morning, here is your day."));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("speakingFinished"), 1, 30000);
    QVERIFY(QFileInfo(file).size() > 10000);
    QVERIFY2(rmsAmplitude(file) > 0.01, qPrintable(QString::number(rmsAmplitude(file))));
}

void TestHVEspeakSpeech::muteSilences()
{
    const QString file = m_dir.filePath(QStringLiteral("muted.wav"));
    qputenv("HALVANE_SPEECH_SINK", QByteArray("wavenc ! filesink location=") + QFile::encodeName(file));
    SignalRecorder recorder(m_speech);
    m_speech->mute();
    m_speech->sayText(QStringLiteral("Good morning, here is your day."));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("speakingFinished"), 1, 30000);
    // The reading went on, silently.
    QCOMPARE(recorder.count("chunkSpeakFinished"), 1);
    QVERIFY(QFileInfo(file).size() > 10000);
    const double rms = rmsAmplitude(file);
    QVERIFY(rms >= 0);
    QVERIFY2(rms < 0.001, qPrintable(QString::number(rms)));
}

void TestHVEspeakSpeech::pauseHoldsTheNextPiece()
{
    SignalRecorder recorder(m_speech);
    m_speech->pause();
    m_speech->sayText(QStringLiteral("Paused before it starts."));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("finishedWaveGenerating"), 1, 30000);
    QTest::qWait(300);
    QCOMPARE(recorder.count("chunkSpeakStarted"), 0);
    m_speech->play();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("speakingFinished"), 1, 30000);
    QCOMPARE(recorder.count("chunkSpeakFinished"), 1);
}

void TestHVEspeakSpeech::pauseHoldsThePlayingPiece()
{
    SignalRecorder recorder(m_speech);
    // About three seconds of speech.
    m_speech->sayText(QStringLiteral("This sentence is long enough to be paused in the middle of it."));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("chunkSpeakStarted"), 1, 30000);
    m_speech->pause();
    // Longer than the whole sentence takes: a playing piece would have ended.
    QTest::qWait(4000);
    QCOMPARE(recorder.count("chunkSpeakFinished"), 0);
    m_speech->play();
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("speakingFinished"), 1, 30000);
}

QTEST_GUILESS_MAIN(TestHVEspeakSpeech)
#include "tst_hvespeakspeech.moc"
