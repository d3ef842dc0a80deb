// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "voiceregn.h"
#include "sphinx_debug.h"

#include <QtCore/QByteArray>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSaveFile>
#include <QtCore/QStandardPaths>
#include <QtCore/QVector>
#include <QtCore/QStringList>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <utility>

#include <gst/gst.h>
#include <pocketsphinx.h>
#include <sphinxbase/ckd_alloc.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fe.h>
#include <sphinxbase/fsg_model.h>
#include <sphinxbase/feat.h>

#include "hvsphinxword.h"

using namespace Halvane;

PsPipeline psPipeline = {};

namespace {

// End-of-speech wait of the element's voice-activity detector, in 10 ms
// frames. The default (50) makes a command follow the word by 0.6 s; at 20
// it follows within 0.3 s; shorter waits begin to cost accuracy.
constexpr long EndOfSpeechFrames = 20;
// Gaussians of each codebook (of 128) that score a frame. The model's 4
// suffice for voices like those it was trained on; for others the densities
// that fit lie further down, and with 4 "stop" in a British voice came out as
// START. Of 4, 16, 32, 64 and 128, 64 scored the most words right on the
// tuning voices; bench/voice shows what it costs.
constexpr long TopGaussians = 64;
// How much likelier a screen's own words are than those of other screens,
// which are in every search so that they are heard as what they are (and
// then ignored) rather than as the nearest word of the screen.
constexpr double OtherScreensWeight = 0.2;
// Rejection of talk that holds no command: the prior share of the phone loop,
// the cost of each phone in it, and how likely the loop goes on after a
// phone. A dearer phone lets more talk through as commands, a cheaper one
// turns away more commands; bench/voice measures both. Long talk is turned
// away by its length (below), so the loop only has to take short talk. At
// 0.2 it also took words said in voices far from the model's (West Midlands
// "home"); at 0.05 it let about three more short phrases in 100 through as
// commands. (With the model's 4 Gaussians a frame, above, 0.1 was too cheap
// for Scottish "weather" and West Midlands "home" already.)
constexpr double TalkShare = 0.5;
constexpr double PhoneCost = 0.1;
constexpr double LoopShare = 0.9;
// The loop hears at least this many phones. A command word said in a voice
// far from the model's could fit the model worse than one or two phones with
// silence around them ("home" as "oh"); three phones fit it no better. 3
// gave back 6 words in 270 on the tuning voices, 4 to 6 one or three more,
// but they also turned more single words of talk ("okay", "right") into
// commands.
constexpr int LeastTalkPhones = 3;
// Talk that holds no command still comes out as a command word when the
// silence model around the word takes up the rest of what was said: over
// speech it costs less than the phones do. Two checks of the word's path turn
// such talk away. A command is short, so an utterance longer than this many
// 10 ms frames (the detector's padding included) gives none; this takes
// sentences.
constexpr int MaxCommandFrames = 140;
// And silence that sounds like speech. A silence frame whose acoustic score
// is below SilenceFrameScore sounds more like speech than like the room (real
// silence scores about -5 per frame in a quiet room and -10 to -20 with a
// loud noise floor; speech taken for silence -25 to -70); what the silences
// around the word fall below that, summed, must stay above
// LeastSilenceExcess. A total of the scores themselves would grow with the
// noise of the room and turn away the first command after start(), whose
// leading silence is long. This takes short talk ("thank you"), and with it
// a command inside a phrase.
constexpr int SilenceFrameScore = -25;
constexpr int LeastSilenceExcess = -200;
// A word of CarrierWords may follow the command word, at this prior share.
// Short talk ("open the door") also comes out as a command and such a word;
// there both fit the audio worse than in a phrase said as a command, so the
// command stands only when each scores at least this much per frame. A
// carrier this short (in frames) is the end of the command word, not a word.
constexpr double CarrierCost = 0.1;
constexpr int CarrierFrameScore = -40;
constexpr int CommandFrameScore = -45;
constexpr int LeastCarrierFrames = 12;
// A word of LeadWords may come before the command word, at this prior share,
// and another may follow it at LeadAgain ("go to feeds"). They count as
// carriers for the checks above. Only a second decode of a short utterance
// that gave no command lets them in: in the first, short words such as "the"
// and "my" took the start of poorly fitting command words ("next" as "the
// next", then turned away), and the command came out right less often.
constexpr double LeadCost = 0.1;
constexpr double LeadAgain = 0.3;
// Short talk ("thank you so much", "show me") came out there as lead words
// and a short command word: of 92 such, 42 gave it fewer than 25 frames,
// while the 45 commands said after lead words took at least 28.
constexpr int LeastLedCommandFrames = 25;
// The normalisation's mean of c0 (the log energy) follows the level of the
// voice at the microphone. A first word said 20 dB softer than the means
// expect came out right 60 times in 100 instead of 93, most often not at all:
// taken for silence, it reached no word. So each utterance that may be a
// command is measured: when the mean c0 of its speech frames, plus what the
// running mean exceeds that of a single word (UtteranceToMeanLevel, 7.5 on the
// tuning voices, 2.6 to 14.2 a word), is more than LevelChange (about 9 dB)
// from the mean it was decoded with, it is decoded again, from its audio kept
// (RecentSamples at 16 kHz), with that mean, which stays.
constexpr double UtteranceToMeanLevel = 7.5;
constexpr double LevelChange = 10;
// The shipped means (hv-cmninit) fit dry speech close to the microphone; in a
// room with some echo the first word after start() came out right 86 times in
// 100 instead of 93. So the first word heard from them that gives no command
// is decoded again with its own means, plus what the running means of a voice
// exceed those of one of its words (the medians over the tuning voices'
// command words): 90 in 100 then. Decoding every first word again gave 94 in
// the room, but turned 4 right commands in 324 of dry held-out voices into
// others: one word's means are rough. They are too rough to keep: later words
// go on from the means as they were.
constexpr double WordToRunningMeans[] = {8.55, 8.98, 1.55, 11.04, -2.91, -0.40, -0.19,
                                         -3.41, -0.83, -2.62, 1.69, -0.71, -0.53};
constexpr int RecentSamples = 3 * 16000;

// A second decode of an ended utterance: the means to decode it with, those
// to go on with after it, and how many of the last samples kept it takes.
struct Again
{
    QVector<mfcc_t> means;
    QVector<mfcc_t> keep;
    int samples = 0;
    // Whether to decode it with these means in the screen's search, and then,
    // if that holds no command either, in its lead search.
    bool plain = false;
    bool leads = false;
};

// What the streaming thread shares with the control thread: the decoder and
// which search it should use. Guarded by lock.
struct Recogniser
{
    std::mutex lock;
    ps_decoder_t *decoder = nullptr; // our own reference
    QByteArray wanted;
    QByteArray active;
    bool utteranceOpen = false;
    // Whether the decoder has heard speech in the open utterance.
    bool speechSeen = false;
    // Cepstral means learnt by the last decoder, for the next one.
    QVector<mfcc_t> learntMeans;
    // The audio of the open utterance (its last RecentSamples) and the mean
    // c0 it is decoded with.
    QVector<int16> recent;
    double decodedLevel = 0;
    // Whether the means are the shipped ones, and no utterance has been
    // heard since.
    bool shippedMeans = false;
    // A hypothesis the element posted, to be decoded again once the element
    // is done with it (see finishPosted).
    Again pending;
};

Recogniser &recogniser()
{
    static Recogniser instance;
    return instance;
}

QByteArray acousticModel()
{
    const char *const candidates[] = {
        "/usr/share/halvane/voxforge_en_sphinx.cd_cont_3000",
        "/usr/share/pocketsphinx/model/hmm/en_US/hub4wsj_sc_8k",
    };
    for (const char *path : candidates) {
        if (QFileInfo::exists(QString::fromLatin1(path)))
            return path;
    }
    return QByteArrayLiteral("/usr/share/pocketsphinx/model/en-us/en-us");
}

QByteArray dataDirectory()
{
    QByteArray dir = qgetenv("HALVANE_VOICE_DATA");
    if (dir.isEmpty())
        dir = QByteArrayLiteral(HALVANE_INSTALLED_VOICE_DATA);
    return dir;
}

// The search of a screen that lets words lead to its commands.
QByteArray leadSearch(const QByteArray &screen)
{
    return screen + "-lead";
}

template<std::size_t N>
void addSpoken(const HVSphinxWord (&table)[N], QStringList &words)
{
    for (const HVSphinxWord &entry : table) {
        const QString word = QString::fromLatin1(entry.word);
        if (entry.spoken && !words.contains(word))
            words.append(word);
    }
}

// A screen's search: one command word, or a loop of phones for speech that
// holds none. The loop fits any speech; each phone of it costs, so that a
// word said as a command still comes out as the command.
bool addScreenSearch(ps_decoder_t *decoder, const QByteArray &name, const QStringList &own, bool withLeads)
{
    QStringList all;
    addSpoken(HomeWords, all);
    addSpoken(NavigationWords, all);
    addSpoken(EventsExtraWords, all);
    logmath_t *logmath = ps_get_logmath(decoder);
    const float language = cmd_ln_float32_r(ps_get_config(decoder), "-lw");
    auto cost = [&](double probability) { return int32(logmath_log(logmath, probability) * language); };
    // 0 start, 1 end, 2 in the loop, 3 after a command that a word follows,
    // then one state for each phone the loop has heard before it may end.
    // No empty moves: the search would judge their end states short of the
    // grammar's end.
    // The last state is after a word that leads to a command.
    const int lead = 4 + LeastTalkPhones - 1;
    fsg_model_t *fsg = fsg_model_init(name.constData(), logmath, language, lead + 1);
    fsg->start_state = 0;
    fsg->final_state = 1;
    double weights = 0;
    for (const QString &word : qAsConst(all))
        weights += own.contains(word) ? 1 : OtherScreensWeight;
    for (const QString &word : qAsConst(all)) {
        const int id = fsg_model_word_add(fsg, word.toLatin1().constData());
        const double weight = (own.contains(word) ? 1 : OtherScreensWeight) / weights;
        fsg_model_trans_add(fsg, 0, 1, cost((1 - TalkShare) * weight), id);
        fsg_model_trans_add(fsg, 0, 3, cost((1 - TalkShare) * weight), id);
        if (withLeads) {
            fsg_model_trans_add(fsg, lead, 1, cost((1 - LeadAgain) * weight), id);
            fsg_model_trans_add(fsg, lead, 3, cost((1 - LeadAgain) * weight), id);
        }
    }
    constexpr int leads = sizeof LeadWords / sizeof *LeadWords;
    for (const char *word : LeadWords) {
        if (!withLeads)
            break;
        const int id = fsg_model_word_add(fsg, word);
        fsg_model_trans_add(fsg, 0, lead, cost((1 - TalkShare) * LeadCost / leads), id);
        fsg_model_trans_add(fsg, lead, lead, cost(LeadAgain / leads), id);
    }
    const double carrier = CarrierCost / (sizeof CarrierWords / sizeof *CarrierWords);
    for (const char *word : CarrierWords)
        fsg_model_trans_add(fsg, 3, 1, cost(carrier), fsg_model_word_add(fsg, word));
    const double phone = PhoneCost / (sizeof Phones / sizeof *Phones);
    for (const char *sound : Phones) {
        const int id = fsg_model_word_add(fsg, QByteArray(QByteArrayLiteral("ph-") + sound).constData());
        int from = 0;
        double share = TalkShare;
        for (int phones = 1; phones < LeastTalkPhones; ++phones) {
            fsg_model_trans_add(fsg, from, 3 + phones, cost(share * phone), id);
            from = 3 + phones;
            share = 1;
        }
        fsg_model_trans_add(fsg, from, 2, cost(share * LoopShare * phone), id);
        fsg_model_trans_add(fsg, from, 1, cost(share * (1 - LoopShare) * phone), id);
        fsg_model_trans_add(fsg, 2, 2, cost(LoopShare * phone), id);
        fsg_model_trans_add(fsg, 2, 1, cost((1 - LoopShare) * phone), id);
    }
    const bool added = ps_set_fsg(decoder, name.constData(), fsg) == 0;
    fsg_model_free(fsg);
    return added;
}

// The words a screen's search is for.
QStringList screenWords(const QByteArray &search)
{
    QStringList words;
    if (search == "home") {
        addSpoken(HomeWords, words);
    } else if (search == "navigation" || search == "events") {
        addSpoken(NavigationWords, words);
        if (search == "events")
            addSpoken(EventsExtraWords, words);
    }
    return words;
}

void addSearches(ps_decoder_t *decoder)
{
    for (const char *search : {"home", "navigation", "events"}) {
        const QStringList own = screenWords(search);
        if (!addScreenSearch(decoder, search, own, false))
            qWarning() << "voice recogniser: no search" << search << "- the whole vocabulary is used";
        if (!addScreenSearch(decoder, leadSearch(search), own, true))
            qWarning() << "voice recogniser: no search" << leadSearch(search);
    }
}

// Caller holds the lock; the decoder is between utterances.
void switchSearch(Recogniser &r)
{
    if (ps_set_search(r.decoder, r.wanted.constData()) < 0)
        qWarning() << "voice recogniser: cannot switch to search" << r.wanted;
    else
        qCDebug(HALVANE_SPHINX) << "voice recogniser: search" << r.wanted;
    r.active = r.wanted;
}

// Keeps the audio the decoder is about to get: see RecentSamples.
void keepRecent(Recogniser &r, GstPadProbeInfo *info)
{
    auto keep = [&r](GstBuffer *buffer) {
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return;
        r.recent.append(QVector<int16>(reinterpret_cast<const int16 *>(map.data),
                                       reinterpret_cast<const int16 *>(map.data) + map.size / sizeof(int16)));
        gst_buffer_unmap(buffer, &map);
        // Drop in pieces, not per buffer.
        if (r.recent.size() > 2 * RecentSamples)
            r.recent.remove(0, r.recent.size() - RecentSamples);
    };
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        keep(gst_pad_probe_info_get_buffer(info));
    } else if (GstBufferList *list = gst_pad_probe_info_get_buffer_list(info)) {
        for (guint i = 0; i < gst_buffer_list_length(list); ++i)
            keep(gst_buffer_list_get(list, i));
    }
}

QByteArray finishUtterance(Recogniser &r, const QByteArray &hypothesis, bool posted);
QByteArray finishPosted(Recogniser &r);

// Runs on the streaming thread before each piece of audio is decoded: a new
// search takes over between utterances, or at once while nothing but silence
// has been heard in the current one. Until then the old search decodes; it
// knows every screen's words, and the new screen's table judges them. It also
// keeps the utterance's audio, and finishes an utterance the element ended
// without a word, or a word it posted that is decoded again.
GstPadProbeReturn beforeDecoding(GstPad *, GstPadProbeInfo *info, gpointer)
{
    Recogniser &r = recogniser();
    QByteArray command;
    {
        std::lock_guard<std::mutex> locker(r.lock);
        if (r.decoder)
            command = finishPosted(r);
        if (r.decoder && r.utteranceOpen) {
            // When the search reached no word, the element ends the utterance
            // without a message; a command heard at a level the means did
            // not expect often ends so.
            if (ps_get_in_speech(r.decoder))
                r.speechSeen = true;
            else if (r.speechSeen)
                command = finishUtterance(r, QByteArray(), false);
        }
        if (r.decoder && r.wanted != r.active && !r.wanted.isEmpty()) {
            if (!r.utteranceOpen) {
                switchSearch(r);
            } else if (!ps_get_in_speech(r.decoder)) {
                // The element keeps its utterance open; nothing of it is speech.
                ps_end_utt(r.decoder);
                switchSearch(r);
                ps_start_utt(r.decoder);
            }
        }
        if (r.decoder) {
            if (!r.utteranceOpen) {
                r.recent.clear();
                if (cmn_t *cmn = ps_get_feat(r.decoder)->cmn_struct)
                    r.decodedLevel = cmn->cmn_mean[0];
            }
            keepRecent(r, info);
        }
        // The element opens an utterance for any audio it gets.
        r.utteranceOpen = true;
    }
    if (!command.isEmpty())
        voiceRegn_Callback(command.data());
    return GST_PAD_PROBE_OK;
}

// What the checks see of the last utterance: its length in frames, without a
// leading silence that sounds like silence (the detector keeps the silence
// before the first words after start()), how far its silences fall below
// what silence scores, and the frames and scores of the command word and of
// a word after it.
struct Heard
{
    int frames = 0;
    int32 silence = 0;
    int commandFrames = 0;
    int32 command = 0;
    int carrierFrames = 0;
    int32 carrier = 0;
};

template<std::size_t N>
bool isOneOf(const char *word, const char *const (&list)[N])
{
    for (const char *carrier : list) {
        const std::size_t length = std::strlen(carrier);
        // "IT(2)" is another pronunciation of "IT".
        if (std::strncmp(word, carrier, length) == 0 && (word[length] == '\0' || word[length] == '('))
            return true;
    }
    return false;
}

bool isCarrier(const char *word)
{
    return isOneOf(word, CarrierWords) || isOneOf(word, LeadWords);
}

Heard heard(ps_decoder_t *decoder)
{
    Heard heard;
    heard.frames = ps_get_n_frames(decoder);
    bool leading = true;
    for (ps_seg_t *seg = ps_seg_iter(decoder); seg; seg = ps_seg_next(seg)) {
        // Fillers: "<sil>" and the like.
        const char *word = ps_seg_word(seg);
        const bool filler = word[0] == '<' || word[0] == '[' || word[0] == '+';
        int32 acoustic = 0, language = 0, backoff = 0;
        ps_seg_prob(seg, &acoustic, &language, &backoff);
        int first = 0, last = 0;
        ps_seg_frames(seg, &first, &last);
        const int length = last - first + 1;
        if (filler && leading && length > 0 && acoustic > SilenceFrameScore * length)
            heard.frames -= length;
        if (filler) {
            heard.silence += qMin(0, acoustic - SilenceFrameScore * length);
        } else if (isCarrier(word)) {
            heard.carrierFrames += length;
            heard.carrier += acoustic;
        } else if (std::strncmp(word, "ph-", 3) != 0) {
            heard.commandFrames += length;
            heard.command += acoustic;
        }
        leading = false;
    }
    return heard;
}

// Whether the command word of the last utterance may stand: see
// MaxCommandFrames, LeastSilenceExcess and CarrierFrameScore, and
// LeastLedCommandFrames when the search lets words lead to it.
bool mayBeCommand(ps_decoder_t *decoder, bool led)
{
    const Heard what = heard(decoder);
    if (what.frames > MaxCommandFrames || what.silence < LeastSilenceExcess)
        return false;
    if (led && what.commandFrames < LeastLedCommandFrames)
        return false;
    return what.carrierFrames <= LeastCarrierFrames
        || (what.carrier >= CarrierFrameScore * what.carrierFrames
            && what.command >= CommandFrameScore * what.commandFrames);
}

// HALVANE_VOICE_TRACE=FILE: a line per utterance with what the checks see and
// the phones the loop heard (which show how a missed word was said), for
// tuning; a line "pipeline" per pipeline built.
FILE *traceFile()
{
    static FILE *file = [] {
        const QByteArray name = qgetenv("HALVANE_VOICE_TRACE");
        return name.isEmpty() ? nullptr : std::fopen(name.constData(), "a");
    }();
    return file;
}

void traceUtterance(ps_decoder_t *decoder, const QByteArray &hypothesis)
{
    FILE *file = traceFile();
    if (!file)
        return;
    int phones = 0;
    QByteArray words;
    QByteArray sounds;
    for (const QByteArray &part : hypothesis.split(' ')) {
        if (part.startsWith("ph-")) {
            ++phones;
            sounds += (sounds.isEmpty() ? "" : ".") + part.mid(3);
        } else if (!part.isEmpty()) {
            words += (words.isEmpty() ? "" : "+") + part;
        }
    }
    const Heard what = heard(decoder);
    std::fprintf(file, "utt sounds=%s words=%s phones=%d frames=%d counted=%d silence=%d command=%d/%d carrier=%d/%d",
                 sounds.isEmpty() ? "-" : sounds.constData(), words.isEmpty() ? "-" : words.constData(), phones,
                 ps_get_n_frames(decoder), what.frames, what.silence, what.command, what.commandFrames, what.carrier, what.carrierFrames);
    for (ps_seg_t *seg = ps_seg_iter(decoder); seg; seg = ps_seg_next(seg)) {
        const char *word = ps_seg_word(seg);
        if (qstrncmp(word, "ph-", 3) == 0)
            continue;
        int32 acoustic = 0, language = 0, backoff = 0;
        ps_seg_prob(seg, &acoustic, &language, &backoff);
        int first = 0, last = 0;
        ps_seg_frames(seg, &first, &last);
        std::fprintf(file, " seg=%s:%d-%d:a%d:l%d", word, first, last, acoustic, language);
    }
    std::fprintf(file, "\n");
    std::fflush(file);
}

// The mean cepstra of what a front end set up as the decoder's takes for
// speech in the audio; empty if it takes nothing.
QVector<double> speechMeans(ps_decoder_t *decoder, const int16 *samples, size_t left)
{
    fe_t *fe = fe_init_auto_r(ps_get_config(decoder));
    if (!fe)
        return {};
    fe_start_stream(fe);
    fe_start_utt(fe);
    constexpr int32 Chunk = 64;
    const int length = fe_get_output_size(fe);
    mfcc_t **cepstra = static_cast<mfcc_t **>(ckd_calloc_2d(Chunk, length, sizeof(mfcc_t)));
    QVector<double> sum(length, 0.0);
    int frames = 0;
    while (left > 0) {
        const size_t before = left;
        int32 count = Chunk;
        int32 index = 0;
        if (fe_process_frames(fe, &samples, &left, cepstra, &count, &index) < 0)
            break;
        for (int32 i = 0; i < count; ++i)
            for (int k = 0; k < length; ++k)
                sum[k] += cepstra[i][k];
        frames += count;
        if (left == before && count == 0)
            break;
    }
    ckd_free_2d(cepstra);
    fe_free(fe);
    if (frames == 0)
        return {};
    for (double &value : sum)
        value /= frames;
    return sum;
}

bool holdsWord(const QByteArray &hypothesis);

// The screen whose table judges what is heard now: the one asked for, even
// while the decoder still has the search of the one before (it switches
// between utterances).
QByteArray judgingScreen(const Recogniser &r)
{
    return r.wanted.isEmpty() ? r.active : r.wanted;
}

// Whether a hypothesis holds a command of the screen: a word of another
// screen gives none here.
bool holdsCommand(const Recogniser &r, const QByteArray &hypothesis)
{
    const QStringList own = screenWords(judgingScreen(r));
    const QList<QByteArray> words = hypothesis.split(' ');
    return std::any_of(words.cbegin(), words.cend(), [&own](const QByteArray &word) {
        // "NEXT(3)" is a pronunciation of "NEXT".
        const int variant = word.indexOf('(');
        return own.contains(QString::fromLatin1(variant < 0 ? word : word.left(variant)));
    });
}

// Caller holds the lock; the element has ended the utterance. How to decode
// it again when it was heard at a level the means did not expect (see
// LevelChange), or when it is the first since the means were the shipped
// ones and holds no command (see WordToRunningMeans), and with the lead search
// when it holds no command (see LeadCost); no means if it needs no second
// decode. Reads the decoder's result but leaves it as it is.
Again planAgain(Recogniser &r, const QByteArray &checked)
{
    cmn_t *cmn = ps_get_feat(r.decoder)->cmn_struct;
    const bool heardCommand = holdsWord(checked);
    const bool first = r.shippedMeans && !heardCommand;
    r.shippedMeans = false;
    if (!cmn || r.recent.isEmpty() || heard(r.decoder).frames > MaxCommandFrames)
        return {};
    Again again;
    again.samples = qMin(r.recent.size(), RecentSamples);
    const QVector<double> word =
        speechMeans(r.decoder, r.recent.constData() + r.recent.size() - again.samples, size_t(again.samples));
    if (word.size() != cmn->veclen || !std::isfinite(word[0]))
        return {};
    const double level = word[0] + UtteranceToMeanLevel;
    if (FILE *file = traceFile())
        std::fprintf(file, "level heard=%.2f decoded=%.2f first=%d\n", word[0], r.decodedLevel, int(first));
    const bool levelChanged = std::fabs(level - r.decodedLevel) > LevelChange;
    again.plain = first || levelChanged;
    again.leads = !holdsCommand(r, checked);
    if (!again.plain && !again.leads)
        return {};
    again.keep.resize(cmn->veclen);
    cmn_live_get(cmn, again.keep.data());
    if (levelChanged)
        again.keep[0] = mfcc_t(level);
    again.means = again.keep;
    // One word's means are too rough to keep beyond its level.
    if (first) {
        for (int k = 0; k < cmn->veclen && k < int(std::size(WordToRunningMeans)); ++k)
            again.means[k] = mfcc_t(word[k] + WordToRunningMeans[k]);
    }
    return again;
}

QByteArray command(Recogniser &r, QByteArray hypothesis, bool led = false);

// Caller holds the lock; the decoder is between utterances, and no one holds
// its last result. The command the second decode holds, or nothing.
QByteArray decodeAgain(Recogniser &r, const Again &again)
{
    cmn_t *cmn = ps_get_feat(r.decoder)->cmn_struct;
    if (!cmn || again.means.size() != cmn->veclen || again.samples > r.recent.size())
        return {};
    if (again.leads && ps_set_search(r.decoder, leadSearch(judgingScreen(r)).constData()) < 0)
        return {};
    cmn_live_set(cmn, again.means.constData());
    QByteArray checked;
    if (ps_start_utt(r.decoder) >= 0) {
        ps_process_raw(r.decoder, r.recent.constData() + r.recent.size() - again.samples, size_t(again.samples),
                       FALSE, FALSE);
        ps_end_utt(r.decoder);
        const char *text = ps_get_hyp(r.decoder, nullptr);
        const QByteArray hypothesis = text ? text : "";
        traceUtterance(r.decoder, hypothesis);
        // Before the search changes back: the checks read its result.
        checked = command(r, hypothesis, again.leads);
    }
    cmn_live_set(cmn, again.keep.constData());
    r.decodedLevel = again.keep[0];
    if (again.leads)
        ps_set_search(r.decoder, r.active.constData());
    return checked;
}

// Whether a hypothesis holds a word, not only phones of talk.
bool holdsWord(const QByteArray &hypothesis)
{
    const QList<QByteArray> words = hypothesis.split(' ');
    return std::any_of(words.cbegin(), words.cend(), [](const QByteArray &word) {
        return !word.isEmpty() && !word.startsWith("ph-") && !isCarrier(word.constData());
    });
}

// Caller holds the lock: the command an utterance's hypothesis holds, or
// nothing; led if the search let words lead to it.
QByteArray command(Recogniser &r, QByteArray hypothesis, bool led)
{
    if (!hypothesis.isEmpty() && !mayBeCommand(r.decoder, led)) {
        qCDebug(HALVANE_SPHINX) << "voice recogniser: talk, not a command:" << hypothesis;
        hypothesis.clear();
    }
    return hypothesis;
}

// Caller holds the lock; the decoder is between utterances, and no one holds
// its last result. The command a second decode finds, or nothing.
QByteArray commandAgain(Recogniser &r, Again again)
{
    QByteArray checked;
    const bool leads = std::exchange(again.leads, false);
    if (again.plain)
        checked = decodeAgain(r, again);
    if (leads && !holdsCommand(r, checked)) {
        again.leads = true;
        checked = decodeAgain(r, again);
    }
    return checked;
}

// Caller holds the lock; the element has ended the utterance, with the
// hypothesis it posted, if it posted one. The command it holds, or nothing.
// It may be decoded again (see planAgain). The element reads the hypothesis
// it posted again after posting it, and a second decode frees it: a posted
// one waits for finishPosted.
QByteArray finishUtterance(Recogniser &r, const QByteArray &hypothesis, bool posted)
{
    r.utteranceOpen = false;
    r.speechSeen = false;
    if (posted)
        traceUtterance(r.decoder, hypothesis);
    const QByteArray checked = command(r, hypothesis);
    const Again again = planAgain(r, checked);
    if (!posted)
        return commandAgain(r, again);
    if (again.means.isEmpty())
        return checked;
    r.pending = again;
    return {};
}

// Caller holds the lock; the element is done with the hypothesis it posted
// last (it starts its next utterance after this). The command a second
// decode finds in it, if it waits for one, or nothing.
QByteArray finishPosted(Recogniser &r)
{
    return commandAgain(r, std::exchange(r.pending, Again()));
}

// Nobody watches the bus: everything is handled here, on the thread that
// posts it, and dropped so that nothing piles up. A dropped message is ours
// to release: each one holds its element, and with it the whole pipeline.
GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT: {
        const GstStructure *structure = gst_message_get_structure(message);
        gboolean final = FALSE;
        if (!structure || !gst_structure_has_name(structure, "pocketsphinx")
            || !gst_structure_get_boolean(structure, "final", &final) || !final)
            break;
        QByteArray hypothesis = gst_structure_get_string(structure, "hypothesis");
        {
            // The element has ended the utterance: the decoder still holds it.
            Recogniser &r = recogniser();
            std::lock_guard<std::mutex> locker(r.lock);
            if (r.decoder)
                hypothesis = finishUtterance(r, hypothesis, true);
            r.utteranceOpen = false;
        }
        if (!hypothesis.isEmpty())
            voiceRegn_Callback(hypothesis.data());
        break;
    }
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        qWarning() << "voice recognition error:" << (error ? error->message : "unknown") << debug;
        g_clear_error(&error);
        g_free(debug);
        voiceRegn_ErrorCallback();
        break;
    }
    case GST_MESSAGE_EOS: {
        // The last word may still wait for its second decode.
        QByteArray command;
        {
            Recogniser &r = recogniser();
            std::lock_guard<std::mutex> locker(r.lock);
            if (r.decoder)
                command = finishPosted(r);
        }
        if (!command.isEmpty())
            voiceRegn_Callback(command.data());
        qCDebug(HALVANE_SPHINX) << "voice input ended";
        break;
    }
    default:
        break;
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

// pocketsphinx reports through sphinxbase's log: its warnings and errors go
// to ours (a message comes in pieces, ending with a new line), the rest is
// dropped.
void sphinxLog(void *, err_lvl_t level, const char *format, ...)
{
    if (level < ERR_WARN)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    thread_local QByteArray pending;
    pending += text;
    if (!pending.endsWith('\n'))
        return;
    const QString message = QString::fromLocal8Bit(pending.trimmed());
    pending.clear();
    // A grammar search asked for a partial result mid-word says so as an
    // error; the element asks every 100 ms.
    if (message.contains(QLatin1String("does not match the grammar")))
        qCDebug(HALVANE_SPHINX).noquote() << "pocketsphinx:" << message;
    else
        qWarning().noquote() << "pocketsphinx:" << message;
}

GstElement *makeElement(const char *factory, const char *name)
{
    GstElement *element = gst_element_factory_make(factory, name);
    if (!element)
        qWarning() << "voice recognition unavailable: no GStreamer element" << factory;
    return element;
}

GstElement *makeSource()
{
    const QByteArray description = qgetenv("HALVANE_VOICE_SOURCE");
    if (description.isEmpty()) {
        GstElement *source = makeElement("pulsesrc", "audiosrc");
        if (source)
            g_object_set(source, "device", "source.voice", nullptr);
        return source;
    }
    GError *error = nullptr;
    GstElement *source = gst_parse_bin_from_description(description.constData(), TRUE, &error);
    if (!source || error) {
        qWarning() << "voice input source unusable:" << description << (error ? error->message : "");
        g_clear_error(&error);
        if (source)
            gst_object_unref(source);
        return nullptr;
    }
    gst_object_set_name(GST_OBJECT(source), "audiosrc");
    return source;
}

void releaseUnowned(GstElement *element)
{
    if (element)
        gst_object_unref(gst_object_ref_sink(element));
}

// Cepstral mean normalisation adapts to the voice and the microphone as it
// hears them; a decoder that starts from the acoustic model's means gets its
// first words wrong. It starts from what the last decoder learnt, kept across
// stop()/start() and between runs in the cache, else from means fitted to
// speech (hv-cmninit).
QString meansCacheFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QStringLiteral("/halvane/voice-cmn");
}

// One line of comma-separated means, as -cmninit takes them; empty if the
// text is no such line.
QVector<mfcc_t> parseMeans(const QByteArray &text, int length)
{
    const QList<QByteArray> parts = text.trimmed().split(',');
    QVector<mfcc_t> means;
    if (parts.size() != length)
        return means;
    for (const QByteArray &part : parts) {
        bool ok = false;
        const double value = part.trimmed().toDouble(&ok);
        // Far outside what 16-bit audio gives: not means of speech.
        if (!ok || !std::isfinite(value) || std::fabs(value) > 200)
            return {};
        means.append(mfcc_t(value));
    }
    return means;
}

// Only a file of our own: a link would have stop() write where it points,
// and a pipe would block the reading (and start()) for ever.
bool isPlainFile(const QString &fileName)
{
    const QFileInfo info(fileName);
    return info.isFile() && !info.isSymLink();
}

QVector<mfcc_t> readMeans(const QString &fileName, int length, bool warn)
{
    QFile file(fileName);
    if (!QFileInfo::exists(fileName) && !QFileInfo(fileName).isSymLink())
        return {};
    QVector<mfcc_t> means;
    if (isPlainFile(fileName) && file.open(QIODevice::ReadOnly))
        means = parseMeans(file.read(4096), length);
    if (means.isEmpty() && warn)
        qWarning() << "voice recogniser: ignoring unreadable or invalid cepstral means in" << fileName;
    return means;
}

void startMeans(Recogniser &r, ps_decoder_t *decoder)
{
    cmn_t *cmn = ps_get_feat(decoder)->cmn_struct;
    if (!cmn)
        return;
    QVector<mfcc_t> means = r.learntMeans.size() == cmn->veclen ? r.learntMeans : QVector<mfcc_t>();
    if (means.isEmpty())
        means = readMeans(meansCacheFile(), cmn->veclen, true);
    r.shippedMeans = means.isEmpty();
    if (means.isEmpty())
        means = readMeans(QString::fromLocal8Bit(dataDirectory() + "/hv-cmninit"), cmn->veclen, true);
    if (!means.isEmpty())
        cmn_live_set(cmn, means.constData());
}

void keepMeans(Recogniser &r, ps_decoder_t *decoder)
{
    cmn_t *cmn = ps_get_feat(decoder)->cmn_struct;
    if (!cmn)
        return;
    QVector<mfcc_t> means(cmn->veclen);
    cmn_live_get(cmn, means.data());
    r.learntMeans = means;
    QStringList values;
    for (mfcc_t value : qAsConst(means))
        values.append(QString::number(double(value), 'f', 2));
    const QString fileName = meansCacheFile();
    if (QFileInfo(fileName).isSymLink() || (QFileInfo::exists(fileName) && !isPlainFile(fileName))) {
        qWarning() << "voice recogniser: not a plain file, cepstral means not kept in" << fileName;
        return;
    }
    QSaveFile file(fileName);
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()) || !file.open(QIODevice::WriteOnly)
        || file.write(values.join(QLatin1Char(',')).toLatin1() + '\n') < 0 || !file.commit())
        qWarning() << "voice recogniser: cannot keep cepstral means in" << fileName;
}

// Brings the recogniser up (it creates its decoder on the way to READY) and
// sets it up for commands: the shorter end-of-speech wait and a search per
// screen, the screen shown first.
ps_decoder_t *setUpDecoder(GstElement *pocketsphinx)
{
    if (gst_element_set_state(pocketsphinx, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        return nullptr;
    ps_decoder_t *decoder = nullptr;
    g_object_get(pocketsphinx, "decoder", &decoder, nullptr);
    if (!decoder)
        return nullptr;
    cmd_ln_set_int32_r(ps_get_config(decoder), "-vad_postspeech", EndOfSpeechFrames);
    cmd_ln_set_int32_r(ps_get_config(decoder), "-topn", TopGaussians);
    if (ps_reinit(decoder, nullptr) < 0) {
        ps_free(decoder);
        return nullptr;
    }
    addSearches(decoder);
    return decoder;
}

} // namespace

extern "C" {

int initVoiceRegn(void)
{
    if (psPipeline.pipeline)
        return 1;
    if (FILE *file = traceFile()) {
        std::fprintf(file, "pipeline\n");
        std::fflush(file);
    }
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);

    PsPipeline p = {};
    p.pipeline = gst_pipeline_new("voice-recog-pipe");
    p.source = makeSource();
    p.convert = makeElement("audioconvert", "convert");
    p.resample = makeElement("audioresample", "resample");
    p.sink = makeElement("fakesink", "sink");
    p.pocketsphinx = makeElement("pocketsphinx", "pocketsphinx");
    if (!p.pipeline || !p.source || !p.convert || !p.resample || !p.sink || !p.pocketsphinx) {
        for (GstElement *element : {p.pipeline, p.source, p.convert, p.resample, p.sink, p.pocketsphinx})
            releaseUnowned(element);
        return 0;
    }
    // Set after the element's plug-in has been loaded, which sets its own;
    // without a log file pocketsphinx also keeps its settings dumps to itself.
    err_set_callback(sphinxLog, nullptr);
    err_set_logfp(nullptr);

    const QByteArray dir = dataDirectory();
    const QByteArray hmm = acousticModel();
    const QByteArray dict = dir + "/hv.dic";
    const QByteArray lm = dir + "/hv.lm";
    g_object_set(p.pocketsphinx, "hmm", hmm.constData(), "dict", dict.constData(), "lm", lm.constData(), nullptr);

    gst_bin_add_many(GST_BIN(p.pipeline), p.source, p.convert, p.resample, p.pocketsphinx, p.sink, nullptr);
    if (!gst_element_link_many(p.source, p.convert, p.resample, p.pocketsphinx, p.sink, nullptr)) {
        qWarning() << "voice recognition pipeline could not be linked";
        gst_object_unref(p.pipeline);
        return 0;
    }
    p.bus = gst_pipeline_get_bus(GST_PIPELINE(p.pipeline));
    gst_bus_set_sync_handler(p.bus, onBusMessage, nullptr, nullptr);

    ps_decoder_t *decoder = setUpDecoder(p.pocketsphinx);
    if (!decoder) {
        qWarning() << "voice recogniser could not load its models:" << hmm << dict << lm;
        gst_element_set_state(p.pipeline, GST_STATE_NULL);
        gst_object_unref(p.bus);
        gst_object_unref(p.pipeline);
        return 0;
    }
    {
        Recogniser &r = recogniser();
        std::lock_guard<std::mutex> locker(r.lock);
        r.decoder = decoder;
        startMeans(r, decoder);
        r.active.clear();
        r.utteranceOpen = false;
        r.pending = {};
        if (!r.wanted.isEmpty())
            switchSearch(r);
    }
    GstPad *pad = gst_element_get_static_pad(p.pocketsphinx, "sink");
    gst_pad_add_probe(pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST), beforeDecoding,
                      nullptr, nullptr);
    gst_object_unref(pad);

    psPipeline = p;
    // A live source that cannot open shows when playing starts.
    gst_element_set_state(p.pipeline, GST_STATE_PAUSED);
    return 1;
}

int startVoiceRegn(void)
{
    if (!psPipeline.pipeline)
        return 0;
    return gst_element_set_state(psPipeline.pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? 0 : 1;
}

int pauseVoiceRegn(void)
{
    if (!psPipeline.pipeline)
        return 0;
    {
        // Not a command to act on after the pause.
        Recogniser &r = recogniser();
        std::lock_guard<std::mutex> locker(r.lock);
        r.pending = {};
    }
    return gst_element_set_state(psPipeline.pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ? 0 : 1;
}

void closeVoiceRegn(void)
{
    if (!psPipeline.pipeline)
        return;
    gst_element_set_state(psPipeline.pipeline, GST_STATE_NULL);
    gst_object_unref(psPipeline.bus);
    gst_object_unref(psPipeline.pipeline);
    psPipeline = {};
    Recogniser &r = recogniser();
    std::lock_guard<std::mutex> locker(r.lock);
    if (r.decoder) {
        keepMeans(r, r.decoder);
        ps_free(r.decoder);
    }
    r.decoder = nullptr;
    r.active.clear();
    r.utteranceOpen = false;
    r.pending = {};
}

void forgetVoiceRegnAdaptation(void)
{
    Recogniser &r = recogniser();
    std::lock_guard<std::mutex> locker(r.lock);
    r.learntMeans.clear();
}

void selectVoiceRegnSearch(const char *name)
{
    Recogniser &r = recogniser();
    std::lock_guard<std::mutex> locker(r.lock);
    r.wanted = name;
}

} // extern "C"
