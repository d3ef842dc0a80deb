// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlcaller.h"

#include <QtCore/QDebug>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>

#include "hvcall.h"

namespace Halvane {

namespace {

// A modem service on the system bus; without one no call can go out.
bool modemServiceRunning()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    for (const char *name : {"org.ofono", "org.freedesktop.ModemManager1"}) {
        if (bus.interface()->isServiceRegistered(QLatin1String(name)))
            return true;
    }
    return false;
}

} // namespace

HVQmlCaller::HVQmlCaller(QObject *parent)
    : QObject(parent)
{
}

HVQmlCaller::~HVQmlCaller()
{
    delete m_call;
}

HVCall *HVQmlCaller::call()
{
    if (!m_call) {
        m_call = new HVCall(nullptr);
        connect(m_call, &HVCall::callFailed, this, [this](const QString &number, const QString &reason) {
            if (number.isEmpty()) {
                //% "The contact has no phone number."
                Q_EMIT callFailed(qtTrId("hv_app_call_no_number"));
            } else {
                //% "%1 could not be called: %2."
                Q_EMIT callFailed(qtTrId("hv_app_call_failed").arg(number, reason));
            }
        });
    }
    return m_call;
}

void HVQmlCaller::makeCall(const QString &type, const QString &detail)
{
    if (detail.trimmed().isEmpty() || (type != QLatin1String("phone") && type != QLatin1String("email"))) {
        qWarning() << "Caller: nothing to call:" << type << detail;
        //% "There is no number or address to call."
        Q_EMIT callFailed(qtTrId("hv_app_call_nothing"));
        return;
    }
    if (!modemServiceRunning()) {
        qWarning() << "Caller: no modem service on the system bus";
        //% "Calls are not available: no modem was found."
        Q_EMIT callFailed(qtTrId("hv_app_call_no_modem"));
        return;
    }
    if (type == QLatin1String("phone")) {
        call()->makeCall(type, detail);
        return;
    }
    const QtContacts::QContact contact = call()->findContactByEmail(detail);
    if (contact.isEmpty()) {
        //% "No contact has the address %1."
        Q_EMIT callFailed(qtTrId("hv_app_call_no_contact").arg(detail));
        return;
    }
    call()->makeCall(contact);
}

} // namespace Halvane
