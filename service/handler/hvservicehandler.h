// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICEHANDLER_H
#define HVSERVICEHANDLER_H

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QMap>
#include <QtCore/QObject>
#include <QtCore/QPointer>

#include "halvaneservice_export.h"
#include "hvitem.h"
#include "hvserviceaction.h"

namespace Halvane {

class HVService;
class HVServiceSource;

/*!
 * Owns one service per installed service plug-in and is the only object that
 * talks to services and sources: a synchronous retrieval over all sources, queued
 * synchronizations completed by the services' reports, cancellation, and the relay
 * of the sources' change signals.
 */
class HALVANESERVICE_EXPORT HVServiceHandler : public QObject
{
    Q_OBJECT

public:
    typedef bool (HVServiceHandler::*DispatchFunction)(HVServiceAction *action, const QByteArray &method);
    typedef void (HVServiceHandler::*CompleteFunction)(HVServiceAction *action);
    typedef QList<QPointer<HVService>> ServiceSet;

    struct Request
    {
        HVServiceAction *action = nullptr;
        QByteArray method;
        ServiceSet services;
        DispatchFunction dispatch = nullptr;
        CompleteFunction complete = nullptr;
        HVServiceAction::Type type = HVServiceAction::NoActionType;
    };

    struct ActionData
    {
        ServiceSet pendingServices;
        CompleteFunction complete = nullptr;
        bool completed = false;
        HVServiceAction::Type type = HVServiceAction::NoActionType;
    };

    // Creates one service per plug-in key.
    explicit HVServiceHandler(QObject *parent = nullptr);
    // Deletes the services that still exist; each deletes its source.
    ~HVServiceHandler() override;

    bool createService(const QString &key);
    void registerService(const QString &name, HVService *service);
    void registerServiceSource(HVServiceSource *source);

    void enqueueRequest(HVServiceAction *action, const QByteArray &method, QList<HVService *> services,
                        DispatchFunction dispatch, CompleteFunction complete, HVServiceAction::Type type);
    bool dispatchSynchronize(HVServiceAction *action, const QByteArray &method);
    HVServiceAction *serviceAction(HVService *service) const;
    QList<HVService *> serviceList(const QMap<QString, QPointer<HVService>> &services) const;
    void reportError(HVServiceAction *action, HVServiceAction::Status status, const QString &message);

    // Read-only views for clients and diagnostics.
    QMap<QString, QPointer<HVService>> services() const { return registeredServices; }
    int pendingRequestCount() const { return requests.size(); }
    int runningActionCount() const { return actionData.size(); }
    int busyServiceCount() const { return serviceActions.size(); }

Q_SIGNALS:
    void itemsAdded(const QList<HVItem> &items);
    void itemsChanged(const QList<HVItem> &items);
    void itemsRemoved(const QList<HVItem> &items);
    void actionStarted(HVActionData action);
    // Declared for clients; the handler itself never emits it.
    void actionCompleted(HVServiceAction *action);
    void activityChanged(HVServiceAction *action, HVServiceAction::Activity activity);
    void statusChanged(HVServiceAction *action, HVServiceAction::Status status);
    void synchronizationCompleted(HVServiceAction *action);

public Q_SLOTS:
    QList<HVItem> retrieveItems(const QDateTime &fromDateTime, const QDateTime &toDateTime);
    bool synchronize(HVServiceAction *action);
    bool cancel(HVServiceAction *action);
    // Connected to every service's actionCompleted(bool).
    void actionCompleted(bool success);

private Q_SLOTS:
    void dispatchRequest();
    void processEvents();

private:
    void scheduleDispatch();
    void forgetAction(QObject *object);

    QMap<QString, QPointer<HVService>> registeredServices;
    QMap<const HVServiceAction *, ActionData> actionData;
    QMap<const HVService *, HVServiceAction *> serviceActions;
    QList<Request> requests;
};

} // namespace Halvane

#endif // HVSERVICEHANDLER_H
