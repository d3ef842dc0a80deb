// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVCALLSERVICE_H
#define HVCALLSERVICE_H

#include <QtCore/QObject>

class QDBusConnection;

/*
 * The phone's call service on the system bus: oFono, or ModemManager where
 * oFono does not run (the key "telephony/stack" overrides the choice). dial()
 * places a cellular call from the first modem that offers voice calls before
 * it returns, so that a caller that goes away at once still gets its call.
 * Every failure (no bus, no service, no modem, a refused dial) is a warning.
 */
class HVCallService : public QObject
{
    Q_OBJECT

public:
    explicit HVCallService(QObject *parent = nullptr);

    void dial(const QString &number);

Q_SIGNALS:
    // The call the service created, or the reason there is none.
    void dialed(const QString &number, const QString &callPath);
    void dialFailed(const QString &number, const QString &reason);

private:
    void dialOfono(QDBusConnection &bus, const QString &number);
    void dialModemManager(QDBusConnection &bus, const QString &number);
    void fail(const QString &number, const QString &reason);
};

#endif // HVCALLSERVICE_H
