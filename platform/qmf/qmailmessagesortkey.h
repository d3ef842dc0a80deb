// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGESORTKEY_H
#define QMAILMESSAGESORTKEY_H

#include <QtCore/QList>
#include <QtCore/QPair>

#include "halvaneqmf_export.h"
#include "qmailmessagemetadata.h"

/*
 * The order of a query's answer: properties compared in turn. The default key
 * keeps the store's order, which is by id, that is, by when the store first
 * saw the message.
 */
class HALVANEQMF_EXPORT QMailMessageSortKey
{
public:
    enum Property { Id, ReceptionTimeStamp };

    QMailMessageSortKey() = default;

    static QMailMessageSortKey id(Qt::SortOrder order = Qt::AscendingOrder);
    static QMailMessageSortKey receptionTimeStamp(Qt::SortOrder order = Qt::AscendingOrder);

    // This key, then other for what this one leaves equal.
    QMailMessageSortKey operator&(const QMailMessageSortKey &other) const;

    bool isEmpty() const { return m_arguments.isEmpty(); }
    // Whether a goes before b; ids decide what the key leaves equal.
    bool lessThan(const QMailMessageMetaData &a, const QMailMessageMetaData &b) const;

private:
    QList<QPair<Property, Qt::SortOrder>> m_arguments;
};

#endif // QMAILMESSAGESORTKEY_H
