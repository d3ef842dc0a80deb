// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagekey.h"

#include <QtCore/QSet>

// One node of a key's expression; immutable and shared between copies.
class QMailMessageKeyNode
{
public:
    enum Kind { All, Nothing, Id, IdList, Type, Status, Reception, Account, And, Or, Not };

    Kind kind = All;
    int comparator = 0;
    quint64 number = 0;
    qint64 time = 0;
    QString text;
    QSet<quint64> ids;
    QList<QSharedPointer<const QMailMessageKeyNode>> children;

    bool matches(const QMailMessageMetaData &data) const;
};

namespace {

using Node = QMailMessageKeyNode;
using NodePointer = QSharedPointer<const QMailMessageKeyNode>;

template <typename T>
bool equality(int comparator, const T &a, const T &b)
{
    return comparator == QMailDataComparator::Equal ? a == b : a != b;
}

bool relation(int comparator, qint64 value, qint64 bound)
{
    switch (comparator) {
    case QMailDataComparator::LessThan:
        return value < bound;
    case QMailDataComparator::LessThanEqual:
        return value <= bound;
    case QMailDataComparator::GreaterThan:
        return value > bound;
    case QMailDataComparator::GreaterThanEqual:
        return value >= bound;
    }
    return false;
}

NodePointer combine(Node::Kind kind, const NodePointer &a, const NodePointer &b)
{
    auto node = QSharedPointer<Node>::create();
    node->kind = kind;
    // Flatten chains of the same operator.
    for (const NodePointer &side : {a, b}) {
        if (side->kind == kind)
            node->children += side->children;
        else
            node->children.append(side);
    }
    return node;
}

} // namespace

bool QMailMessageKeyNode::matches(const QMailMessageMetaData &data) const
{
    switch (kind) {
    case All:
        return true;
    case Nothing:
        return false;
    case Id:
        return equality(comparator, data.id().toULongLong(), number);
    case IdList:
        return ids.contains(data.id().toULongLong()) == (comparator == QMailDataComparator::Includes);
    case Type:
        return equality(comparator, quint64(data.messageType()), number);
    case Status:
        return comparator == QMailDataComparator::Includes ? (data.status() & number) == number
                                                           : (data.status() & number) == 0;
    case Reception: {
        if (data.receivedDate().isNull())
            return false;
        const qint64 value = data.receivedDate().toUTC().toMSecsSinceEpoch();
        // Equality comparators are stored after the relations.
        if (comparator >= 100)
            return equality(comparator - 100, value, time);
        return relation(comparator, value, time);
    }
    case Account:
        return equality(comparator, data.account(), text);
    case And:
        for (const NodePointer &child : children) {
            if (!child->matches(data))
                return false;
        }
        return true;
    case Or:
        for (const NodePointer &child : children) {
            if (child->matches(data))
                return true;
        }
        return false;
    case Not:
        return !children.first()->matches(data);
    }
    return false;
}

QMailMessageKey::QMailMessageKey()
    : m_node(QSharedPointer<Node>::create())
{
}

QMailMessageKey::QMailMessageKey(const QSharedPointer<const QMailMessageKeyNode> &node)
    : m_node(node)
{
}

QMailMessageKey QMailMessageKey::nonMatchingKey()
{
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Nothing;
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::id(const QMailMessageId &id, QMailDataComparator::EqualityComparator cmp)
{
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Id;
    node->comparator = cmp;
    node->number = id.toULongLong();
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::id(const QMailMessageIdList &ids, QMailDataComparator::InclusionComparator cmp)
{
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::IdList;
    node->comparator = cmp;
    for (const QMailMessageId &id : ids)
        node->ids.insert(id.toULongLong());
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::messageType(QMailMessageMetaData::MessageType type,
                                             QMailDataComparator::EqualityComparator cmp)
{
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Type;
    node->comparator = cmp;
    node->number = quint64(type);
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::status(quint64 mask, QMailDataComparator::InclusionComparator cmp)
{
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Status;
    node->comparator = cmp;
    node->number = mask;
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::receptionTimeStamp(const QDateTime &timeStamp,
                                                    QMailDataComparator::EqualityComparator cmp)
{
    if (!timeStamp.isValid())
        return cmp == QMailDataComparator::Equal ? nonMatchingKey() : QMailMessageKey();
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Reception;
    node->comparator = 100 + cmp;
    node->time = timeStamp.toMSecsSinceEpoch();
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::receptionTimeStamp(const QDateTime &timeStamp,
                                                    QMailDataComparator::RelationComparator cmp)
{
    // No time is no bound a message could be within.
    if (!timeStamp.isValid())
        return nonMatchingKey();
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Reception;
    node->comparator = cmp;
    node->time = timeStamp.toMSecsSinceEpoch();
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::account(const QString &account, QMailDataComparator::EqualityComparator cmp)
{
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Account;
    node->comparator = cmp;
    node->text = account;
    return QMailMessageKey(node);
}

QMailMessageKey QMailMessageKey::operator&(const QMailMessageKey &other) const
{
    if (isEmpty())
        return other;
    if (other.isEmpty())
        return *this;
    return QMailMessageKey(combine(Node::And, m_node, other.m_node));
}

QMailMessageKey QMailMessageKey::operator|(const QMailMessageKey &other) const
{
    if (isEmpty() || other.isEmpty())
        return QMailMessageKey();
    return QMailMessageKey(combine(Node::Or, m_node, other.m_node));
}

QMailMessageKey QMailMessageKey::operator~() const
{
    if (isEmpty())
        return nonMatchingKey();
    if (isNonMatching())
        return QMailMessageKey();
    if (m_node->kind == Node::Not)
        return QMailMessageKey(m_node->children.first());
    auto node = QSharedPointer<Node>::create();
    node->kind = Node::Not;
    node->children.append(m_node);
    return QMailMessageKey(node);
}

QMailMessageKey &QMailMessageKey::operator&=(const QMailMessageKey &other)
{
    *this = *this & other;
    return *this;
}

QMailMessageKey &QMailMessageKey::operator|=(const QMailMessageKey &other)
{
    *this = *this | other;
    return *this;
}

bool QMailMessageKey::isEmpty() const
{
    return m_node->kind == Node::All;
}

bool QMailMessageKey::isNonMatching() const
{
    return m_node->kind == Node::Nothing;
}

bool QMailMessageKey::matches(const QMailMessageMetaData &metaData) const
{
    return m_node->matches(metaData);
}
