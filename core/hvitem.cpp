// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitem.h"
#include "hvitem_p.h"

namespace Halvane {

HVItem::HVItem()
    : d(new HVItemPrivate)
{
}

HVItem::HVItem(const QString &type)
    : d(new HVItemPrivate)
{
    d->type = type;
}

HVItem::HVItem(const HVItem &other, const QString &type)
    : d(other.d)
{
    // Reading through constData() keeps the shared copy when the type is unchanged.
    if (d.constData()->type != type)
        d->type = type;
}

HVItem::HVItem(const HVItem &other) = default;
HVItem::HVItem(HVItem &&other) noexcept = default;
HVItem::~HVItem() = default;
HVItem &HVItem::operator=(const HVItem &other) = default;
HVItem &HVItem::operator=(HVItem &&other) noexcept = default;

QString HVItem::type() const
{
    return d->type;
}

HVItemId HVItem::id() const
{
    return d->id;
}

void HVItem::setId(const HVItemId &id)
{
    d->id = id;
}

QDateTime HVItem::dateTime() const
{
    return d->dateTime;
}

void HVItem::setDateTime(const QDateTime &dateTime)
{
    d->dateTime = dateTime;
}

QString HVItem::description() const
{
    return d->description;
}

void HVItem::setDescription(const QString &description)
{
    d->description = description;
}

QString HVItem::displayLabel() const
{
    return d->displayLabel;
}

void HVItem::setDisplayLabel(const QString &displayLabel)
{
    d->displayLabel = displayLabel;
}

QVariant HVItem::value(const QString &field) const
{
    return d->values.value(field);
}

void HVItem::setValue(const QString &field, const QVariant &value)
{
    d->values.insert(field, value);
}

QList<HVItemDetail> HVItem::details(const QString &name) const
{
    return d->details.value(name);
}

void HVItem::setDetails(const QString &name, const QList<HVItemDetail> &details)
{
    d->details.insert(name, details);
}

bool HVItem::operator==(const HVItem &other) const
{
    return d == other.d || d->id == other.d->id;
}

} // namespace Halvane
