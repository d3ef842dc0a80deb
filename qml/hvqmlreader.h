// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVQMLREADER_H
#define HVQMLREADER_H

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtQml/QQmlParserStatus>

namespace Halvane {

class HVSpeech;

/*!
 * The text-to-speech reader for QML, from the speech plug-in. Its state takes
 * the values Voice.readerState expects, so a view binds one to the other.
 * Without a speech plug-in it is unavailable and every call does nothing.
 */
class HVQmlReader : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(bool available READ isAvailable NOTIFY availableChanged)
    Q_PROPERTY(int state READ state NOTIFY stateChanged)
    Q_PROPERTY(bool mute READ isMuted WRITE setMuted NOTIFY muteChanged)
    // The espeak-ng voice in the settings file; empty for the reader's own.
    Q_PROPERTY(QString voice READ voice WRITE setVoice NOTIFY voiceChanged)
    Q_PROPERTY(QString pluginDirectory READ pluginDirectory WRITE setPluginDirectory NOTIFY pluginDirectoryChanged)

public:
    // The voice interface's reader states.
    enum State { On = 0, Off = 1, Started = 2, Paused = 3, Stopped = 4, ItemFirst = 5, ItemLast = 6 };
    Q_ENUM(State)

    explicit HVQmlReader(QObject *parent = nullptr);
    ~HVQmlReader() override;

    bool isAvailable() const;
    int state() const { return m_state; }
    bool isMuted() const { return m_muted; }
    void setMuted(bool muted);
    QString voice() const;
    void setVoice(const QString &voice);
    QString pluginDirectory() const { return m_pluginDirectory; }
    void setPluginDirectory(const QString &directory);

    Q_INVOKABLE void sayText(const QString &text);
    Q_INVOKABLE void sayCommand(const QString &text);
    Q_INVOKABLE void pause();
    Q_INVOKABLE void play();
    // The reader has no stop of its own: it pauses and forgets the text.
    Q_INVOKABLE void stop();

    void classBegin() override {}
    void componentComplete() override;

Q_SIGNALS:
    void availableChanged();
    void stateChanged();
    void muteChanged();
    void voiceChanged();
    void pluginDirectoryChanged();
    void speakingFinished();
    void startedWaveGenerating();
    void finishedWaveGenerating();
    void chunkSpeakStarted();
    void chunkSpeakFinished();

private:
    void setState(State state);
    // Makes the plug-in's next reading or prompt this reader's: another
    // reader's reading is cut off by it, and says so.
    void takeSpeech();

    QPointer<HVSpeech> m_speech;
    QString m_pluginDirectory = QStringLiteral("speech");
    int m_state = Off;
    bool m_muted = false;
    // Whether the plug-in's reading is this reader's: the plug-in is one per
    // process, and another Reader's reading is none of this one's business.
    bool m_reading = false;
};

} // namespace Halvane

#endif // HVQMLREADER_H
