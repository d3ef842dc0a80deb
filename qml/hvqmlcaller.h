// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVQMLCALLER_H
#define HVQMLCALLER_H

#include <QtCore/QObject>

class HVCall;

namespace Halvane {

/*!
 * Calls back an item's sender from QML over HVCall: "phone" with a number,
 * "email" with an address whose contact is dialled. callFailed() says why
 * when no call could be placed (nothing to call, no contact, no modem).
 */
class HVQmlCaller : public QObject
{
    Q_OBJECT

public:
    explicit HVQmlCaller(QObject *parent = nullptr);
    ~HVQmlCaller() override;

    Q_INVOKABLE void makeCall(const QString &type, const QString &detail);

Q_SIGNALS:
    void callFailed(const QString &reason);

private:
    HVCall *call();

    HVCall *m_call = nullptr;
};

} // namespace Halvane

#endif // HVQMLCALLER_H
