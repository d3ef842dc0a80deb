// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMMANAGER_H
#define HVITEMMANAGER_H

#include <QtCore/QList>
#include <QtCore/QObject>

#include "halvaneservice_export.h"
#include "hvitem.h"
#include "hvserviceaction.h"

namespace Halvane {

class HVItemManagerPrivate;
class HVRetrieveServiceAction;
class HVServiceHandler;

/*!
 * The process-wide entry point of the service framework: owns the service handler,
 * runs the actions clients start, writes their results back into them and relays
 * the sources' item changes to the item models.
 */
class HALVANESERVICE_EXPORT HVItemManager : public QObject
{
    Q_OBJECT

public:
    // The singleton, created on the first call; null once destroyed at process exit.
    static HVItemManager *instance();
    ~HVItemManager() override;

    bool startAction(HVServiceAction *action);
    bool cancelAction(HVServiceAction *action);
    void actionDeleted(HVServiceAction *action);
    void updateRetrieveItemsAction(HVServiceAction *action, QList<HVItem> items, HVServiceAction::Status status,
                                   HVServiceAction::Activity activity);
    void createConnections();

    // The current handler (null after cleanup() until the next retrieval).
    HVServiceHandler *handler() const;
    // The started actions not yet dispatched, oldest first.
    QList<HVServiceAction *> pendingActions() const;

Q_SIGNALS:
    void itemsAdded(const QList<HVItem> &items);
    void itemsChanged(const QList<HVItem> &items);
    void itemsRemoved(const QList<HVItem> &items);
    void actionStarted(HVActionData);
    // Declared for clients; nothing emits it yet.
    void synchronizationCompleted(HVServiceAction *);

public Q_SLOTS:
    void dispatchAction();
    void updateActionActivity(HVServiceAction *action, HVServiceAction::Activity activity);
    void updateActionStatus(HVServiceAction *action, HVServiceAction::Status status);
    void cleanup();

private:
    HVItemManager();
    void followPresent(HVRetrieveServiceAction *retrieved);

    HVItemManagerPrivate *const d;
    Q_DISABLE_COPY(HVItemManager)
};

} // namespace Halvane

#endif // HVITEMMANAGER_H
