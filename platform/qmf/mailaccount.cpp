// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mailaccount.h"

#include "hvglobal.h"
#include "hvsettings.h"

QString MailAccount::id() const
{
    return user + QLatin1Char('@') + host + QLatin1Char(':') + QString::number(port);
}

MailAccount MailAccount::configured(QString *problem)
{
    // The application's settings file, whoever reads it.
    Halvane::HVSettings settings;
    if (!Halvane::settingsFileIsSafe(settings.fileName(), problem))
        return MailAccount();
    settings.beginGroup(QStringLiteral("mail"));
    MailAccount account;
    account.settingsFile = settings.fileName();
    account.host = settings.value(QStringLiteral("host")).toString().trimmed();
    account.user = settings.value(QStringLiteral("user")).toString();
    account.password = settings.value(QStringLiteral("password")).toString();
    const QString encryption =
        settings.value(QStringLiteral("encryption"), QStringLiteral("none")).toString().trimmed().toLower();
    const QString port = settings.value(QStringLiteral("port")).toString().trimmed();
    const QString timeout = settings.value(QStringLiteral("timeout")).toString().trimmed();
    const QString inFile =
        settings.value(QStringLiteral("password-in-file")).toString().trimmed().toLower();

    if (account.host.isEmpty() || account.user.isEmpty()) {
        *problem = QStringLiteral("no mail account is configured (mail/host and mail/user in %1)")
                       .arg(settings.fileName());
        return MailAccount();
    }
    if (encryption == QLatin1String("ssl") || encryption == QLatin1String("tls")) {
        account.encryption = Ssl;
    } else if (encryption == QLatin1String("starttls")) {
        account.encryption = StartTls;
    } else if (encryption != QLatin1String("none")) {
        // Never fall back to sending the password in the clear.
        *problem = QStringLiteral("unknown mail/encryption \"%1\" (none, ssl or starttls)").arg(encryption);
        return MailAccount();
    }
    if (port.isEmpty()) {
        account.port = account.encryption == Ssl ? 993 : 143;
    } else {
        bool ok = false;
        const uint number = port.toUInt(&ok);
        if (!ok || number == 0 || number > 65535) {
            *problem = QStringLiteral("mail/port \"%1\" is no port number").arg(port);
            return MailAccount();
        }
        account.port = quint16(number);
    }
    if (!timeout.isEmpty()) {
        bool ok = false;
        account.timeout = timeout.toInt(&ok);
        if (!ok || account.timeout < 1 || account.timeout > 3600) {
            *problem = QStringLiteral("mail/timeout \"%1\" is not a number of seconds (1 to 3600)").arg(timeout);
            return MailAccount();
        }
    }
    if (inFile == QLatin1String("true") || inFile == QLatin1String("yes") || inFile == QLatin1String("1")) {
        account.passwordInFile = true;
    } else if (!inFile.isEmpty() && inFile != QLatin1String("false") && inFile != QLatin1String("no")
               && inFile != QLatin1String("0")) {
        *problem = QStringLiteral("mail/password-in-file \"%1\" is neither true nor false").arg(inFile);
        return MailAccount();
    }
    return account;
}

bool MailAccount::exists()
{
    Halvane::HVSettings settings;
    // A file that is not read still says something: the caller reports it.
    if (!Halvane::settingsFileIsSafe(settings.fileName()))
        return true;
    return !settings.value(QStringLiteral("mail/host")).toString().trimmed().isEmpty()
        || !settings.value(QStringLiteral("mail/user")).toString().isEmpty();
}
