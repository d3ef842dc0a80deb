// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVLOADMAIL_H
#define HVLOADMAIL_H

#include <QtCore/QDateTime>
#include <QtCore/QString>

// Received e-mails for the load profile, put into the message store the way
// halvane-mail import puts them: complete, incoming, with a reception time.
class HVLoadMail
{
public:
    // count messages, today of them received today, the rest on the 99 days
    // before; numbered from first on.
    bool fill(int count, int today, int first = 0);
    // One more message received at that time.
    bool add(const QString &subject, const QDateTime &received);
    QString errorString() const { return m_error; }

private:
    bool store(const QList<QByteArray> &texts, const QList<QDateTime> &received);

    QString m_error;
};

#endif // HVLOADMAIL_H
