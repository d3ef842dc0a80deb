// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "emailservicesource.h"
#include "email_debug.h"

#include <QtCore/QDebug>

#include "emailservice.h"
#include "hvglobal.h"
#include "hvitemid.h"
#include "qmailmessage.h"
#include "qmailmessagekey.h"
#include "qmailretrievalaction.h"
#include "qmailstore.h"

namespace Halvane {

namespace {

const char ManagerUri[] = "EmailsPlugin";
constexpr int LabelLength = 200;
// Containers nested deeper than this are no mail anybody wrote.
constexpr int MaxPartDepth = 8;

enum class TextKind { Plain, Html, Other };

TextKind textKind(const QMailMessageContentType &type)
{
    const QByteArray subType = type.subType().toLower();
    if (subType == "text" || subType == "plain")
        return TextKind::Plain;
    if (subType == "html")
        return TextKind::Html;
    return TextKind::Other;
}

// The first LabelLength characters, never half of a character outside the BMP.
QString label(const QString &plainText)
{
    if (plainText.size() <= LabelLength)
        return plainText;
    const int length = plainText.at(LabelLength - 1).isHighSurrogate() ? LabelLength - 1 : LabelLength;
    return plainText.left(length);
}

} // namespace

EmailServiceSource::EmailServiceSource(EmailService *service)
    : HVServiceSource(service)
    , service(service)
    , retrievalAction(new QMailRetrievalAction(this))
    , mailStore(QMailStore::instance())
{
    if (!mailStore) {
        qWarning() << "Email plugin: the message store is gone; no e-mail is reported";
        return;
    }
    connect(mailStore, SIGNAL(messagesUpdated(QMailMessageIdList)), this, SLOT(onMessagesUpdated(QMailMessageIdList)));
    connect(mailStore, SIGNAL(messagesAdded(QMailMessageIdList)), this, SLOT(onMessagesAdded(QMailMessageIdList)));
    connect(mailStore, SIGNAL(messagesRemoved(QMailMessageIdList)), this, SLOT(onMessagesRemoved(QMailMessageIdList)));
}

EmailServiceSource::~EmailServiceSource() = default;

bool EmailServiceSource::synchronize()
{
    Q_EMIT service->actionCompleted(true);
    return true;
}

QList<HVItem> EmailServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    return getItemListFromBackend(fromDateTime, toDateTime);
}

QList<HVItem> EmailServiceSource::getItemListFromBackend(const QDateTime &from, const QDateTime &to)
{
    qCDebug(HALVANE_EMAIL) << Q_FUNC_INFO << from << " " << to;
    retrievedFrom = from;
    retrievedTo = to;
    QList<HVItem> items;
    if (!mailStore)
        return items;

    const QMailMessageKey key = QMailMessageKey::receptionTimeStamp(from, QMailDataComparator::GreaterThanEqual)
        & QMailMessageKey::receptionTimeStamp(to, QMailDataComparator::LessThanEqual)
        & QMailMessageKey::status(QMailMessageMetaData::Incoming)
        & QMailMessageKey::messageType(QMailMessageMetaData::Email);
    const QMailMessageIdList ids = mailStore->queryMessages(key, QMailMessageSortKey(), 0, 0);

    QMailMessageIdList toFetch;
    for (const QMailMessageId &id : ids) {
        bool noBody = false;
        items.append(extractEmailMessage(id, noBody));
        if (noBody) {
            qCDebug(HALVANE_EMAIL) << "Email should be updated";
            toFetch.append(id);
        }
    }
    if (!toFetch.isEmpty())
        retrievalAction->retrieveMessages(toFetch, QMailRetrievalAction::ContentRetrieval);
    return items;
}

HVMessage EmailServiceSource::extractEmailMessage(QMailMessageId id, bool &noBody)
{
    qCDebug(HALVANE_EMAIL) << Q_FUNC_INFO;
    noBody = false;

    HVMessage item;
    item.setMessageType(HVMessage::Email);
    item.setId(HVItemId(QString::number(id.toULongLong()), QLatin1String(ManagerUri)));
    const QMailMessage message = mailStore ? mailStore->message(id) : QMailMessage();
    if (!message.id().isValid()) {
        // Gone from the store: the id is all a removal needs.
        noBody = true;
        return item;
    }

    // The bare address; a sender without one ("Mailer-Daemon", "Jürgen <>")
    // by what it does give, rather than nobody.
    const QMailAddress from = message.from();
    item.setFrom(from.address().isEmpty() ? from.name() : from.address());
    const QDateTime received = message.receivedDate().toLocalTime();
    item.setReceivedDateTime(received);
    item.setDateTime(received);
    item.setSubject(message.subject());

    QString plainText;
    QString htmlText;
    if (message.multipartType() == QMailMessagePartContainer::MultipartNone) {
        switch (textKind(message.contentType())) {
        case TextKind::Plain:
            plainText += message.body().data();
            break;
        case TextKind::Html:
            htmlText += message.body().data();
            break;
        case TextKind::Other:
            // A message that is one file (a scan, an invitation, an
            // encrypted message) has it as its attachment, once it is here.
            if (message.status() & QMailMessageMetaData::ContentAvailable)
                item.setAttachments({attachmentOf(message)});
            break;
        }
    } else {
        QList<HVItemMessageAttachment> attachments;
        collectParts(message, plainText, htmlText, attachments, 0);
        item.setAttachments(attachments);
    }

    if (!htmlText.isEmpty())
        item.setBody(htmlText);
    else if (!plainText.isEmpty())
        item.setBody(plainText);
    else
        noBody = true;
    item.setDisplayLabel(label(plainText));
    return item;
}

void EmailServiceSource::collectParts(const QMailMessagePartContainer &container, QString &plainText,
                                      QString &htmlText, QList<HVItemMessageAttachment> &attachments, int depth)
{
    for (int i = 0; i < container.partCount(); ++i) {
        const QMailMessagePart part = container.partAt(i);
        // A container among the parts (text and HTML beside an attachment)
        // holds the text; it is no attachment itself.
        if (part.multipartType() != QMailMessagePartContainer::MultipartNone) {
            if (depth < MaxPartDepth)
                collectParts(part, plainText, htmlText, attachments, depth + 1);
            else
                qWarning() << "Email plugin: parts nested too deeply are left out";
            continue;
        }
        const QMailMessageContentType type = part.contentType();
        // A text file sent along (a log, a saved page) is no part of the text.
        const QMailMessageContentDisposition disposition = part.contentDisposition();
        switch (disposition.isAttachment() ? TextKind::Other : textKind(type)) {
        case TextKind::Plain:
            plainText += part.body().data();
            break;
        case TextKind::Html:
            htmlText += part.body().data();
            break;
        case TextKind::Other:
            attachments.append(attachmentOf(part));
            break;
        }
    }
}

HVItemMessageAttachment EmailServiceSource::attachmentOf(const QMailMessagePartContainer &part)
{
    const QMailMessageContentType type = part.contentType();
    const QByteArray content = part.body().data(QMailMessageBody::Decoded);
    HVItemMessageAttachment attachment;
    attachment.setContent(content);
    attachment.setContentType(QString::fromLatin1(type.type() + '/' + type.subType()));
    // Without a name in the type, the name it is sent under.
    QString name = type.name();
    if (name.isEmpty())
        name = part.contentDisposition().filename();
    // A message forwarded whole comes without a name: mail programs show it
    // under its subject.
    if (name.isEmpty() && type.type().toLower() == "message" && type.subType().toLower() == "rfc822") {
        QString subject = Halvane::withoutControls(QMailMessage::fromRfc2822(content).subject()).simplified();
        subject.replace(QLatin1Char('/'), QLatin1Char('_'));
        name = (subject.isEmpty() ? QStringLiteral("message") : subject.left(100)) + QStringLiteral(".eml");
    }
    attachment.setFileName(name);
    attachment.setSize(content.size());
    return attachment;
}

QList<HVItem> EmailServiceSource::itemsOf(const QMailMessageIdList &ids)
{
    QList<HVItem> items;
    items.reserve(ids.size());
    for (const QMailMessageId &id : ids) {
        bool noBody = false;
        items.append(extractEmailMessage(id, noBody));
    }
    return items;
}

QMailMessageIdList EmailServiceSource::ofRetrievedRange(const QMailMessageIdList &ids) const
{
    // A sync of old mail, or a sent message, must not join the day's list.
    QMailMessageIdList held;
    for (const QMailMessageId &id : ids) {
        const QMailMessageMetaData data = mailStore ? mailStore->messageMetaData(id) : QMailMessageMetaData();
        const QDateTime received = data.receivedDate().toUTC();
        const bool inRange = !retrievedFrom.isValid() || (received >= retrievedFrom && received <= retrievedTo);
        if (data.id().isValid() && (data.status() & QMailMessageMetaData::Incoming)
            && data.messageType() == QMailMessageMetaData::Email && inRange)
            held.append(id);
    }
    return held;
}

void EmailServiceSource::onMessagesUpdated(const QMailMessageIdList &ids)
{
    Q_EMIT itemsChanged(itemsOf(ofRetrievedRange(ids)));
}

void EmailServiceSource::onMessagesAdded(const QMailMessageIdList &ids)
{
    Q_EMIT itemsAdded(itemsOf(ofRetrievedRange(ids)));
}

void EmailServiceSource::onMessagesRemoved(const QMailMessageIdList &ids)
{
    Q_EMIT itemsRemoved(itemsOf(ids));
}

} // namespace Halvane
