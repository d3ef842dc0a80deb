// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "mailpassword.h"

#include <QtCore/QFile>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include <qt5keychain/keychain.h>

#include "hvsettings.h"

namespace {

const char FileKey[] = "mail/password";

QString storeKey(const MailAccount &account)
{
    return account.user + QLatin1Char('@') + account.host;
}

// Hands the ended job to done, or nullptr when the store gave no answer within
// seconds. The job deletes itself once it ends, so a late answer from the
// store finds it still there.
void run(QKeychain::Job *job, int seconds, QObject *context, std::function<void(QKeychain::Job *)> done)
{
    auto *timer = new QTimer(context);
    timer->setSingleShot(true);
    QPointer<QKeychain::Job> watched(job);
    QObject::connect(job, &QKeychain::Job::finished, timer, [timer, done](QKeychain::Job *ended) {
        timer->stop();
        timer->deleteLater();
        done(ended);
    });
    QObject::connect(timer, &QTimer::timeout, timer, [timer, watched, done] {
        if (watched)
            QObject::disconnect(watched, nullptr, timer, nullptr);
        timer->deleteLater();
        done(nullptr);
    });
    job->setAutoDelete(true);
    timer->start(seconds * 1000);
    job->start();
}

QString unusable(const QKeychain::Job *job, const MailAccount &account)
{
    const QString reason =
        job ? job->errorString() : QStringLiteral("no answer within %1 s").arg(account.timeout);
    return QStringLiteral("no secret store answers (%1): the mail password is kept in the session's secret store "
                          "(GNOME Keyring or KWallet); start one, or set mail/password-in-file=true in %2 "
                          "to keep the password in that file")
        .arg(reason, account.settingsFile);
}

// Removes the copy in the settings file, unless it changed meanwhile.
void removeFromFile(const QString &password)
{
    Halvane::HVSettings settings;
    if (!settings.contains(QLatin1String(FileKey))
        || (!password.isNull() && settings.value(QLatin1String(FileKey)).toString() != password))
        return;
    settings.remove(QLatin1String(FileKey));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qWarning("MailPassword: cannot remove mail/password from %s; remove it there by hand",
                 qPrintable(settings.fileName()));
}

} // namespace

QString MailPassword::service()
{
    return QStringLiteral("halvane-mail");
}

void MailPassword::read(const MailAccount &account, QObject *context, ReadCallback done)
{
    if (!account.password.isEmpty() && account.passwordInFile) {
        const QString password = account.password;
        QTimer::singleShot(0, context, [password, done] { done(password, QString()); });
        return;
    }
    if (!account.password.isEmpty()) {
        // Still in the file: moved to the store once, then read from there.
        auto *job = new QKeychain::WritePasswordJob(service());
        job->setKey(storeKey(account));
        job->setTextData(account.password);
        run(job, account.timeout, context, [account, done](QKeychain::Job *job) {
            if (!job || job->error() != QKeychain::NoError) {
                done(QString(), unusable(job, account));
                return;
            }
            removeFromFile(account.password);
            qInfo("MailPassword: the password of %s was moved from %s to the session's secret store",
                  qPrintable(storeKey(account)), qPrintable(account.settingsFile));
            done(account.password, QString());
        });
        return;
    }
    auto *job = new QKeychain::ReadPasswordJob(service());
    job->setKey(storeKey(account));
    run(job, account.timeout, context, [account, done](QKeychain::Job *job) {
        if (job && job->error() == QKeychain::NoError) {
            done(static_cast<QKeychain::ReadPasswordJob *>(job)->textData(), QString());
        } else if (job && job->error() == QKeychain::EntryNotFound) {
            done(QString(), QStringLiteral("the secret store holds no password for %1; set it with "
                                           "\"halvane-mail set-password\"")
                                .arg(storeKey(account)));
        } else {
            done(QString(), unusable(job, account));
        }
    });
}

void MailPassword::write(const MailAccount &account, const QString &password, QObject *context, WriteCallback done)
{
    auto *job = new QKeychain::WritePasswordJob(service());
    job->setKey(storeKey(account));
    job->setTextData(password);
    run(job, account.timeout, context, [account, password, done](QKeychain::Job *job) {
        if (job && job->error() == QKeychain::NoError) {
            // An old copy in the file would be moved over this one.
            removeFromFile(QString());
            done(QStringLiteral("the password of %1 is in the session's secret store").arg(storeKey(account)),
                 QString());
            return;
        }
        if (!account.passwordInFile) {
            done(QString(), unusable(job, account));
            return;
        }
        Halvane::HVSettings settings;
        settings.setValue(QLatin1String(FileKey), password);
        settings.sync();
        // A password in it makes the file the user's alone (Qt's later
        // writes of it keep these permissions).
        if (settings.status() != QSettings::NoError
            || !QFile::setPermissions(settings.fileName(), QFile::ReadOwner | QFile::WriteOwner)) {
            done(QString(), QStringLiteral("cannot write %1").arg(settings.fileName()));
            return;
        }
        done(QStringLiteral("no secret store answers (%1); the password of %2 is kept in %3, "
                            "as mail/password-in-file asks")
                 .arg(job ? job->errorString() : QStringLiteral("no answer within %1 s").arg(account.timeout),
                      storeKey(account), settings.fileName()),
             QString());
    });
}
