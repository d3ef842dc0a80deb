// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagesortkey.h"

#include <limits>

namespace {

// Messages without a time go first.
qint64 receptionKey(const QMailMessageMetaData &data)
{
    return data.receivedDate().isNull() ? std::numeric_limits<qint64>::min()
                                        : data.receivedDate().toUTC().toMSecsSinceEpoch();
}

int compare(QMailMessageSortKey::Property property, const QMailMessageMetaData &a, const QMailMessageMetaData &b)
{
    switch (property) {
    case QMailMessageSortKey::Id:
        return a.id() < b.id() ? -1 : (b.id() < a.id() ? 1 : 0);
    case QMailMessageSortKey::ReceptionTimeStamp: {
        const qint64 x = receptionKey(a);
        const qint64 y = receptionKey(b);
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    }
    return 0;
}

} // namespace

QMailMessageSortKey QMailMessageSortKey::id(Qt::SortOrder order)
{
    QMailMessageSortKey key;
    key.m_arguments.append({Id, order});
    return key;
}

QMailMessageSortKey QMailMessageSortKey::receptionTimeStamp(Qt::SortOrder order)
{
    QMailMessageSortKey key;
    key.m_arguments.append({ReceptionTimeStamp, order});
    return key;
}

QMailMessageSortKey QMailMessageSortKey::operator&(const QMailMessageSortKey &other) const
{
    QMailMessageSortKey key = *this;
    key.m_arguments += other.m_arguments;
    return key;
}

bool QMailMessageSortKey::lessThan(const QMailMessageMetaData &a, const QMailMessageMetaData &b) const
{
    for (const auto &argument : m_arguments) {
        const int result = compare(argument.first, a, b);
        if (result != 0)
            return argument.second == Qt::AscendingOrder ? result < 0 : result > 0;
    }
    return a.id() < b.id();
}
