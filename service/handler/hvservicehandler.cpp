// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvservicehandler.h"
#include "halvaneservice_debug.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QTimer>

#include "hvservice.h"
#include "hvservicefactory.h"
#include "hvservicesource.h"

namespace Halvane {

static void registerActionMetaTypes()
{
    // The short names are the ones the signal signatures use; queued
    // connections look the types up by them.
    qRegisterMetaType<HVServiceAction::Activity>("HVServiceAction::Activity");
    qRegisterMetaType<HVServiceAction::Status>("HVServiceAction::Status");
    qRegisterMetaType<HVServiceAction::Type>("HVServiceAction::Type");
    qRegisterMetaType<HVActionData>("HVActionData");
    qRegisterMetaType<HVServiceAction *>("HVServiceAction*");
}
Q_CONSTRUCTOR_FUNCTION(registerActionMetaTypes)

namespace {

void appendUnique(HVServiceHandler::ServiceSet &set, HVService *service)
{
    for (const QPointer<HVService> &member : qAsConst(set)) {
        if (member == service)
            return;
    }
    set.append(service);
}

// For the debug channel: the set as plain object pointers.
QList<HVService *> debugList(const HVServiceHandler::ServiceSet &set)
{
    QList<HVService *> list;
    for (const QPointer<HVService> &service : set)
        list.append(service.data());
    return list;
}

} // namespace

HVServiceHandler::HVServiceHandler(QObject *parent)
    : QObject(parent)
{
    const QStringList keys = HVServiceFactory::keys();
    qCDebug(HALVANE_SERVICE) << "Services keys: " << keys;
    for (const QString &key : keys)
        createService(key);
}

HVServiceHandler::~HVServiceHandler()
{
    for (const QPointer<HVService> &service : qAsConst(registeredServices))
        delete service.data();
    registeredServices.clear();
}

bool HVServiceHandler::createService(const QString &key)
{
    HVService *service = HVServiceFactory::createService(key);
    if (!service) {
        qCDebug(HALVANE_SERVICE) << "The service: " << key << " creation failed";
        return false;
    }
    registerService(key, service);
    return true;
}

void HVServiceHandler::registerService(const QString &name, HVService *service)
{
    if (!service)
        return;
    connect(service, SIGNAL(actionCompleted(bool)), this, SLOT(actionCompleted(bool)));
    if (service->hasSource())
        registerServiceSource(service->source());
    registeredServices.insert(name, service);
}

void HVServiceHandler::registerServiceSource(HVServiceSource *source)
{
    if (!source)
        return;
    connect(source, SIGNAL(itemsAdded(QList<HVItem>)), this, SIGNAL(itemsAdded(QList<HVItem>)));
    connect(source, SIGNAL(itemsRemoved(QList<HVItem>)), this, SIGNAL(itemsRemoved(QList<HVItem>)));
    connect(source, SIGNAL(itemsChanged(QList<HVItem>)), this, SIGNAL(itemsChanged(QList<HVItem>)));
    connect(source, SIGNAL(processEvents()), this, SLOT(processEvents()));
}

void HVServiceHandler::processEvents()
{
    QCoreApplication::processEvents();
}

QList<HVItem> HVServiceHandler::retrieveItems(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    QList<HVItem> items;
    if (registeredServices.isEmpty()) {
        qCDebug(HALVANE_SERVICE) << "retrieveItems failed: no services available";
        return items;
    }
    // A copy: the event loop runs between the sources and may touch the map.
    const QMap<QString, QPointer<HVService>> services = registeredServices;
    for (const QPointer<HVService> &service : services) {
        processEvents();
        if (service && service->hasSource()) {
            if (HVServiceSource *source = service->source())
                items.append(source->retrieveItemList(fromDateTime, toDateTime));
        }
    }
    return items;
}

bool HVServiceHandler::synchronize(HVServiceAction *action)
{
    if (registeredServices.isEmpty()) {
        reportError(action, HVServiceAction::Failed, qtTrId("hv_service_handler_failed_msg"));
        return false;
    }
    enqueueRequest(action, QByteArray(), serviceList(registeredServices),
                   &HVServiceHandler::dispatchSynchronize, &HVServiceHandler::synchronizationCompleted,
                   HVServiceAction::SynchronizeAction);
    return true;
}

void HVServiceHandler::enqueueRequest(HVServiceAction *action, const QByteArray &method, QList<HVService *> services,
                                      DispatchFunction dispatch, CompleteFunction complete,
                                      HVServiceAction::Type type)
{
    if (!action)
        return;
    Request request;
    request.action = action;
    request.method = method;
    for (HVService *service : qAsConst(services))
        appendUnique(request.services, service);
    request.dispatch = dispatch;
    request.complete = complete;
    request.type = type;
    requests.append(request);
    // A deleted action is forgotten wherever the handler holds it.
    connect(action, &QObject::destroyed, this, &HVServiceHandler::forgetAction, Qt::UniqueConnection);
    scheduleDispatch();
}

void HVServiceHandler::scheduleDispatch()
{
    QTimer::singleShot(0, this, &HVServiceHandler::dispatchRequest);
}

void HVServiceHandler::dispatchRequest()
{
    // Each request leaves the queue before its dispatch runs: dispatching calls
    // into sources, which may run the event loop and re-enter here.
    while (!requests.isEmpty()) {
        const Request request = requests.takeFirst();
        HVServiceAction *action = request.action;

        for (const QPointer<HVService> &service : request.services) {
            if (service)
                serviceActions.insert(service.data(), action);
        }

        ActionData data;
        data.pendingServices = request.services;
        data.complete = request.complete;
        data.completed = false;
        data.type = request.type;
        actionData.insert(action, data);

        // Receivers and sources may delete the action; it is then already forgotten.
        const QPointer<HVServiceAction> guard(action);
        Q_EMIT actionStarted(HVActionData(action, request.type));
        if (!guard)
            continue;
        Q_EMIT activityChanged(action, HVServiceAction::Running);
        if (!guard)
            continue;

        const bool dispatched = request.dispatch && (this->*request.dispatch)(action, request.method);
        if (!dispatched && guard) {
            actionData.remove(action);
            qCDebug(HALVANE_SERVICE) << "Unable to dispatch request: " << action << " to services: " << debugList(request.services);
            Q_EMIT activityChanged(action, HVServiceAction::Aborted);
            for (const QPointer<HVService> &service : request.services)
                serviceActions.remove(service.data());
        }
    }
}

bool HVServiceHandler::dispatchSynchronize(HVServiceAction *action, const QByteArray &method)
{
    Q_UNUSED(action)
    Q_UNUSED(method)
    // Sources of this system complete synchronously, so actionCompleted(bool)
    // runs nested inside this loop; iterate over a copy.
    const QMap<QString, QPointer<HVService>> services = registeredServices;
    for (const QPointer<HVService> &service : services) {
        if (!service || !service->hasSource() || !service->source())
            continue;
        if (!service->source()->synchronize())
            qCDebug(HALVANE_SERVICE) << "Synchronization with the service " << service->service() << " failed";
    }
    return true;
}

void HVServiceHandler::actionCompleted(bool success)
{
    auto *service = qobject_cast<HVService *>(sender());
    HVServiceAction *action = service ? serviceAction(service) : nullptr;
    if (action && actionData.contains(action)) {
        bool finished = false;
        ActionData &data = actionData[action];
        if (data.pendingServices.removeOne(service)) {
            if (!success) {
                data.completed = true;
            } else if (data.pendingServices.isEmpty()) {
                if (data.complete && !data.completed) {
                    const CompleteFunction complete = data.complete;
                    data.completed = true;
                    // May re-enter the handler: data is not used after this.
                    (this->*complete)(action);
                } else {
                    actionData.remove(action);
                    Q_EMIT activityChanged(action, HVServiceAction::Finished);
                    finished = true;
                }
            }
        }
        if (!finished) {
            // Looked up again: the completion may have added services to the action.
            auto entry = actionData.find(action);
            if (entry != actionData.end() && entry->pendingServices.isEmpty()) {
                actionData.erase(entry);
                Q_EMIT activityChanged(action, success ? HVServiceAction::Finished : HVServiceAction::Aborted);
            }
        }
        serviceActions.remove(service);
    }
    scheduleDispatch();
}

void HVServiceHandler::forgetAction(QObject *object)
{
    // Runs from QObject's destructor: the action is compared by address only.
    const auto *action = reinterpret_cast<const HVServiceAction *>(object);
    for (int i = requests.size() - 1; i >= 0; --i) {
        if (requests.at(i).action == action)
            requests.removeAt(i);
    }
    actionData.remove(action);
    for (auto it = serviceActions.begin(); it != serviceActions.end();) {
        if (it.value() == action)
            it = serviceActions.erase(it);
        else
            ++it;
    }
}

HVServiceAction *HVServiceHandler::serviceAction(HVService *service) const
{
    return serviceActions.value(service, nullptr);
}

QList<HVService *> HVServiceHandler::serviceList(const QMap<QString, QPointer<HVService>> &services) const
{
    QList<HVService *> list;
    for (const QPointer<HVService> &service : services) {
        if (service)
            list.append(service.data());
    }
    return list;
}

bool HVServiceHandler::cancel(HVServiceAction *action)
{
    auto entry = actionData.find(action);
    if (entry == actionData.end()) {
        for (int i = 0; i < requests.size(); ++i) {
            if (requests.at(i).action == action) {
                requests.removeAt(i);
                break;
            }
        }
        reportError(action, HVServiceAction::Cancelled, qtTrId("hv_service_handler_cancel_msg"));
        return true;
    }

    const ServiceSet pending = entry->pendingServices;
    actionData.erase(entry);
    for (const QPointer<HVService> &service : pending) {
        if (!service)
            continue;
        // cancelOperation() is not virtual: a service's own slot of that
        // signature is reached through its meta-object.
        bool answer = false;
        QMetaObject::invokeMethod(service.data(), "cancelOperation", Qt::DirectConnection,
                                  Q_RETURN_ARG(bool, answer));
        serviceActions.remove(service.data());
    }
    return true;
}

void HVServiceHandler::reportError(HVServiceAction *action, HVServiceAction::Status status, const QString &message)
{
    qCDebug(HALVANE_SERVICE) << "Service action" << action << "ended:" << message;
    Q_EMIT statusChanged(action, status);
    if (status != HVServiceAction::NoError)
        Q_EMIT activityChanged(action, HVServiceAction::Aborted);
}

} // namespace Halvane
