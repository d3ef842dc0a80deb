// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVTESTDOVECOT_H
#define HVTESTDOVECOT_H

#include <QtCore/QDateTime>
#include <QtCore/QProcess>
#include <QtCore/QString>
#include <QtCore/QTemporaryDir>

// Skips the test function where no Dovecot can be started here.
#define HVTEST_SKIP_WITHOUT_DOVECOT()                                                                                  \
    do {                                                                                                               \
        QString hvtestDovecotReason;                                                                                   \
        if (!HVTest::Dovecot::canRun(&hvtestDovecotReason))                                                            \
            QSKIP(qPrintable(hvtestDovecotReason));                                                                    \
    } while (false)

namespace HVTest {

/*
 * A Dovecot IMAP server on loopback for one test: a private configuration in
 * a temporary directory, one passwd-file user with a Maildir owned by an
 * unprivileged uid (Dovecot refuses uid 0), a free high port, no TLS. Dovecot
 * starts as root; without root canRun() says why not. The server stops when
 * the object goes, and also when the test process dies.
 */
class Dovecot
{
public:
    Dovecot();
    ~Dovecot();
    Dovecot(const Dovecot &) = delete;
    Dovecot &operator=(const Dovecot &) = delete;

    // Whether this process can start one; why not otherwise.
    static bool canRun(QString *reason);

    bool start();
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString errorString() const { return m_error; }
    // Its log so far.
    QString log() const;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString user() const { return QStringLiteral("ann"); }
    QString password() const { return m_password; }
    // Before start(): the user's password.
    void setPassword(const QString &password) { m_password = password; }
    // The id the mail store gives this account.
    QString accountId() const;
    // The user's Maildir, its INBOX.
    QString maildir() const;

    // Puts a message into the INBOX as a delivery agent would; the file time,
    // which Dovecot takes as the reception time, is received when valid.
    bool deliver(const QByteArray &message, const QDateTime &received = QDateTime());
    // Points the [mail] settings in configHome/halvane/halvane.conf at this
    // server; another password or port makes a bad account. The password is
    // kept in the file (mail/password-in-file).
    bool writeAccount(const QString &configHome, const QString &password = QString(), quint16 port = 0) const;

    // A loopback port nothing listens on just now.
    static quint16 freePort();

private:
    bool startOnce();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_password = QStringLiteral("secret");
    QString m_error;
    int m_delivered = 0;
};

} // namespace HVTest

#endif // HVTESTDOVECOT_H
