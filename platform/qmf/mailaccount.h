// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MAILACCOUNT_H
#define MAILACCOUNT_H

#include <QtCore/QString>

#include "halvaneqmf_export.h"

/*
 * The IMAP account of the settings file's "mail/" group: host, port, user,
 * encryption ("none", "ssl" or "starttls") and timeout (seconds without an
 * answer before the server or the secret store counts as unreachable). Read
 * anew for every use, so that edits take effect at once. The password lives
 * in the session's secret store (MailPassword); password holds only one
 * still written in the file.
 */
struct HALVANEQMF_EXPORT MailAccount
{
    enum Encryption { NoEncryption, Ssl, StartTls };

    QString host;
    quint16 port = 0;
    QString user;
    QString password;
    Encryption encryption = NoEncryption;
    int timeout = 30;
    // "mail/password-in-file": the person allows the password in the file.
    bool passwordInFile = false;
    QString settingsFile;

    // "user@host:port": which server a stored message came from.
    QString id() const;

    // The configured account; an empty host with problem set when there is
    // none or it cannot be used.
    static MailAccount configured(QString *problem);
    // Whether the settings name an account at all, usable or not.
    static bool exists();
};

#endif // MAILACCOUNT_H
