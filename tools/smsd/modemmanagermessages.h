// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef MODEMMANAGERMESSAGES_H
#define MODEMMANAGERMESSAGES_H

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>

class QDBusServiceWatcher;

// The SMS that ModemManager receives on any of its modems, each reported once,
// when it is complete. Messages already on a modem when it (or ModemManager)
// appears are reported too: the recorder tells them from recorded ones.
class ModemManagerMessages : public QObject
{
    Q_OBJECT

public:
    explicit ModemManagerMessages(const QDBusConnection &bus, QObject *parent = nullptr);

    // Subscribes, whether ModemManager runs yet or not.
    bool start(QString *error);
    bool isRunning() const;
    // While inactive (oFono speaks for the modem), messages are left alone.
    void setActive(bool active);

Q_SIGNALS:
    // timestamp as the network gave it (ISO 8601 with offset), possibly empty.
    void received(const QString &number, const QString &text, const QString &timestamp, const QString &smsPath);
    // A line for the log: modems and ModemManager coming and going.
    void status(const QString &line);

private Q_SLOTS:
    void messageAdded(const QDBusObjectPath &path, bool received, const QDBusMessage &message);
    void interfacesAdded(const QDBusMessage &message);
    void interfacesRemoved(const QDBusMessage &message);
    void smsChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated,
                    const QDBusMessage &message);
    void serviceRegistered();
    void serviceUnregistered();

private:
    void scanAll();
    void scanModem(const QString &modem);
    void consider(const QString &sms, const QString &modem);
    void read(const QString &sms);
    void forget(const QString &sms);

    QDBusConnection m_bus;
    QDBusServiceWatcher *m_watcher = nullptr;
    bool m_active = true;
    // Messages waiting for their last part, with their modem.
    QHash<QString, QString> m_pending;
    // Messages dealt with since ModemManager started: paths are not reused before.
    QSet<QString> m_done;
};

#endif // MODEMMANAGERMESSAGES_H
