// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvvoicetestsupport.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLoggingCategory>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <cstdio>
#include <mutex>

namespace HVVoiceTest {

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

// Repeatable noise, and 16 kHz mono 16-bit output.
const QStringList Format{QStringLiteral("-r"), QStringLiteral("16000"), QStringLiteral("-c"), QStringLiteral("1"),
                         QStringLiteral("-b"), QStringLiteral("16")};

std::mutex logLock;
QStringList logLines;

void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    {
        std::lock_guard<std::mutex> locker(logLock);
        logLines.append(message);
    }
    static const bool verbose = qEnvironmentVariableIsSet("HVTEST_VOICE_VERBOSE");
    if (verbose || (type != QtDebugMsg && type != QtInfoMsg))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

bool writeSpeech(const QString &fileName, const QStringList &words, double pause, const QString &noise,
                 const QString &voice)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString lead = dir.filePath(QStringLiteral("lead.wav"));
    const QString gap = dir.filePath(QStringLiteral("gap.wav"));
    for (const auto &silence : {qMakePair(lead, 0.5), qMakePair(gap, pause)}) {
        if (!run(QStringLiteral("sox"), QStringList{QStringLiteral("-R"), QStringLiteral("-n")} + Format
                     + QStringList{silence.first, QStringLiteral("trim"), QStringLiteral("0"),
                                   QString::number(silence.second)}))
            return false;
    }
    QStringList parts{lead};
    for (int i = 0; i < words.size(); ++i) {
        const QString raw = dir.filePath(QStringLiteral("raw%1.wav").arg(i));
        const QString word = dir.filePath(QStringLiteral("word%1.wav").arg(i));
        // The word alone: espeak-ng's own silence trimmed away.
        if (!run(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), voice, QStringLiteral("-s"),
                                               QStringLiteral("160"), QStringLiteral("-w"), raw, words.at(i)})
            || !run(QStringLiteral("sox"), QStringList{QStringLiteral("-R"), raw} + Format
                        + QStringList{word, QStringLiteral("silence"), QStringLiteral("1"), QStringLiteral("0.01"),
                                      QStringLiteral("0.5%"), QStringLiteral("reverse"), QStringLiteral("silence"),
                                      QStringLiteral("1"), QStringLiteral("0.01"), QStringLiteral("0.5%"),
                                      QStringLiteral("reverse")}))
            return false;
        parts << word << gap;
    }
    const QString speech = dir.filePath(QStringLiteral("speech.wav"));
    if (!run(QStringLiteral("sox"), QStringList{QStringLiteral("-R")} + parts + QStringList{speech}))
        return false;
    QProcess soxi;
    soxi.start(QStringLiteral("soxi"), {QStringLiteral("-D"), speech});
    if (!soxi.waitForFinished(30000))
        return false;
    const QString seconds = QString::fromLatin1(soxi.readAllStandardOutput().trimmed());
    // A noise floor rather than digital silence: on zeros the decoder misses words.
    const QString floor = dir.filePath(QStringLiteral("noise.wav"));
    return run(QStringLiteral("sox"), QStringList{QStringLiteral("-R"), QStringLiteral("-n")} + Format
                   + QStringList{floor, QStringLiteral("synth"), seconds}
                   + noise.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        && run(QStringLiteral("sox"), {QStringLiteral("-R"), QStringLiteral("-m"), QStringLiteral("-v"),
                                       QStringLiteral("1"), speech, QStringLiteral("-v"), QStringLiteral("1"), floor,
                                       fileName});
}

void recordLog()
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=true\nhalvane.*.debug=true"));
    qInstallMessageHandler(handler);
}

QStringList loggedLines()
{
    std::lock_guard<std::mutex> locker(logLock);
    return logLines;
}

void clearLog()
{
    std::lock_guard<std::mutex> locker(logLock);
    logLines.clear();
}

bool logged(const QString &text)
{
    std::lock_guard<std::mutex> locker(logLock);
    return logLines.contains(text);
}

} // namespace HVVoiceTest
