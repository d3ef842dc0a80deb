// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILMESSAGEID_H
#define QMAILMESSAGEID_H

#include <QtCore/QDebug>
#include <QtCore/QList>
#include <QtCore/QMetaType>

#include "halvaneqmf_export.h"

/*
 * The store's id of a message: a 64-bit number that stays the same for the
 * life of the message file, in every process. 0 is no message.
 */
class HALVANEQMF_EXPORT QMailMessageId
{
public:
    QMailMessageId() = default;
    explicit QMailMessageId(quint64 value)
        : m_value(value)
    {
    }

    bool isValid() const { return m_value != 0; }
    quint64 toULongLong() const { return m_value; }

    bool operator==(const QMailMessageId &other) const { return m_value == other.m_value; }
    bool operator!=(const QMailMessageId &other) const { return m_value != other.m_value; }
    bool operator<(const QMailMessageId &other) const { return m_value < other.m_value; }

private:
    quint64 m_value = 0;
};

typedef QList<QMailMessageId> QMailMessageIdList;

inline uint qHash(const QMailMessageId &id, uint seed = 0)
{
    return qHash(id.toULongLong(), seed);
}

HALVANEQMF_EXPORT QDebug operator<<(QDebug debug, const QMailMessageId &id);

Q_DECLARE_TYPEINFO(QMailMessageId, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(QMailMessageId)
Q_DECLARE_METATYPE(QMailMessageIdList)

#endif // QMAILMESSAGEID_H
