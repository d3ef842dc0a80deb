// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef TELEPHONYSTACK_H
#define TELEPHONYSTACK_H

#include <QtCore/QMap>
#include <QtCore/QString>
#include <QtCore/QStringList>

class QDBusArgument;
class QDBusConnection;

/*
 * The telephony service that drives the modem. Phones run either oFono or
 * ModemManager on the system bus; oFono goes first where both run. The key
 * "telephony/stack" of halvane.conf ("ofono", "modemmanager" or "auto")
 * overrides the choice.
 */
class TelephonyStack
{
public:
    enum Stack {
        None,
        Ofono,
        ModemManager
    };

    enum Setting {
        Auto,
        ForceOfono,
        ForceModemManager
    };

    static QString ofonoService();
    static QString modemManagerService();
    static QString modemManagerPath();

    // The setting as halvane.conf has it; a value it does not know is a warning and counts as Auto.
    static Setting setting();
    // The stack to use now: the forced one, or the one running on the bus.
    static Stack choose(const QDBusConnection &bus, Setting setting);
    static QString name(Stack stack);
    // The interface names of each object path in ModemManager's GetManagedObjects
    // answer (a{oa{sa{sv}}}), in path order.
    static QMap<QString, QStringList> managedInterfaces(const QDBusArgument &objects);
};

#endif // TELEPHONYSTACK_H
