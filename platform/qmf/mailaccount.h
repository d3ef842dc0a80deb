#ifndef MAILACCOUNT_H
#define MAILACCOUNT_H

#include <QtCore/QString>

/*
 * The IMAP account of the settings file's "mail/" group: host, port, user,
 * password and encryption ("none", "ssl" or "starttls"). Read anew for every
 * use, so that edits take effect at once.
 */
struct MailAccount
{
    enum Encryption { NoEncryption, Ssl, StartTls };

    QString host;
    quint16 port = 0;
    QString user;
    QString password;
    Encryption encryption = NoEncryption;

    // "user@host:port": which server a stored message came from.
    QString id() const;

    // The configured account; an empty host with problem set when there is
    // none or it cannot be used.
    static MailAccount configured(QString *problem);
};

#endif // MAILACCOUNT_H
