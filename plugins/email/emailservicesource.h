// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef EMAILSERVICESOURCE_H
#define EMAILSERVICESOURCE_H

#include "hvmessage.h"
#include "hvservicesource.h"
#include "qmailmessageid.h"

class QMailMessagePartContainer;
class QMailRetrievalAction;
class QMailStore;

namespace Halvane {

class EmailService;

/*!
 * Received e-mail of the messaging store as message records, read from the
 * store on every request; nothing is kept in between. Messages without a
 * text body are reported at once and their content is requested; the store's
 * update notification then brings the completed record.
 */
class EmailServiceSource : public HVServiceSource
{
    Q_OBJECT

public:
    explicit EmailServiceSource(EmailService *service);
    ~EmailServiceSource() override;

    QList<HVItem> getItemListFromBackend(const QDateTime &from, const QDateTime &to);
    // noBody: neither an HTML nor a plain-text body was found.
    HVMessage extractEmailMessage(QMailMessageId id, bool &noBody);

public Q_SLOTS:
    bool synchronize() override;
    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override;
    void onMessagesUpdated(const QMailMessageIdList &ids);
    void onMessagesAdded(const QMailMessageIdList &ids);
    void onMessagesRemoved(const QMailMessageIdList &ids);

private:
    void collectParts(const QMailMessagePartContainer &container, QString &plainText, QString &htmlText,
                      QList<HVItemMessageAttachment> &attachments, int depth);
    static HVItemMessageAttachment attachmentOf(const QMailMessagePartContainer &part);
    QList<HVItem> itemsOf(const QMailMessageIdList &ids);
    QMailMessageIdList ofRetrievedRange(const QMailMessageIdList &ids) const;

    EmailService *service;
    QMailRetrievalAction *retrievalAction;
    QMailStore *mailStore;
    // What the last retrieval asked for: live additions keep to it.
    QDateTime retrievedFrom;
    QDateTime retrievedTo;
};

} // namespace Halvane

#endif // EMAILSERVICESOURCE_H
