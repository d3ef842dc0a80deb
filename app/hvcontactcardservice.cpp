// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "hvcontactcardservice.h"

#include <QtCore/QDebug>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtQuick/QQuickWindow>

namespace {

const char ServiceName[] = "org.halvane.ContactCard";
const char ObjectPath[] = "/org/halvane/ContactCard";
const char InvalidCard[] = "org.halvane.ContactCard.Error.InvalidCard";

} // namespace

HVContactCardService::HVContactCardService(QQuickWindow *window, QObject *parent)
    : QObject(parent)
    , m_window(window)
{
}

HVContactCardService::~HVContactCardService()
{
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(QLatin1String(ServiceName));
    bus.unregisterObject(QLatin1String(ObjectPath));
}

bool HVContactCardService::registerOnBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qWarning() << "halvane: no session bus: contact cards cannot be shown";
        return false;
    }
    if (!bus.registerObject(QLatin1String(ObjectPath), this, QDBusConnection::ExportAllSlots)) {
        qWarning() << "halvane: cannot export" << ObjectPath << "on the session bus";
        return false;
    }
    if (!bus.registerService(QLatin1String(ServiceName))) {
        qWarning() << "halvane: another program shows contact cards (" << ServiceName
                   << "is taken):" << bus.lastError().message();
        bus.unregisterObject(QLatin1String(ObjectPath));
        return false;
    }
    m_registered = true;
    return true;
}

void HVContactCardService::Show(const QString &id, const QString &vcard)
{
    QVariant problem;
    if (!m_window
        || !QMetaObject::invokeMethod(m_window, "showContactCard", Q_RETURN_ARG(QVariant, problem),
                                      Q_ARG(QVariant, id), Q_ARG(QVariant, vcard))) {
        qWarning() << "halvane: the window cannot show contact cards";
        if (calledFromDBus())
            sendErrorReply(QDBusError::Failed, QStringLiteral("the window cannot show contact cards"));
        return;
    }
    if (!problem.toString().isEmpty()) {
        if (calledFromDBus())
            sendErrorReply(QLatin1String(InvalidCard), problem.toString());
        return;
    }
    // Activated or in the background: the card comes to the front.
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}
