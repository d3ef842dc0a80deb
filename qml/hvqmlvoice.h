// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVQMLVOICE_H
#define HVQMLVOICE_H

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtQml/QQmlParserStatus>

namespace Halvane {

class HVVoice;

/*!
 * Voice control for QML: the voice plug-in's object, prepared and started
 * when the component is complete. Without a voice plug-in or when the
 * recogniser does not start (no microphone) it stays unavailable, with one
 * log line.
 */
class HVQmlVoice : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    Q_PROPERTY(bool available READ isAvailable NOTIFY availableChanged)
    Q_PROPERTY(bool listening READ isListening NOTIFY listeningChanged)
    // Voice control on or off; off stops the recogniser.
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY enabledChanged)
    // The sub-directory of the plug-ins directory searched for the voice plug-in.
    Q_PROPERTY(QString pluginDirectory READ pluginDirectory WRITE setPluginDirectory NOTIFY pluginDirectoryChanged)
    // The screen shown (Screen values); tells the recogniser which words count.
    Q_PROPERTY(int screen READ screen WRITE setScreen NOTIFY screenChanged)
    // The reader's state (Reader.state values).
    Q_PROPERTY(int readerState READ readerState WRITE setReaderState NOTIFY readerStateChanged)

public:
    enum Screen { HomeScreen = 0, WeatherScreen, MessagesScreen, EventsScreen, FeedsScreen };
    Q_ENUM(Screen)

    explicit HVQmlVoice(QObject *parent = nullptr);
    ~HVQmlVoice() override;

    bool isAvailable() const { return m_available; }
    bool isListening() const { return m_listening; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    QString pluginDirectory() const { return m_pluginDirectory; }
    void setPluginDirectory(const QString &directory);
    int screen() const { return m_screen; }
    void setScreen(int screen);
    int readerState() const { return m_readerState; }
    void setReaderState(int state);

    Q_INVOKABLE bool start();
    Q_INVOKABLE bool pause();
    Q_INVOKABLE void stop();

    void classBegin() override {}
    void componentComplete() override;

Q_SIGNALS:
    void availableChanged();
    void listeningChanged();
    void enabledChanged();
    void pluginDirectoryChanged();
    void screenChanged();
    void readerStateChanged();

    void commandMain();
    void commandMessages();
    void commandFeeds();
    void commandEvents();
    void commandWeather();
    void commandBack();
    void commandCommands();
    void commandHelp();
    void commandRead();
    void commandNext();
    void commandPrev();
    void commandPause();
    void commandStop();
    void commandContinue();
    void commandRepeat();
    void commandMore();
    void commandAttendees();
    void commandCall();

private Q_SLOTS:
    void updateListening();

private:
    void load();
    void onInitialized();
    void setAvailable(bool available);

    QPointer<HVVoice> m_voice;
    QString m_pluginDirectory = QStringLiteral("voice");
    bool m_complete = false;
    bool m_available = false;
    bool m_listening = false;
    bool m_enabled = true;
    bool m_initialized = false;
    int m_screen = HomeScreen;
    int m_readerState = 1; // off
};

} // namespace Halvane

#endif // HVQMLVOICE_H
