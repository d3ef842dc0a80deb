#include "voiceregn.h"

#include <QtCore/QByteArray>
#include <QtCore/QDebug>
#include <QtCore/QFileInfo>
#include <QtCore/QStringList>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include <gst/gst.h>
#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sphinxbase/fsg_model.h>
#include <sphinxbase/jsgf.h>

#include "hvsphinxword.h"

using namespace Halvane;

PsPipeline psPipeline = {};

namespace {

// End-of-speech wait of the element's voice-activity detector, in 10 ms
// frames. The default (50) makes a command follow the word by 0.6 s; at 20
// it follows within 0.3 s; shorter waits begin to cost accuracy.
constexpr long EndOfSpeechFrames = 20;
// How much likelier a screen's own words are than those of other screens,
// which are in every search so that they are heard as what they are (and
// then ignored) rather than as the nearest word of the screen.
constexpr double OtherScreensWeight = 0.2;

// What the streaming thread shares with the control thread: the decoder and
// which search it should use. Guarded by lock.
struct Recogniser
{
    std::mutex lock;
    ps_decoder_t *decoder = nullptr; // our own reference
    QByteArray wanted;
    QByteArray active;
    bool utteranceOpen = false;
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

template<std::size_t N>
void addSpoken(const HVSphinxWord (&table)[N], QStringList &words)
{
    for (const HVSphinxWord &entry : table) {
        const QString word = QString::fromLatin1(entry.word);
        if (entry.spoken && !words.contains(word))
            words.append(word);
    }
}

// A one-word grammar: the screen's own words, and the other screens' words at
// a lower weight.
QByteArray grammar(const char *name, const QStringList &own)
{
    QStringList all;
    addSpoken(HomeWords, all);
    addSpoken(NavigationWords, all);
    addSpoken(EventsExtraWords, all);
    QStringList alternatives;
    for (const QString &word : own)
        alternatives.append(QStringLiteral("/1/ ") + word);
    for (const QString &word : qAsConst(all)) {
        if (!own.contains(word))
            alternatives.append(QStringLiteral("/%1/ ").arg(OtherScreensWeight) + word);
    }
    return QByteArrayLiteral("#JSGF V1.0;\ngrammar ") + name + ";\npublic <command> = "
        + alternatives.join(QLatin1String(" | ")).toLatin1() + ";\n";
}

// As ps_set_jsgf_string(), which loses the parsed grammar each time.
bool addGrammarSearch(ps_decoder_t *decoder, const char *name, const QByteArray &text)
{
    jsgf_t *jsgf = jsgf_parse_string(text.constData(), nullptr);
    if (!jsgf)
        return false;
    bool added = false;
    if (jsgf_rule_t *rule = jsgf_get_public_rule(jsgf)) {
        const float language = cmd_ln_float32_r(ps_get_config(decoder), "-lw");
        if (fsg_model_t *fsg = jsgf_build_fsg(jsgf, rule, ps_get_logmath(decoder), language)) {
            added = ps_set_fsg(decoder, name, fsg) == 0;
            fsg_model_free(fsg);
        }
    }
    jsgf_grammar_free(jsgf);
    return added;
}

void addSearches(ps_decoder_t *decoder)
{
    QStringList home;
    addSpoken(HomeWords, home);
    QStringList navigation;
    addSpoken(NavigationWords, navigation);
    QStringList events = navigation;
    addSpoken(EventsExtraWords, events);
    const QPair<const char *, QStringList> searches[] = {
        {"home", home},
        {"navigation", navigation},
        {"events", events},
    };
    for (const auto &search : searches) {
        if (!addGrammarSearch(decoder, search.first, grammar(search.first, search.second)))
            qWarning() << "voice recogniser: no search" << search.first << "- the whole vocabulary is used";
    }
}

// Caller holds the lock; the decoder is between utterances.
void switchSearch(Recogniser &r)
{
    if (ps_set_search(r.decoder, r.wanted.constData()) < 0)
        qWarning() << "voice recogniser: cannot switch to search" << r.wanted;
    else
        qDebug() << "voice recogniser: search" << r.wanted;
    r.active = r.wanted;
}

// Runs on the streaming thread before each piece of audio is decoded: a new
// search takes over between utterances, or at once while nothing but silence
// has been heard in the current one. Until then the old search decodes; it
// knows every screen's words, and the new screen's table judges them.
GstPadProbeReturn beforeDecoding(GstPad *, GstPadProbeInfo *, gpointer)
{
    Recogniser &r = recogniser();
    std::lock_guard<std::mutex> locker(r.lock);
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
    // The element opens an utterance for any audio it gets.
    r.utteranceOpen = true;
    return GST_PAD_PROBE_OK;
}

// Nobody watches the bus: everything is handled here, on the thread that
// posts it, and dropped so that nothing piles up.
GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT: {
        const GstStructure *structure = gst_message_get_structure(message);
        gboolean final = FALSE;
        if (!structure || !gst_structure_has_name(structure, "pocketsphinx")
            || !gst_structure_get_boolean(structure, "final", &final) || !final)
            break;
        {
            Recogniser &r = recogniser();
            std::lock_guard<std::mutex> locker(r.lock);
            r.utteranceOpen = false;
        }
        QByteArray hypothesis = gst_structure_get_string(structure, "hypothesis");
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
        break;
    }
    case GST_MESSAGE_EOS:
        qDebug() << "voice input ended";
        break;
    default:
        break;
    }
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
        qDebug().noquote() << "pocketsphinx:" << message;
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
        r.active.clear();
        r.utteranceOpen = false;
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
    if (r.decoder)
        ps_free(r.decoder);
    r.decoder = nullptr;
    r.active.clear();
    r.utteranceOpen = false;
}

void selectVoiceRegnSearch(const char *name)
{
    Recogniser &r = recogniser();
    std::lock_guard<std::mutex> locker(r.lock);
    r.wanted = name;
}

} // extern "C"
