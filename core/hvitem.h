// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEM_H
#define HVITEM_H

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QSharedDataPointer>
#include <QtCore/QString>
#include <QtCore/QVariant>

#include "hvitemdetail.h"
#include "hvitemid.h"

namespace Halvane {

class HVItemPrivate;

/*!
 * One record of the day overview: a weather forecast, a calendar entry, a message
 * or a feed message. Records are implicitly shared values. Two records are equal
 * exactly when their ids are equal; the models find rows that way.
 *
 * The typed views (HVWeather, HVEvent, HVMessage, HVFeed) add no data of their own:
 * every value lives in the record, so a view can be stored as an HVItem and viewed
 * again without losing anything.
 */
class HALVANECORE_EXPORT HVItem
{
public:
    HVItem();
    explicit HVItem(const QString &type);
    // Views a record as the given type, keeping all its values.
    HVItem(const HVItem &other, const QString &type);
    HVItem(const HVItem &other);
    HVItem(HVItem &&other) noexcept;
    ~HVItem();
    HVItem &operator=(const HVItem &other);
    HVItem &operator=(HVItem &&other) noexcept;

    QString type() const;

    HVItemId id() const;
    void setId(const HVItemId &id);

    QDateTime dateTime() const;
    void setDateTime(const QDateTime &dateTime);

    QString description() const;
    void setDescription(const QString &description);

    QString displayLabel() const;
    void setDisplayLabel(const QString &displayLabel);

    // Generic storage behind the typed views.
    QVariant value(const QString &field) const;
    void setValue(const QString &field, const QVariant &value);
    QList<HVItemDetail> details(const QString &name) const;
    void setDetails(const QString &name, const QList<HVItemDetail> &details);

    bool operator==(const HVItem &other) const;
    bool operator!=(const HVItem &other) const { return !operator==(other); }

private:
    QSharedDataPointer<HVItemPrivate> d;
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVItem, Q_MOVABLE_TYPE);
// The _IMPL form stringizes the type unexpanded, so the meta-type is named
// "HALVANE_NAMESPACE::HVItem" (and its list "QList<HALVANE_NAMESPACE::HVItem>").
Q_DECLARE_METATYPE_IMPL(HALVANE_NAMESPACE::HVItem)

#endif // HVITEM_H
