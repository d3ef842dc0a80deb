// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGEKEY_H
#define QMAILMESSAGEKEY_H

#include <QtCore/QDateTime>
#include <QtCore/QSharedPointer>

#include "halvaneqmf_export.h"
#include "qmaildatacomparator.h"
#include "qmailmessageid.h"
#include "qmailmessagemetadata.h"

class QMailMessageKeyNode;

/*
 * Which messages a query answers: conditions on message properties, combined
 * with & (both), | (either) and ~ (not). The default key matches every message.
 */
class HALVANEQMF_EXPORT QMailMessageKey
{
public:
    QMailMessageKey();

    static QMailMessageKey nonMatchingKey();
    static QMailMessageKey id(const QMailMessageId &id,
                              QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailMessageKey id(const QMailMessageIdList &ids,
                              QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    static QMailMessageKey messageType(QMailMessageMetaData::MessageType type,
                                       QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    // Includes: every flag of mask is set; Excludes: none is.
    static QMailMessageKey status(quint64 mask,
                                  QMailDataComparator::InclusionComparator cmp = QMailDataComparator::Includes);
    // Compared to the millisecond; a message without reception time matches no comparison.
    static QMailMessageKey receptionTimeStamp(const QDateTime &timeStamp,
                                              QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);
    static QMailMessageKey receptionTimeStamp(const QDateTime &timeStamp, QMailDataComparator::RelationComparator cmp);
    static QMailMessageKey account(const QString &account,
                                   QMailDataComparator::EqualityComparator cmp = QMailDataComparator::Equal);

    QMailMessageKey operator&(const QMailMessageKey &other) const;
    QMailMessageKey operator|(const QMailMessageKey &other) const;
    QMailMessageKey operator~() const;
    QMailMessageKey &operator&=(const QMailMessageKey &other);
    QMailMessageKey &operator|=(const QMailMessageKey &other);

    // Whether it is the default key.
    bool isEmpty() const;
    bool isNonMatching() const;
    bool matches(const QMailMessageMetaData &metaData) const;

private:
    explicit QMailMessageKey(const QSharedPointer<const QMailMessageKeyNode> &node);

    QSharedPointer<const QMailMessageKeyNode> m_node;
};

#endif // QMAILMESSAGEKEY_H
