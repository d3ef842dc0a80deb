// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The measuring half of bench/voice, which generates the spoken set and runs
// this program on it; see there.
//
//   hvvoicebench SETDIR [--paced-speed WPM] [--paced-voices V1,V2] [--verbose]
//
// SETDIR/manifest: one "stream FILE SCREEN VOICE WPM SECONDS KIND GROUP" line
// per stream (16 kHz mono S16LE, no header; KIND warm, cold, phrase or talk; GROUP
// tuning or held-out), followed by a "word WORD START END" line (seconds) per
// spoken command word, or for talk by "sentences N". Expects
// HALVANE_PLUGINS_PATH and HALVANE_VOICE_DATA to lead to the built plug-in and
// its data, and XDG_CACHE_HOME to a directory of its own.
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLibrary>
#include <QtCore/QLoggingCategory>
#include <QtCore/QProcess>
#include <QtCore/QTextStream>
#include <QtCore/QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>

#include "hvglobal.h"
#include "hvvoice.h"
#include "hvvoicepluginmanager.h"

using namespace Halvane;

namespace {

struct Word
{
    QString word;
    double start = 0;
    double end = 0;
    int expected = -1;
};

struct Stream
{
    QString file;
    HVVoice::VPWndPosition screen = HVVoice::VPWndHome;
    QString voice;
    int wpm = 0;
    double seconds = 0;
    QString kind;
    QString group;
    int sentences = 0;
    QVector<Word> words;
};

struct Tally
{
    int right = 0;
    int total = 0;
    double decodeSeconds = 0;
    double audioSeconds = 0;
    QMap<QString, QPair<int, int>> byVoice; // right, total
    void add(const Stream &stream, int matched)
    {
        right += matched;
        total += stream.words.size();
        auto &voice = byVoice[stream.voice];
        voice.first += matched;
        voice.second += stream.words.size();
    }
    double percent() const { return total ? 100.0 * right / total : 0; }
};

std::atomic<bool> inputEnded{false};
bool verbose = false;
std::mutex logLock;

void logHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (message == QLatin1String("voice input ended"))
        inputEnded = true;
    if (type == QtDebugMsg && !verbose)
        return;
    std::lock_guard<std::mutex> locker(logLock);
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

bool readManifest(const QString &fileName, QVector<Stream> &streams)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QString dir = QFileInfo(fileName).absolutePath();
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.size() == 8 && parts.at(0) == QLatin1String("stream")) {
            Stream stream;
            stream.file = QDir(dir).filePath(parts.at(1));
            stream.screen = HVVoice::VPWndPosition(parts.at(2).toInt());
            stream.voice = parts.at(3);
            stream.wpm = parts.at(4).toInt();
            stream.seconds = parts.at(5).toDouble();
            stream.kind = parts.at(6);
            stream.group = parts.at(7);
            streams.append(stream);
        } else if (parts.size() == 2 && parts.at(0) == QLatin1String("sentences") && !streams.isEmpty()) {
            streams.last().sentences = parts.at(1).toInt();
        } else if (parts.size() == 4 && parts.at(0) == QLatin1String("word") && !streams.isEmpty()) {
            streams.last().words.append({parts.at(1), parts.at(2).toDouble(), parts.at(3).toDouble()});
        }
    }
    return !streams.isEmpty();
}

// Longest common subsequence: commands given in the order spoken.
int matchedInOrder(const QVector<int> &expected, const QVector<int> &got)
{
    QVector<QVector<int>> table(expected.size() + 1, QVector<int>(got.size() + 1, 0));
    for (int i = 1; i <= expected.size(); ++i) {
        for (int j = 1; j <= got.size(); ++j) {
            table[i][j] = expected.at(i - 1) == got.at(j - 1) ? table[i - 1][j - 1] + 1
                                                              : std::max(table[i - 1][j], table[i][j - 1]);
        }
    }
    return table[expected.size()][got.size()];
}

QVector<int> expectedCommands(const Stream &stream)
{
    QVector<int> commands;
    for (const Word &word : stream.words)
        commands.append(word.expected);
    return commands;
}

class Bench : public QObject
{
public:
    Bench(HVVoice *voice, void (*matcher)(char *), int (*build)(), void (*forget)())
        : m_voice(voice)
        , m_matcher(matcher)
        , m_build(build)
        , m_forget(forget)
    {
        connect(voice, &HVVoice::commandReceived, this, [this](VoiceCommand command) {
            m_commands.append(int(command));
            m_times.append(m_clock.nsecsElapsed() / 1e9);
        });
    }

    // What the matcher makes of each word on its screen: the right command.
    bool prepare(QVector<Stream> &streams)
    {
        m_voice->slotSpeechStatus(HVVoice::VWSpeechOn);
        for (Stream &stream : streams) {
            m_voice->slotWindowPosition(stream.screen);
            for (Word &word : stream.words) {
                const QVector<int> got = match(word.word.toLatin1());
                if (got.size() != 1) {
                    std::fprintf(stderr, "%s is no command on screen %d\n", qPrintable(word.word), stream.screen);
                    return false;
                }
                word.expected = got.first();
            }
        }
        return true;
    }

    QVector<int> match(QByteArray hypothesis)
    {
        m_commands.clear();
        m_matcher(hypothesis.data());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        return m_commands;
    }

    // Plays one stream through the plug-in; false if it did not finish.
    bool play(const Stream &stream, bool paced, double &decodeSeconds)
    {
        QByteArray source = "filesrc location=\"" + QFile::encodeName(stream.file)
            + "\" blocksize=320 ! queue ! rawaudioparse use-sink-caps=false format=pcm pcm-format=s16le"
              " sample-rate=16000 num-channels=1";
        if (paced)
            source += " ! identity sync=true";
        qputenv("HALVANE_VOICE_SOURCE", source);
        m_voice->stop();
        if (stream.kind == QLatin1String("cold")) {
            // A first run: nothing learnt, nothing cached.
            m_forget();
            QFile::remove(qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/halvane/voice-cmn"));
        }
        m_voice->slotWindowPosition(stream.screen);
        QElapsedTimer building;
        building.start();
        if (!m_initialised) {
            QEventLoop loop;
            connect(m_voice, &HVVoice::initializeFinished, &loop, &QEventLoop::quit);
            QTimer::singleShot(60000, &loop, &QEventLoop::quit);
            m_voice->initialize();
            loop.exec();
            m_initialised = true;
        } else if (m_build() != 1) {
            // Built here rather than in start(), so that decoding is timed alone.
            std::fprintf(stderr, "the plug-in could not build its pipeline for %s\n", qPrintable(stream.file));
            return false;
        }
        m_buildSeconds += building.nsecsElapsed() / 1e9;
        ++m_builds;
        m_commands.clear();
        m_times.clear();
        inputEnded = false;
        m_clock.start();
        if (!m_voice->start()) {
            std::fprintf(stderr, "the plug-in did not start on %s\n", qPrintable(stream.file));
            return false;
        }
        const double limit = stream.seconds * 3 + 30;
        while (!inputEnded && m_clock.nsecsElapsed() / 1e9 < limit)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        decodeSeconds = m_clock.nsecsElapsed() / 1e9;
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        return inputEnded;
    }

    double meanBuildSeconds() const { return m_builds ? m_buildSeconds / m_builds : 0; }
    const QVector<int> &commands() const { return m_commands; }
    const QVector<double> &times() const { return m_times; }

private:
    HVVoice *m_voice;
    void (*m_matcher)(char *);
    int (*m_build)();
    void (*m_forget)();
    double m_buildSeconds = 0;
    int m_builds = 0;
    QVector<int> m_commands;
    QVector<double> m_times;
    QElapsedTimer m_clock;
    bool m_initialised = false;
};

QString percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return QStringLiteral("-");
    std::sort(values.begin(), values.end());
    const int index = std::min(int(values.size()) - 1, int(p * values.size()));
    return QString::number(values.at(index), 'f', 2);
}

// Results of one decoder per kind of stream and group of voices.
struct Results
{
    QMap<QString, Tally> words;          // "warm tuning", "cold held-out"
    QMap<QString, QPair<int, int>> talk; // "held-out 2": commands, sentences
    double decodeSeconds = 0;
    double audioSeconds = 0;

    void add(const Stream &stream, const QVector<int> &got, double seconds)
    {
        if (stream.kind == QLatin1String("talk")) {
            auto &entry = talk[stream.group + QLatin1Char(' ') + QString::number(stream.screen)];
            entry.first += got.size();
            entry.second += stream.sentences;
        } else {
            words[stream.kind + QLatin1Char(' ') + stream.group].add(stream,
                                                                    matchedInOrder(expectedCommands(stream), got));
        }
        decodeSeconds += seconds;
        audioSeconds += stream.seconds;
    }
    QString right(const QString &kind, const QString &group) const
    {
        const Tally tally = words.value(kind + QLatin1Char(' ') + group);
        return tally.total ? QStringLiteral("%1% (%2/%3)").arg(tally.percent(), 0, 'f', 1).arg(tally.right).arg(tally.total)
                           : QStringLiteral("-");
    }
    QString falseCommands(const QString &group) const
    {
        QStringList perScreen;
        for (int screen : {0, 2, 3}) {
            const auto entry = talk.value(group + QLatin1Char(' ') + QString::number(screen));
            perScreen.append(entry.second ? QString::number(100.0 * entry.first / entry.second, 'f', 1)
                                          : QStringLiteral("-"));
        }
        return perScreen.join(QLatin1Char('/'));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    verbose = args.removeAll(QStringLiteral("--verbose")) > 0;
    auto option = [&args](const char *name, const QString &fallback) {
        const int at = args.indexOf(QLatin1String(name));
        if (at <= 0 || at + 1 >= args.size())
            return fallback;
        const QString value = args.at(at + 1);
        args.removeAt(at + 1);
        args.removeAt(at);
        return value;
    };
    const int pacedSpeed = option("--paced-speed", QStringLiteral("160")).toInt();
    const QStringList pacedVoices = option("--paced-voices", QString()).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: hvvoicebench SETDIR [--paced-speed WPM] [--paced-voices V1,V2] [--verbose]\n");
        return 2;
    }
    const QDir setDir(args.at(1));
    // The plug-in's end-of-stream line is a debug line.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true\nhalvane.*.debug=true"));
    qInstallMessageHandler(logHandler);

    QVector<Stream> streams;
    if (!readManifest(setDir.filePath(QStringLiteral("manifest")), streams)) {
        std::fprintf(stderr, "no streams in %s\n", qPrintable(setDir.filePath(QStringLiteral("manifest"))));
        return 1;
    }

    HVVoicePluginManager manager;
    HVVoice *voice = manager.loadVoicePlugin(QStringLiteral("voice"));
    QLibrary plugin(pluginsPath() + QStringLiteral("voice/libhalvanesphinx.so"));
    // The plug-in's recogniser module: its matcher, for the other decoder's
    // hypotheses, its pipeline build, and forgetting what it learnt.
    auto matcher = reinterpret_cast<void (*)(char *)>(plugin.resolve("voiceRegn_Callback"));
    auto build = reinterpret_cast<int (*)()>(plugin.resolve("initVoiceRegn"));
    auto forget = reinterpret_cast<void (*)()>(plugin.resolve("forgetVoiceRegnAdaptation"));
    if (!voice || !matcher || !build || !forget) {
        std::fprintf(stderr, "no voice plug-in under %s\n", qPrintable(pluginsPath()));
        return 1;
    }
    Bench bench(voice, matcher, build, forget);
    if (!bench.prepare(streams))
        return 1;

    // The plug-in, as fast as it decodes: accuracy and real-time factor.
    Results sphinx;
    for (const Stream &stream : qAsConst(streams)) {
        double seconds = 0;
        if (!bench.play(stream, false, seconds))
            return 1;
        sphinx.add(stream, bench.commands(), seconds);
        if (stream.kind != QLatin1String("cold") || verbose)
            std::fprintf(stderr, "plug-in    %-5s %-15s %3d wpm screen %d: %d commands for %d words\n",
                         qPrintable(stream.kind), qPrintable(stream.voice), stream.wpm, stream.screen,
                         int(bench.commands().size()), int(stream.words.size()));
    }

    // Warm streams in real time: how soon a command follows the word.
    QVector<double> latencies;
    int pacedWords = 0;
    int pacedRight = 0;
    for (const Stream &stream : qAsConst(streams)) {
        if (stream.wpm != pacedSpeed || stream.kind != QLatin1String("warm") || !pacedVoices.contains(stream.voice))
            continue;
        double seconds = 0;
        if (!bench.play(stream, true, seconds))
            return 1;
        for (int i = 0; i < stream.words.size(); ++i) {
            const Word &word = stream.words.at(i);
            const double next = i + 1 < stream.words.size() ? stream.words.at(i + 1).start : 1e9;
            ++pacedWords;
            // The first command after the word began, before the next one did.
            for (int c = 0; c < bench.commands().size(); ++c) {
                const double at = bench.times().at(c);
                if (at <= word.start || at > next)
                    continue;
                if (bench.commands().at(c) == word.expected) {
                    latencies.append(at - word.end);
                    ++pacedRight;
                }
                break;
            }
        }
    }

    // pocketsphinx_continuous with the vocabulary-wide model, its hypotheses
    // read by the plug-in's matcher. Each run starts afresh: its cold figures
    // are its first utterance too.
    const QString data = qEnvironmentVariable("HALVANE_VOICE_DATA");
    const QStringList decoderArgs{QStringLiteral("-hmm"), QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us"),
                                  QStringLiteral("-dict"), data + QStringLiteral("/hv.dic"),
                                  QStringLiteral("-lm"), data + QStringLiteral("/hv.lm"),
                                  QStringLiteral("-logfn"), QStringLiteral("/dev/null")};
    auto runDecoder = [&](const QString &file, QByteArray &output) {
        QProcess decoder;
        decoder.start(QStringLiteral("pocketsphinx_continuous"),
                      decoderArgs + QStringList{QStringLiteral("-infile"), file});
        QElapsedTimer clock;
        clock.start();
        if (!decoder.waitForFinished(600000) || decoder.exitCode() != 0)
            return -1.0;
        output = decoder.readAllStandardOutput();
        return clock.nsecsElapsed() / 1e9;
    };
    // Its start-up (loading the models) is not decoding.
    QByteArray ignored;
    const QString silence = setDir.filePath(QStringLiteral("silence.raw"));
    QFile silenceFile(silence);
    if (!silenceFile.open(QIODevice::WriteOnly) || silenceFile.write(QByteArray(3200, '\0')) != 3200)
        return 1;
    silenceFile.close();
    const double startup = runDecoder(silence, ignored);
    if (startup < 0) {
        std::fprintf(stderr, "pocketsphinx_continuous failed\n");
        return 1;
    }
    Results stock;
    voice->slotSpeechStatus(HVVoice::VWSpeechOn);
    QMap<QString, QByteArray> decoded; // a talk stream is decoded once for its three screens
    // HVBENCH_STOCK=0: the plug-in alone, for quick runs while tuning it.
    const bool withStock = qgetenv("HVBENCH_STOCK") != "0";
    for (const Stream &stream : qAsConst(streams)) {
        if (!withStock)
            break;
        QByteArray output;
        double seconds = 0;
        if (decoded.contains(stream.file)) {
            output = decoded.value(stream.file);
        } else {
            seconds = runDecoder(stream.file, output);
            if (seconds < 0) {
                std::fprintf(stderr, "pocketsphinx_continuous failed on %s\n", qPrintable(stream.file));
                return 1;
            }
            seconds = std::max(0.0, seconds - startup);
            decoded.insert(stream.file, output);
        }
        voice->slotWindowPosition(stream.screen);
        QVector<int> got;
        for (const QByteArray &line : output.split('\n')) {
            if (!line.trimmed().isEmpty())
                got += bench.match(line.trimmed());
        }
        stock.add(stream, got, seconds);
    }

    double latencySum = 0;
    for (double latency : qAsConst(latencies))
        latencySum += latency;
    const QString meanLatency = latencies.isEmpty() ? QStringLiteral("-")
                                                    : QString::number(latencySum / latencies.size(), 'f', 2);
    const int within = int(std::count_if(latencies.begin(), latencies.end(), [](double l) { return l <= 0.35; }));

    std::printf("\nVoice commands: %d streams; right = right command per word, in order; false = commands per 100 "
                "everyday sentences on home/messages/events\n",
                int(streams.size()));
    std::printf("%-24s %-9s %-20s %-20s %-20s %-16s %7s\n", "", "voices", "warm right", "cold right", "phrase right",
                "false h/m/e", "RTF");
    const struct
    {
        const char *name;
        const Results &results;
    } decoders[] = {{"plug-in, per-screen", sphinx}, {"pocketsphinx_continuous", stock}};
    for (const auto &decoder : decoders) {
        for (const QString group : {QStringLiteral("tuning"), QStringLiteral("held-out")}) {
            std::printf("%-24s %-9s %-20s %-20s %-20s %-16s %7.3f\n", decoder.name, qPrintable(group),
                        qPrintable(decoder.results.right(QStringLiteral("warm"), group)),
                        qPrintable(decoder.results.right(QStringLiteral("cold"), group)),
                        qPrintable(decoder.results.right(QStringLiteral("phrase"), group)),
                        qPrintable(decoder.results.falseCommands(group)),
                        decoder.results.decodeSeconds / qMax(1e-9, decoder.results.audioSeconds));
        }
    }
    std::printf("\nby voice, warm+cold right (plug-in / pocketsphinx_continuous):");
    QMap<QString, QPair<int, int>> mine;
    QMap<QString, QPair<int, int>> theirs;
    for (auto it = sphinx.words.constBegin(); it != sphinx.words.constEnd(); ++it) {
        if (it.key().startsWith(QLatin1String("phrase")))
            continue;
        for (auto v = it.value().byVoice.constBegin(); v != it.value().byVoice.constEnd(); ++v) {
            mine[v.key()].first += v.value().first;
            mine[v.key()].second += v.value().second;
            const auto other = stock.words.value(it.key()).byVoice.value(v.key());
            theirs[v.key()].first += other.first;
            theirs[v.key()].second += other.second;
        }
    }
    for (auto it = mine.constBegin(); it != mine.constEnd(); ++it) {
        std::printf("  %s %.1f%% / %.1f%%", qPrintable(it.key()), 100.0 * it.value().first / qMax(1, it.value().second),
                    100.0 * theirs.value(it.key()).first / qMax(1, theirs.value(it.key()).second));
    }
    std::printf("\nreal time at %d wpm (%s, warm): %d/%d right; latency end of word -> command mean/p95/max %s/%s/%s s, "
                "%d of %d within 0.35 s\n",
                pacedSpeed, qPrintable(pacedVoices.join(QLatin1Char(','))), pacedRight, pacedWords,
                qPrintable(meanLatency), qPrintable(percentile(latencies, 0.95)),
                qPrintable(percentile(latencies, 1.0)), within, int(latencies.size()));
    std::printf("RTF: decoding time / audio time, without loading the models (plug-in: %.2f s per pipeline, "
                "pocketsphinx_continuous: %.2f s per run)\n", bench.meanBuildSeconds(), startup);
    voice->stop();
    return 0;
}
