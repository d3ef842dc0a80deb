// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemmanager.h"
#include "hvitemmanager_p.h"

#include <QtCore/QDebug>
#include <QtCore/QMutexLocker>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include "hvglobalstatic_p.h"
#include "hvretrieveserviceaction.h"
#include "hvretrieveserviceaction_p.h"
#include "hvservicehandler.h"

namespace Halvane {

static void registerItemListMetaType()
{
    qRegisterMetaType<QList<HVItem>>("QList<HALVANE_NAMESPACE::HVItem>");
    // The name the signal signatures use, for queued connections.
    qRegisterMetaType<QList<HVItem>>("QList<HVItem>");
}
Q_CONSTRUCTOR_FUNCTION(registerItemListMetaType)

HVItemManagerPrivate::HVItemManagerPrivate()
    : handler(new HVServiceHandler(nullptr))
{
}

HVItemManagerPrivate::~HVItemManagerPrivate()
{
    delete handler;
}

HVItemManager::HVItemManager()
    : QObject(nullptr)
    , d(new HVItemManagerPrivate)
{
    createConnections();
}

HVItemManager::~HVItemManager()
{
    delete d;
}

HVItemManager *HVItemManager::instance()
{
    return HVGlobalStatic<HVItemManager>::instance([] { return new HVItemManager; });
}

HVServiceHandler *HVItemManager::handler() const
{
    return d->handler;
}

QList<HVServiceAction *> HVItemManager::pendingActions() const
{
    return d->pendingActions;
}

void HVItemManager::createConnections()
{
    HVServiceHandler *handler = d->handler;
    if (!handler)
        return;
    connect(handler, SIGNAL(actionStarted(HVActionData)), this, SIGNAL(actionStarted(HVActionData)));
    connect(handler, SIGNAL(activityChanged(HVServiceAction*,HVServiceAction::Activity)),
            this, SLOT(updateActionActivity(HVServiceAction*,HVServiceAction::Activity)));
    connect(handler, SIGNAL(statusChanged(HVServiceAction*,HVServiceAction::Status)),
            this, SLOT(updateActionStatus(HVServiceAction*,HVServiceAction::Status)));
    connect(handler, SIGNAL(itemsAdded(QList<HVItem>)), this, SIGNAL(itemsAdded(QList<HVItem>)));
    connect(handler, SIGNAL(itemsRemoved(QList<HVItem>)), this, SIGNAL(itemsRemoved(QList<HVItem>)));
    connect(handler, SIGNAL(itemsChanged(QList<HVItem>)), this, SIGNAL(itemsChanged(QList<HVItem>)));
}

bool HVItemManager::startAction(HVServiceAction *action)
{
    if (!action) {
        qWarning() << "HVItemManager::startAction: no action given";
        return false;
    }
    if (!d->pendingActions.contains(action))
        d->pendingActions.append(action);
    // One shot per call; a shot that finds the list empty does nothing.
    QTimer::singleShot(0, this, &HVItemManager::dispatchAction);
    return true;
}

bool HVItemManager::cancelAction(HVServiceAction *action)
{
    Q_UNUSED(action)
    return true;
}

void HVItemManager::actionDeleted(HVServiceAction *action)
{
    d->pendingActions.removeAll(action);
}

void HVItemManager::dispatchAction()
{
    if (d->pendingActions.isEmpty())
        return;
    // Taken off before retrieving: retrieval runs the event loop, and nested
    // shots must not see this action again.
    HVServiceAction *action = d->pendingActions.takeFirst();
    if (action->status() == HVServiceAction::Cancelled)
        return;
    auto *retrieveAction = qobject_cast<HVRetrieveServiceAction *>(action);
    if (action->actionType() != HVServiceAction::RetrieveAction || !retrieveAction)
        return;

    if (!d->handler) {
        d->handler = new HVServiceHandler(nullptr);
        createConnections();
    }
    // The retrieval runs the event loop, where the action's owner may delete it.
    const QPointer<HVRetrieveServiceAction> guard(retrieveAction);
    const QList<HVItem> items = d->handler->retrieveItems(retrieveAction->fromDateTime(),
                                                          retrieveAction->toDateTime());
    if (!guard)
        return;
    updateRetrieveItemsAction(retrieveAction, items, HVServiceAction::NoError, HVServiceAction::Finished);
    followPresent(guard);
}

void HVItemManager::followPresent(HVRetrieveServiceAction *retrieved)
{
    // The sources report the changes within the range they were last asked
    // for: a model of another day (yesterday's page) left the models of today
    // without news. Today's range is asked again; its answer is not needed.
    d->retrieved.removeAll(nullptr);
    d->retrieved.removeAll(retrieved);
    if (!retrieved)
        return;
    d->retrieved.append(retrieved);
    const QDateTime now = QDateTime::currentDateTime();
    const auto holdsNow = [&now](const HVRetrieveServiceAction *action) {
        return action->fromDateTime() <= now && now < action->toDateTime();
    };
    if (holdsNow(retrieved) || !d->handler)
        return;
    for (int i = d->retrieved.size() - 2; i >= 0; --i) {
        const HVRetrieveServiceAction *present = d->retrieved.at(i);
        if (holdsNow(present) && present->activity() == HVServiceAction::Finished) {
            d->handler->retrieveItems(present->fromDateTime(), present->toDateTime());
            return;
        }
    }
}

void HVItemManager::updateRetrieveItemsAction(HVServiceAction *action, QList<HVItem> items,
                                              HVServiceAction::Status status, HVServiceAction::Activity activity)
{
    auto *retrieveAction = qobject_cast<HVRetrieveServiceAction *>(action);
    if (!retrieveAction || !action->d)
        return;
    auto *dd = static_cast<HVRetrieveServiceActionPrivate *>(action->d);
    HVServiceAction::Activity oldActivity;
    {
        QMutexLocker locker(&dd->mutex);
        dd->items = std::move(items);
        dd->status = status;
        oldActivity = dd->activity;
        dd->activity = activity;
    }
    // A receiver of resultsAvailable() may delete the action.
    const QPointer<HVServiceAction> guard(action);
    Q_EMIT action->resultsAvailable();
    if (guard && oldActivity != activity)
        Q_EMIT action->activityChanged(activity);
}

void HVItemManager::updateActionActivity(HVServiceAction *action, HVServiceAction::Activity activity)
{
    if (!action || !action->d)
        return;
    {
        QMutexLocker locker(&action->d->mutex);
        if (action->d->activity == activity)
            return;
        action->d->activity = activity;
    }
    Q_EMIT action->activityChanged(activity);
}

void HVItemManager::updateActionStatus(HVServiceAction *action, HVServiceAction::Status status)
{
    if (!action || !action->d)
        return;
    {
        QMutexLocker locker(&action->d->mutex);
        if (action->d->status == status)
            return;
        action->d->status = status;
    }
    Q_EMIT action->statusChanged(status);
}

void HVItemManager::cleanup()
{
    delete d->handler;
    d->handler = nullptr;
}

} // namespace Halvane
