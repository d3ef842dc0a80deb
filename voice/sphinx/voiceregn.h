// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef VOICEREGN_H
#define VOICEREGN_H

#include <QtCore/qglobal.h>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;

/*
 * The recogniser: one GStreamer pipeline per process,
 *   source -> audioconvert -> audioresample -> pocketsphinx -> fakesink,
 * whose pocketsphinx element detects the ends of utterances itself and
 * decodes each against the search of the screen shown.
 *
 * The source is PulseAudio's voice input ("pulsesrc" on "source.voice") or
 * the GStreamer description in HALVANE_VOICE_SOURCE. The dictionary and the
 * language model come from HALVANE_VOICE_DATA, else the installed data.
 *
 * Final hypotheses reach voiceRegn_Callback() on GStreamer's streaming thread.
 */
struct PsPipeline
{
    GstElement *pipeline;
    GstElement *source;
    GstElement *convert;
    GstElement *resample;
    GstElement *sink;
    GstElement *pocketsphinx;
    GstBus *bus;
};

extern "C" {

Q_DECL_EXPORT extern PsPipeline psPipeline;

// Builds the pipeline and leaves it paused: 1 built, 0 failed (nothing left).
Q_DECL_EXPORT int initVoiceRegn(void);
// 1 unless the pipeline is missing or refuses to play.
Q_DECL_EXPORT int startVoiceRegn(void);
// 1 unless the pipeline is missing or refuses to pause.
Q_DECL_EXPORT int pauseVoiceRegn(void);
// Stops and releases the pipeline.
Q_DECL_EXPORT void closeVoiceRegn(void);
// Chooses the search ("home", "navigation", "events") the next utterances are
// decoded against; may be called before the pipeline exists.
Q_DECL_EXPORT void selectVoiceRegnSearch(const char *name);

// Forgets the cepstral means learnt in this process (the cache file stays):
// the next pipeline starts as a first run would.
Q_DECL_EXPORT void forgetVoiceRegnAdaptation(void);

// Defined by the object layer: one final, non-empty hypothesis.
Q_DECL_EXPORT void voiceRegn_Callback(char *hypothesis);
// Defined by the object layer: the pipeline failed (its source went, as when
// the sound server restarts) and hears nothing more. On a streaming thread.
Q_DECL_EXPORT void voiceRegn_ErrorCallback(void);

} // extern "C"

#endif // VOICEREGN_H
