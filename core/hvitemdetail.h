// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMDETAIL_H
#define HVITEMDETAIL_H

#include <QtCore/QMap>
#include <QtCore/QMetaType>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include "hvglobal.h"

namespace Halvane {

/*!
 * A named group of field values inside a record (an event's creator, one attachment).
 */
class HALVANECORE_EXPORT HVItemDetail
{
public:
    HVItemDetail() = default;
    explicit HVItemDetail(const QString &definitionName);

    QString definitionName() const { return m_definitionName; }

    void setValue(const QString &field, const QVariant &value);
    QVariant variantValue(const QString &field) const;
    QString value(const QString &field) const;
    bool hasValue(const QString &field) const;
    QVariantMap values() const { return m_values; }
    bool isEmpty() const { return m_values.isEmpty(); }

    bool operator==(const HVItemDetail &other) const;
    bool operator!=(const HVItemDetail &other) const { return !operator==(other); }

private:
    QString m_definitionName;
    QVariantMap m_values;
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVItemDetail, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(HALVANE_NAMESPACE::HVItemDetail)

#endif // HVITEMDETAIL_H
