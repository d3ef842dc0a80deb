// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef MAILPASSWORD_H
#define MAILPASSWORD_H

#include <QtCore/QString>

#include <functional>

#include "halvaneqmf_export.h"
#include "mailaccount.h"

QT_BEGIN_NAMESPACE
class QObject;
QT_END_NAMESPACE

/*
 * The password of the mail account, kept in the session's secret store (the
 * Secret Service of GNOME Keyring, or KWallet on Plasma) through QtKeychain,
 * under the service "halvane-mail" and the key "user@host".
 *
 * A password still found in the settings file ("mail/password") is moved to
 * the store the first time it is needed. Only where the settings say
 * "mail/password-in-file=true" does it stay in the file, and set-password
 * writes it there when no secret store answers.
 *
 * The store answers on the event loop; every call answers once, on the event
 * loop, within the account's timeout, even when the store never does. The
 * answer is dropped when context is gone by then.
 */
class HALVANEQMF_EXPORT MailPassword
{
public:
    // problem is empty when password is the account's.
    using ReadCallback = std::function<void(const QString &password, const QString &problem)>;
    // problem is empty on success; note says where the password went.
    using WriteCallback = std::function<void(const QString &note, const QString &problem)>;

    static void read(const MailAccount &account, QObject *context, ReadCallback done);
    static void write(const MailAccount &account, const QString &password, QObject *context, WriteCallback done);

    static QString service();
};

#endif // MAILPASSWORD_H
