// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

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

// A figure of sox's "stat" report on a sound file, or -1.
double soxStat(const QString &file, const QString &label)
{
    QProcess sox;
    sox.start(QStringLiteral("sox"), {file, QStringLiteral("-n"), QStringLiteral("stat")});
    if (!sox.waitForFinished(30000))
        return -1;
    const QString report = QString::fromUtf8(sox.readAllStandardError());
    const QRegularExpressionMatch match
        = QRegularExpression(label + QStringLiteral(":\\s+([0-9.]+)")).match(report);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

double rmsAmplitude(const QString &file)
{
    return soxStat(file, QStringLiteral("RMS\\s+amplitude"));
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
    void promptAfterPauseIsSaid();
    void textAfterANulIsRead();
    void writesAudibleSpeech();
    void muteSilences();
    void pauseHoldsTheNextPiece();
    void pauseHoldsThePlayingPiece();
    void longTextIsMadeAsItIsHeard();
    void voiceComesFromTheSettingsFile();

private:
    HVSpeech *m_speech = nullptr;
    QTemporaryDir m_dir;
};

void TestHVEspeakSpeech::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qunsetenv("HALVANE_SPEECH_VOICE");
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

void TestHVEspeakSpeech::promptAfterPauseIsSaid()
{
    SignalRecorder recorder(m_speech);
    m_speech->sayText(QStringLiteral("A reading the user stopped."));
    m_speech->pause();
    m_speech->sayCommand(QStringLiteral("Next"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("speakingFinished"), 1, 30000);
    QCOMPARE(recorder.count("chunkSpeakFinished"), 1);
}

void TestHVEspeakSpeech::textAfterANulIsRead()
{
    // As long as the text after a NUL, in audio: not cut there.
    const auto seconds = [this](const QString &text, const char *name) {
        const QString file = m_dir.filePath(QLatin1String(name));
        qputenv("HALVANE_SPEECH_SINK", QByteArray("wavenc ! filesink location=") + QFile::encodeName(file));
        SignalRecorder recorder(m_speech);
        m_speech->sayText(text);
        return QTest::qWaitFor([&recorder] { return recorder.count("speakingFinished") == 1; }, 30000)
            ? QFileInfo(file).size() / 44100.0 : -1.0;
    };
    const double before = seconds(QStringLiteral("Before the break"), "before.wav");
    const double whole = seconds(QStringLiteral("Before the break") + QChar::Null
                                     + QStringLiteral(" and the much longer rest after it."),
                                 "whole.wav");
    QVERIFY2(before > 0 && whole > 2 * before, qPrintable(QStringLiteral("%1 %2").arg(before).arg(whole)));
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

void TestHVEspeakSpeech::longTextIsMadeAsItIsHeard()
{
    // Two minutes of speech: made at once, its audio filled the memory.
    SignalRecorder recorder(m_speech);
    QString text;
    for (int i = 0; i < 60; ++i)
        text += QStringLiteral("This is sentence number %1 of a long mail. ").arg(i);
    m_speech->sayText(text);
    QTRY_COMPARE_WITH_TIMEOUT(recorder.count("chunkSpeakStarted"), 1, 30000);
    QTest::qWait(4000);
    QCOMPARE(recorder.count("finishedWaveGenerating"), 0);
    m_speech->sayText(QStringLiteral(" "));
}

void TestHVEspeakSpeech::voiceComesFromTheSettingsFile()
{
    // The pitch sox estimates; a female variant is far higher.
    const auto speak = [this](const QString &name) {
        const QString file = m_dir.filePath(name);
        qputenv("HALVANE_SPEECH_SINK", QByteArray("wavenc ! filesink location=") + QFile::encodeName(file));
        SignalRecorder recorder(m_speech);
        m_speech->sayText(QStringLiteral("Good morning."));
        if (!QTest::qWaitFor([&] { return recorder.count("speakingFinished") == 1; }, 30000))
            return -1.0;
        return soxStat(file, QStringLiteral("Rough\\s+frequency"));
    };
    const double standard = speak(QStringLiteral("standard.wav"));
    QVERIFY(standard > 0);

    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("config/halvane"))));
    QFile conf(m_dir.filePath(QStringLiteral("config/halvane/halvane.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[speech]\nvoice=en-us+f3\n");
    conf.close();
    const double chosen = speak(QStringLiteral("chosen.wav"));
    // A voice espeak-ng does not have is its default, not the one before.
    qputenv("HALVANE_SPEECH_VOICE", "nosuchvoice");
    const double unknown = speak(QStringLiteral("unknown.wav"));
    // The environment still wins over the file.
    qputenv("HALVANE_SPEECH_VOICE", "en");
    const double overridden = speak(QStringLiteral("overridden.wav"));
    qunsetenv("HALVANE_SPEECH_VOICE");
    QVERIFY(conf.remove());
    const QString figures = QStringLiteral("%1 %2 %3 %4").arg(standard).arg(chosen).arg(overridden).arg(unknown);
    QVERIFY2(chosen > standard * 1.08, qPrintable(figures));
    QVERIFY2(qAbs(overridden - standard) < standard * 0.04, qPrintable(figures));
    QVERIFY2(qAbs(unknown - standard) < standard * 0.04, qPrintable(figures));
}

QTEST_GUILESS_MAIN(TestHVEspeakSpeech)
#include "tst_hvespeakspeech.moc"
