// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvloadmail.h"

#include "qmailmessage.h"
#include "qmailstore.h"
#include "qmailtimestamp.h"

namespace {

QByteArray messageText(const QString &subject, int n)
{
    return "From: Load Sender <sender" + QByteArray::number(n % 50) + "@example.org>\r\n"
           "To: me@example.org\r\n"
           "Subject: " + subject.toUtf8() + "\r\n"
           "Date: " + QDateTime::currentDateTimeUtc().toString(Qt::RFC2822Date).toLatin1() + "\r\n"
           "Message-ID: <load-" + QByteArray::number(n) + "@example.org>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n"
           "\r\n"
           "Body of " + subject.toUtf8() + ".\r\n";
}

} // namespace

bool HVLoadMail::store(const QList<QByteArray> &texts, const QList<QDateTime> &received)
{
    QMailStore *store = QMailStore::instance();
    if (!store || !store->isValid()) {
        m_error = QStringLiteral("the store cannot be opened in ") + QMailStore::storagePath();
        return false;
    }
    QList<QMailMessage> messages;
    messages.reserve(texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        QMailMessage message = QMailMessage::fromRfc2822(texts.at(i));
        message.setStatus(QMailMessageMetaData::Incoming | QMailMessageMetaData::ContentAvailable);
        message.setReceivedDate(QMailTimeStamp(received.at(i)));
        messages.append(message);
    }
    QList<QMailMessage *> pointers;
    for (QMailMessage &message : messages)
        pointers.append(&message);
    if (!store->addMessages(pointers)) {
        m_error = store->errorString();
        return false;
    }
    return true;
}

bool HVLoadMail::fill(int count, int today, int first)
{
    const int every = qMax(1, count / qMax(1, today));
    const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
    constexpr int Batch = 500;
    for (int start = first; start < first + count; start += Batch) {
        QList<QByteArray> texts;
        QList<QDateTime> received;
        for (int i = start; i < qMin(first + count, start + Batch); ++i) {
            const int daysBack = i % every == 0 ? 0 : 1 + i % 99;
            texts.append(messageText(QStringLiteral("Message %1").arg(i), i));
            received.append(midnight.addDays(-daysBack).addSecs((i * 7919) % qMax<qint64>(1, midnight.secsTo(QDateTime::currentDateTime()))));
        }
        if (!store(texts, received))
            return false;
    }
    return true;
}

bool HVLoadMail::add(const QString &subject, const QDateTime &received)
{
    static int next = 1000000;
    return store({messageText(subject, next++)}, {received});
}
