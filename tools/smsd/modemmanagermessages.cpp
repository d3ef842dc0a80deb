// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "modemmanagermessages.h"

#include <QtCore/QDebug>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusServiceWatcher>

#include "telephonystack.h"

namespace {

const QString MessagingInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging");
const QString SmsInterface = QStringLiteral("org.freedesktop.ModemManager1.Sms");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString ObjectManagerInterface = QStringLiteral("org.freedesktop.DBus.ObjectManager");

// MMSmsState and MMSmsPduType.
constexpr uint StateReceiving = 2;
constexpr uint StateReceived = 3;
constexpr uint PduDeliver = 1;
constexpr uint PduCdmaDeliver = 32;

// The interface names of an a{sa{sv}} argument.
QStringList interfaceNames(const QDBusArgument &interfaces)
{
    QStringList names;
    interfaces.beginMap();
    while (!interfaces.atEnd()) {
        QString name;
        QVariantMap properties;
        interfaces.beginMapEntry();
        interfaces >> name >> properties;
        interfaces.endMapEntry();
        names.append(name);
    }
    interfaces.endMap();
    return names;
}

} // namespace

ModemManagerMessages::ModemManagerMessages(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
}

bool ModemManagerMessages::start(QString *error)
{
    const QString service = TelephonyStack::modemManagerService();
    // Bound to the service name, the subscriptions follow ModemManager as it restarts.
    const bool subscribed =
        m_bus.connect(service, QString(), MessagingInterface, QStringLiteral("Added"), this,
                      SLOT(messageAdded(QDBusObjectPath,bool,QDBusMessage)))
        && m_bus.connect(service, TelephonyStack::modemManagerPath(), ObjectManagerInterface,
                         QStringLiteral("InterfacesAdded"), this, SLOT(interfacesAdded(QDBusMessage)))
        && m_bus.connect(service, TelephonyStack::modemManagerPath(), ObjectManagerInterface,
                         QStringLiteral("InterfacesRemoved"), this, SLOT(interfacesRemoved(QDBusMessage)));
    if (!subscribed) {
        *error = QStringLiteral("cannot subscribe to ModemManager's messages: ") + m_bus.lastError().message();
        return false;
    }
    m_watcher = new QDBusServiceWatcher(service, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &ModemManagerMessages::serviceRegistered);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &ModemManagerMessages::serviceUnregistered);
    if (isRunning() && m_active)
        scanAll();
    return true;
}

bool ModemManagerMessages::isRunning() const
{
    return m_bus.interface() && m_bus.interface()->isServiceRegistered(TelephonyStack::modemManagerService());
}

void ModemManagerMessages::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (active && isRunning())
        scanAll();
}

void ModemManagerMessages::serviceRegistered()
{
    Q_EMIT status(QStringLiteral("ModemManager appeared"));
    if (m_active)
        scanAll();
}

void ModemManagerMessages::serviceUnregistered()
{
    Q_EMIT status(QStringLiteral("ModemManager went away; waiting for it"));
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
        qWarning() << "halvane-smsd: the message" << it.key() << "was still incomplete when ModemManager went away";
    const QStringList pending = m_pending.keys();
    for (const QString &sms : pending)
        forget(sms);
    // A new ModemManager numbers its objects afresh.
    m_done.clear();
}

void ModemManagerMessages::scanAll()
{
    const QDBusMessage reply = m_bus.call(QDBusMessage::createMethodCall(TelephonyStack::modemManagerService(),
                                                                         TelephonyStack::modemManagerPath(),
                                                                         ObjectManagerInterface,
                                                                         QStringLiteral("GetManagedObjects")));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qWarning() << "halvane-smsd: ModemManager does not list its modems:" << reply.errorMessage();
        return;
    }
    QStringList modems;
    const QDBusArgument objects = reply.arguments().first().value<QDBusArgument>();
    const QMap<QString, QStringList> interfacesByPath = TelephonyStack::managedInterfaces(objects);
    for (auto it = interfacesByPath.cbegin(); it != interfacesByPath.cend(); ++it) {
        if (it.value().contains(MessagingInterface))
            modems.append(it.key());
    }
    if (modems.isEmpty())
        Q_EMIT status(QStringLiteral("ModemManager has no modem with messaging yet"));
    for (const QString &modem : qAsConst(modems))
        scanModem(modem);
}

void ModemManagerMessages::scanModem(const QString &modem)
{
    // Whatever arrived while nobody listened is still on the modem.
    const QDBusMessage reply = m_bus.call(QDBusMessage::createMethodCall(TelephonyStack::modemManagerService(), modem,
                                                                         MessagingInterface, QStringLiteral("List")));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qWarning() << "halvane-smsd: the modem" << modem << "does not list its messages:" << reply.errorMessage();
        return;
    }
    const QList<QDBusObjectPath> messages = qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().first());
    for (const QDBusObjectPath &sms : messages)
        consider(sms.path(), modem);
    Q_EMIT status(QStringLiteral("modem %1 has %2 message(s)").arg(modem).arg(messages.size()));
}

void ModemManagerMessages::messageAdded(const QDBusObjectPath &path, bool received, const QDBusMessage &message)
{
    if (!m_active)
        return;
    if (!received)
        qDebug() << "halvane-smsd: message" << path.path() << "was not received from the network";
    consider(path.path(), message.path());
}

void ModemManagerMessages::interfacesAdded(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString path = arguments.at(0).value<QDBusObjectPath>().path();
    if (!interfaceNames(arguments.at(1).value<QDBusArgument>()).contains(MessagingInterface))
        return;
    Q_EMIT status(QStringLiteral("modem %1 appeared").arg(path));
    if (m_active)
        scanModem(path);
}

void ModemManagerMessages::interfacesRemoved(const QDBusMessage &message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const QString path = arguments.at(0).value<QDBusObjectPath>().path();
    const QStringList interfaces = qdbus_cast<QStringList>(arguments.at(1));
    if (!interfaces.contains(MessagingInterface))
        return;
    Q_EMIT status(QStringLiteral("modem %1 went away").arg(path));
    const QStringList pending = m_pending.keys(path);
    for (const QString &sms : pending) {
        qWarning() << "halvane-smsd: the message" << sms << "was still incomplete when its modem went away";
        forget(sms);
    }
}

void ModemManagerMessages::consider(const QString &sms, const QString &modem)
{
    // The same message announced again, or listed while it is being read.
    if (m_done.contains(sms) || m_pending.contains(sms))
        return;
    // Listen before reading, so that a completion between the two is not missed.
    m_bus.connect(TelephonyStack::modemManagerService(), sms, PropertiesInterface, QStringLiteral("PropertiesChanged"),
                  this, SLOT(smsChanged(QString,QVariantMap,QStringList,QDBusMessage)));
    m_pending.insert(sms, modem);
    read(sms);
}

void ModemManagerMessages::smsChanged(const QString &interface, const QVariantMap &changed, const QStringList &invalidated,
                                      const QDBusMessage &message)
{
    Q_UNUSED(invalidated)
    if (interface != SmsInterface || !m_pending.contains(message.path()))
        return;
    if (changed.contains(QStringLiteral("State")) && changed.value(QStringLiteral("State")).toUInt() == StateReceived)
        read(message.path());
}

void ModemManagerMessages::read(const QString &sms)
{
    // At once: a messaging app on the phone may delete it from the modem any moment.
    QDBusMessage getAll = QDBusMessage::createMethodCall(TelephonyStack::modemManagerService(), sms, PropertiesInterface,
                                                         QStringLiteral("GetAll"));
    getAll << SmsInterface;
    const QDBusMessage reply = m_bus.call(getAll);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qWarning() << "halvane-smsd: the message" << sms << "vanished before it could be read:" << reply.errorMessage();
        forget(sms);
        m_done.insert(sms);
        return;
    }
    const QVariantMap properties = qdbus_cast<QVariantMap>(reply.arguments().first());
    const uint pduType = properties.value(QStringLiteral("PduType")).toUInt();
    if (pduType != PduDeliver && pduType != PduCdmaDeliver) {
        qDebug() << "halvane-smsd: message" << sms << "is not a received one (PDU type" << pduType << ")";
        forget(sms);
        m_done.insert(sms);
        return;
    }
    const uint state = properties.value(QStringLiteral("State")).toUInt();
    if (state != StateReceived) {
        if (state == StateReceiving)
            Q_EMIT status(QStringLiteral("message %1 waits for its other parts").arg(sms));
        else
            qDebug() << "halvane-smsd: message" << sms << "is in state" << state << "; waiting until it is received";
        return;
    }

    forget(sms);
    m_done.insert(sms);
    const QString number = properties.value(QStringLiteral("Number")).toString().trimmed();
    const QString text = properties.value(QStringLiteral("Text")).toString();
    if (text.isEmpty()) {
        const QByteArray data = properties.value(QStringLiteral("Data")).toByteArray();
        if (!data.isEmpty()) {
            Q_EMIT status(QStringLiteral("skipped a binary message of %1 bytes from %2").arg(data.size()).arg(number));
            return;
        }
    }
    if (number.isEmpty()) {
        qWarning() << "halvane-smsd: skipped a message without sender:" << sms;
        return;
    }
    Q_EMIT received(number, text, properties.value(QStringLiteral("Timestamp")).toString(), sms);
}

void ModemManagerMessages::forget(const QString &sms)
{
    if (!m_pending.remove(sms))
        return;
    m_bus.disconnect(TelephonyStack::modemManagerService(), sms, PropertiesInterface, QStringLiteral("PropertiesChanged"),
                     this, SLOT(smsChanged(QString,QVariantMap,QStringList,QDBusMessage)));
}
