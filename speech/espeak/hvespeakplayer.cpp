// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvespeakplayer.h"

#include <QtCore/QDebug>

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace Halvane {

HVEspeakPlayer::HVEspeakPlayer(QObject *parent)
    : QObject(parent)
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    // Polled rather than watched, so it works whatever event dispatcher Qt uses.
    m_busTimer.setInterval(10);
    connect(&m_busTimer, &QTimer::timeout, this, &HVEspeakPlayer::pollBus);
}

HVEspeakPlayer::~HVEspeakPlayer()
{
    release();
}

void HVEspeakPlayer::play(const QByteArray &pcm, int sampleRate)
{
    release();
    QByteArray sink = qgetenv("HALVANE_SPEECH_SINK");
    if (sink.isEmpty())
        sink = QByteArrayLiteral("autoaudiosink");
    const QByteArray description = QByteArrayLiteral("appsrc name=source format=time ! audioconvert ! audioresample"
                                                     " ! volume name=volume ! ")
        + sink;

    GError *error = nullptr;
    m_pipeline = gst_parse_launch(description.constData(), &error);
    if (!m_pipeline || error) {
        qWarning() << "speech output unavailable:" << (error ? error->message : "no pipeline") << description;
        if (error)
            g_error_free(error);
        release();
        QTimer::singleShot(0, this, &HVEspeakPlayer::finished);
        return;
    }

    GstElement *source = gst_bin_get_by_name(GST_BIN(m_pipeline), "source");
    GstCaps *caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT,
                                        qMax(sampleRate, 1), "channels", G_TYPE_INT, 1, "layout", G_TYPE_STRING,
                                        "interleaved", nullptr);
    gst_app_src_set_caps(GST_APP_SRC(source), caps);
    gst_caps_unref(caps);
    if (!pcm.isEmpty()) {
        GstBuffer *buffer = gst_buffer_new_allocate(nullptr, gsize(pcm.size()), nullptr);
        gst_buffer_fill(buffer, 0, pcm.constData(), gsize(pcm.size()));
        GST_BUFFER_PTS(buffer) = 0;
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(guint64(pcm.size() / 2), GST_SECOND, guint64(qMax(sampleRate, 1)));
        gst_app_src_push_buffer(GST_APP_SRC(source), buffer);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(source));
    gst_object_unref(source);

    setMuted(m_muted);
    if (gst_element_set_state(m_pipeline, m_paused ? GST_STATE_PAUSED : GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        qWarning() << "speech output could not start:" << description;
        release();
        QTimer::singleShot(0, this, &HVEspeakPlayer::finished);
        return;
    }
    m_busTimer.start();
}

void HVEspeakPlayer::pause()
{
    m_paused = true;
    if (m_pipeline)
        gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
}

void HVEspeakPlayer::resume()
{
    m_paused = false;
    if (m_pipeline)
        gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

void HVEspeakPlayer::stop()
{
    release();
}

void HVEspeakPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (!m_pipeline)
        return;
    if (GstElement *volume = gst_bin_get_by_name(GST_BIN(m_pipeline), "volume")) {
        g_object_set(volume, "mute", gboolean(muted), nullptr);
        gst_object_unref(volume);
    }
}

void HVEspeakPlayer::pollBus()
{
    if (!m_pipeline) {
        m_busTimer.stop();
        return;
    }
    GstBus *bus = gst_element_get_bus(m_pipeline);
    bool done = false;
    while (GstMessage *message = gst_bus_pop_filtered(bus, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
            GError *error = nullptr;
            gst_message_parse_error(message, &error, nullptr);
            qWarning() << "speech output failed:" << (error ? error->message : "unknown error");
            if (error)
                g_error_free(error);
        }
        gst_message_unref(message);
        done = true;
    }
    gst_object_unref(bus);
    if (done) {
        release();
        Q_EMIT finished();
    }
}

void HVEspeakPlayer::release()
{
    m_busTimer.stop();
    if (m_pipeline) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
        m_pipeline = nullptr;
    }
}

} // namespace Halvane
