// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVCALL_H
#define HVCALL_H

#include <QtContacts/QContact>
#include <QtCore/QObject>

#include "halvanecall_export.h"

class HVCallService;

/*!
 * Calls back the sender of an item: dials a phone number, or finds the contact
 * behind an e-mail address and dials its number; when the contact has several
 * numbers, opens the contact's card so that the user chooses.
 *
 * Calls go to oFono, or to ModemManager where oFono does not run, on the
 * system bus; the call is placed before makeCall() returns. The card opens
 * through a session-bus call configured in the settings group "contacts"
 * (see the README).
 */
class HALVANECALL_EXPORT HVCall : public QObject
{
    Q_OBJECT

public:
    explicit HVCall(QObject *parent = nullptr);
    ~HVCall() override;

    // Asks the call service for a cellular call; the number goes on unchanged.
    void makeCall(const QString &number);
    // The first contact with this e-mail address, or an empty contact.
    QtContacts::QContact findContactByEmail(const QString &email);
    void openContactDetails(const QtContacts::QContact &contact);

Q_SIGNALS:
    // No call went out to number: not a phone number, no modem, the modem
    // refused it; or (number empty) nothing to call, no contact with the
    // address, or the contact has no number.
    void callFailed(const QString &number, const QString &reason);

public Q_SLOTS:
    // detailType "phone" or "email", exactly.
    void makeCall(QString detailType, QString detail);
    void makeCall(QtContacts::QContact contact);

private:
    HVCallService *m_callService;
};

#endif // HVCALL_H
