#ifndef SMSRECORDER_H
#define SMSRECORDER_H

#include <QtCore/QObject>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

class QDBusServiceWatcher;

namespace CommHistory {
class HistoryWriter;
}

// Records every SMS that oFono receives, on any modem, in the communication
// history as a received message of the sender's conversation.
class SmsRecorder : public QObject
{
    Q_OBJECT

public:
    explicit SmsRecorder(const QDBusConnection &bus, QObject *parent = nullptr);
    ~SmsRecorder() override;

    // Subscribes to oFono's messages, whether oFono runs yet or not.
    bool start();
    QString errorString() const { return m_error; }

private Q_SLOTS:
    void incomingMessage(const QString &text, const QVariantMap &info, const QDBusMessage &message);
    void ofonoRegistered();
    void ofonoUnregistered();

private:
    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    CommHistory::HistoryWriter *m_writer = nullptr;
    QString m_error;
};

#endif // SMSRECORDER_H
