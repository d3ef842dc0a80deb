// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvserviceaction.h"
#include "hvserviceaction_p.h"

#include <QtCore/QMutexLocker>

namespace Halvane {

HVServiceActionPrivate::HVServiceActionPrivate()
    : manager(HVItemManager::instance())
{
}

HVServiceActionPrivate::~HVServiceActionPrivate() = default;

HVServiceAction::HVServiceAction(QObject *parent)
    : HVServiceAction(new HVServiceActionPrivate, parent)
{
}

HVServiceAction::HVServiceAction(HVServiceActionPrivate *dd, QObject *parent)
    : QObject(parent)
    , d(dd)
{
}

HVServiceAction::~HVServiceAction()
{
    // Every type: a started action must not stay queued once it is gone.
    if (d && d->manager)
        d->manager->actionDeleted(this);
    delete d;
}

HVServiceAction::Type HVServiceAction::actionType() const
{
    if (!d)
        return NoActionType;
    QMutexLocker locker(&d->mutex);
    return d->type;
}

HVServiceAction::Status HVServiceAction::status() const
{
    if (!d)
        return NoError;
    QMutexLocker locker(&d->mutex);
    return d->status;
}

HVServiceAction::Activity HVServiceAction::activity() const
{
    if (!d)
        return Idle;
    QMutexLocker locker(&d->mutex);
    return d->activity;
}

bool HVServiceAction::start()
{
    if (!d)
        return false;
    d->mutex.lock();
    HVItemManager *manager = d->manager;
    if (manager && d->activity != Running) {
        d->mutex.unlock();
        return manager->startAction(this);
    }
    d->mutex.unlock();
    return false;
}

bool HVServiceAction::cancel()
{
    if (!d)
        return false;
    d->mutex.lock();
    const Activity current = d->activity;
    HVItemManager *manager = d->manager;
    d->mutex.unlock();
    if (current == Running && manager)
        return manager->cancelAction(this);
    return false;
}

} // namespace Halvane
