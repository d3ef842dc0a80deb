// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVVOICETESTSUPPORT_H
#define HVVOICETESTSUPPORT_H

#include <QtCore/QString>
#include <QtCore/QStringList>

// Helpers of the voice tests: spoken audio made at test time, and the log
// lines of the plug-in (some come from GStreamer's streaming thread).
namespace HVVoiceTest {

// Writes a 16 kHz mono WAV: half a second, then each word said by espeak-ng
// (voice en-us unless told, 160 words per minute) followed by pause seconds, all over a
// noise floor (sox synth arguments; a low one by default). The decoder starts
// unadapted to the voice; its first word is recognised from this lead-in, not
// always from longer ones.
bool writeSpeech(const QString &fileName, const QStringList &words, double pause = 1.0,
                 const QString &noise = QStringLiteral("whitenoise vol 0.003"),
                 const QString &voice = QStringLiteral("en-us"));

// Collects every log line from now on (debug lines too) and forwards warnings
// (everything with HVTEST_VOICE_VERBOSE set).
void recordLog();
QStringList loggedLines();
void clearLog();
// Whether a line equal to text was logged.
bool logged(const QString &text);

} // namespace HVVoiceTest

#endif // HVVOICETESTSUPPORT_H
