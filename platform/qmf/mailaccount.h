// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MAILACCOUNT_H
#define MAILACCOUNT_H

#include <QtCore/QString>

/*
 * The IMAP account of the settings file's "mail/" group: host, port, user,
 * password, encryption ("none", "ssl" or "starttls") and timeout (seconds
 * without an answer before the server counts as unreachable). Read anew for
 * every use, so that edits take effect at once.
 */
struct MailAccount
{
    enum Encryption { NoEncryption, Ssl, StartTls };

    QString host;
    quint16 port = 0;
    QString user;
    QString password;
    Encryption encryption = NoEncryption;
    int timeout = 30;

    // "user@host:port": which server a stored message came from.
    QString id() const;

    // The configured account; an empty host with problem set when there is
    // none or it cannot be used.
    static MailAccount configured(QString *problem);
};

#endif // MAILACCOUNT_H
