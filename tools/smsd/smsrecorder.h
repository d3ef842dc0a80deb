// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef SMSRECORDER_H
#define SMSRECORDER_H

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include "telephonystack.h"

class QDBusServiceWatcher;
class QTimer;
class ModemManagerMessages;

namespace CommHistory {
class HistoryWriter;
}

// Records every SMS that oFono or ModemManager receives, on any modem, in the
// communication history as a received message of the sender's conversation.
class SmsRecorder : public QObject
{
    Q_OBJECT

public:
    explicit SmsRecorder(const QDBusConnection &bus, QObject *parent = nullptr);
    ~SmsRecorder() override;

    // Subscribes to the messages of the chosen stack, whether it runs yet or not.
    bool start(TelephonyStack::Setting setting = TelephonyStack::Auto);
    QString errorString() const { return m_error; }

private Q_SLOTS:
    void incomingMessage(const QString &text, const QVariantMap &info, const QDBusMessage &message);
    void modemManagerMessage(const QString &number, const QString &text, const QString &timestamp, const QString &smsPath);
    void ofonoRegistered();
    void ofonoUnregistered();

private:
    bool startOfono();
    // Whether the history holds this received message already: ModemManager
    // keeps messages on the modem, and lists them again after a restart.
    bool isRecorded(const QString &sender, const QDateTime &sent, const QString &text);
    // Whether a message ModemManager keeps was recorded once, though the
    // user may have deleted it from the history since; and noting that it was.
    bool wasTakenFromModem(const QString &key);
    void noteTakenFromModem(const QString &key);
    void record(const QString &sender, const QString &text, const QDateTime &sent, const QString &origin);

    // A message the history could not take yet (another program held it
    // locked): the modem will not hand it over again, so it waits here.
    struct Received
    {
        QString sender;
        QString text;
        QDateTime sent;
        QDateTime arrived;
        QString origin;
        bool warned = false;
    };
    bool write(Received &message);
    void writeWaiting();

    QDBusConnection m_bus;
    TelephonyStack::Setting m_setting = TelephonyStack::Auto;
    QDBusServiceWatcher *m_watcher = nullptr;
    ModemManagerMessages *m_modemManager = nullptr;
    CommHistory::HistoryWriter *m_writer = nullptr;
    QString m_error;
    QStringList m_takenFromModem; // loaded on first use
    bool m_takenLoaded = false;
    QList<Received> m_waiting; // in the order they came
    QTimer *m_retry = nullptr;
};

#endif // SMSRECORDER_H
