// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "telephonystack.h"

#include <QtCore/QDebug>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusObjectPath>

#include "hvglobal.h"
#include "hvsettings.h"

QString TelephonyStack::ofonoService()
{
    return QStringLiteral("org.ofono");
}

QString TelephonyStack::modemManagerService()
{
    return QStringLiteral("org.freedesktop.ModemManager1");
}

QString TelephonyStack::modemManagerPath()
{
    return QStringLiteral("/org/freedesktop/ModemManager1");
}

TelephonyStack::Setting TelephonyStack::setting()
{
    Halvane::HVSettings settings;
    QString problem;
    if (!Halvane::settingsFileIsSafe(settings.fileName(), &problem)) {
        qWarning() << "telephony: settings refused, the stack is chosen by what runs:" << problem;
        return Auto;
    }
    const QString value = settings.value(QStringLiteral("telephony/stack")).toString().trimmed().toLower();
    if (value.isEmpty() || value == QLatin1String("auto"))
        return Auto;
    if (value == QLatin1String("ofono"))
        return ForceOfono;
    if (value == QLatin1String("modemmanager"))
        return ForceModemManager;
    qWarning() << "telephony: unknown telephony/stack" << value << "(ofono, modemmanager or auto); auto applies";
    return Auto;
}

TelephonyStack::Stack TelephonyStack::choose(const QDBusConnection &bus, Setting setting)
{
    if (setting == ForceOfono)
        return Ofono;
    if (setting == ForceModemManager)
        return ModemManager;
    QDBusConnectionInterface *names = bus.interface();
    if (!names)
        return None;
    if (names->isServiceRegistered(ofonoService()))
        return Ofono;
    if (names->isServiceRegistered(modemManagerService()))
        return ModemManager;
    return None;
}

QString TelephonyStack::name(Stack stack)
{
    switch (stack) {
    case Ofono:
        return QStringLiteral("oFono");
    case ModemManager:
        return QStringLiteral("ModemManager");
    case None:
        break;
    }
    return QStringLiteral("none");
}

QMap<QString, QStringList> TelephonyStack::managedInterfaces(const QDBusArgument &objects)
{
    QMap<QString, QStringList> interfacesByPath;
    objects.beginMap();
    while (!objects.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        objects.beginMapEntry();
        objects >> path >> interfaces;
        objects.endMapEntry();
        interfacesByPath.insert(path.path(), interfaces.keys());
    }
    objects.endMap();
    return interfacesByPath;
}
