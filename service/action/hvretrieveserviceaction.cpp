// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvretrieveserviceaction.h"
#include "hvretrieveserviceaction_p.h"

#include "hvglobal.h"

#include <QtCore/QMutexLocker>

namespace Halvane {

HVRetrieveServiceActionPrivate::HVRetrieveServiceActionPrivate()
{
    type = HVServiceAction::RetrieveAction;
    // Whole calendar days, so a day with a daylight-saving change is still one
    // day; from its first moment, where the clocks skip midnight (Santiago,
    // Havana), 00:00 being no time then.
    const QDate today = QDate::currentDate();
    fromDateTime = dayStart(today);
    toDateTime = dayStart(today.addDays(1));
}

HVRetrieveServiceAction::HVRetrieveServiceAction(QObject *parent)
    : HVServiceAction(new HVRetrieveServiceActionPrivate, parent)
{
}

// The base destructor takes the action out of the item manager's queue.
HVRetrieveServiceAction::~HVRetrieveServiceAction() = default;

QDateTime HVRetrieveServiceAction::fromDateTime() const
{
    Q_D(const HVRetrieveServiceAction);
    return d->fromDateTime;
}

QDateTime HVRetrieveServiceAction::toDateTime() const
{
    Q_D(const HVRetrieveServiceAction);
    return d->toDateTime;
}

void HVRetrieveServiceAction::setFromDateTime(const QDateTime &fromDateTime)
{
    Q_D(HVRetrieveServiceAction);
    d->fromDateTime = fromDateTime;
}

void HVRetrieveServiceAction::setToDateTime(const QDateTime &toDateTime)
{
    Q_D(HVRetrieveServiceAction);
    d->toDateTime = toDateTime;
}

QList<HVItem> HVRetrieveServiceAction::items() const
{
    Q_D(const HVRetrieveServiceAction);
    QMutexLocker locker(&d->mutex);
    return d->items;
}

} // namespace Halvane
