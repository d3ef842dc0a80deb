// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVESPEAKPLAYER_H
#define HVESPEAKPLAYER_H

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QTimer>

typedef struct _GstElement GstElement;

namespace Halvane {

// Plays one piece of PCM at a time through a GStreamer pipeline:
// appsrc -> audioconvert -> audioresample -> volume -> sink. The sink is
// autoaudiosink unless HALVANE_SPEECH_SINK gives another description.
class HVEspeakPlayer : public QObject
{
    Q_OBJECT

public:
    explicit HVEspeakPlayer(QObject *parent = nullptr);
    ~HVEspeakPlayer() override;

    // Starts playing; finished() follows once the piece has been played
    // (or could not be: the reading must go on).
    void play(const QByteArray &pcm, int sampleRate);
    void pause();
    void resume();
    void stop();
    void setMuted(bool muted);
    bool isActive() const { return m_pipeline != nullptr; }

Q_SIGNALS:
    void finished();

private:
    void pollBus();
    void release();

    GstElement *m_pipeline = nullptr;
    QTimer m_busTimer;
    bool m_muted = false;
    bool m_paused = false;
};

} // namespace Halvane

#endif // HVESPEAKPLAYER_H
