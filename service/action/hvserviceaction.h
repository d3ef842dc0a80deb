// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICEACTION_H
#define HVSERVICEACTION_H

#include <QtCore/QMetaType>
#include <QtCore/QObject>
#include <QtCore/QPair>

#include "halvaneservice_export.h"
#include "hvglobal.h"

namespace Halvane {

class HVServiceActionPrivate;
class HVItemManager;

/*!
 * The handle of asynchronous work: a client creates an action, starts it and
 * follows its status and activity. The item manager and the service handler
 * change them; the action only stores them and announces the changes.
 */
class HALVANESERVICE_EXPORT HVServiceAction : public QObject
{
    Q_OBJECT

public:
    enum Type {
        NoActionType = 0,
        SynchronizeAction = 1,
        RetrieveAction = 2
    };

    enum Status {
        NoError = 0,
        Cancelled = 1,
        Failed = 2
    };

    enum Activity {
        Idle = 0,
        Running = 1,
        Finished = 2,
        Aborted = 3
    };

    explicit HVServiceAction(QObject *parent = nullptr);
    ~HVServiceAction() override;

    Type actionType() const;
    Status status() const;
    Activity activity() const;

public Q_SLOTS:
    // Hands the action to the item manager; false while it is running.
    bool start();
    // Asks the item manager to cancel a running action; false otherwise.
    bool cancel();

Q_SIGNALS:
    void statusChanged(HVServiceAction::Status status);
    void activityChanged(HVServiceAction::Activity activity);
    void resultsAvailable();

protected:
    // Takes ownership of dd.
    HVServiceAction(HVServiceActionPrivate *dd, QObject *parent);

    HVServiceActionPrivate *const d;

private:
    Q_DECLARE_PRIVATE_D(d, HVServiceAction)
    Q_DISABLE_COPY(HVServiceAction)
    friend class HVItemManager;
};

typedef QPair<HVServiceAction *, HVServiceAction::Type> HVActionData;

} // namespace Halvane

// Stringized unexpanded, so the names read "HALVANE_NAMESPACE::..."; the short
// names of the signal signatures are registered as aliases at library load.
Q_DECLARE_METATYPE_IMPL(HALVANE_NAMESPACE::HVServiceAction::Type)
Q_DECLARE_METATYPE_IMPL(HALVANE_NAMESPACE::HVServiceAction::Status)
Q_DECLARE_METATYPE_IMPL(HALVANE_NAMESPACE::HVServiceAction::Activity)
Q_DECLARE_METATYPE_IMPL(HALVANE_NAMESPACE::HVServiceAction*)
Q_DECLARE_METATYPE_IMPL(HALVANE_NAMESPACE::HVActionData)

#endif // HVSERVICEACTION_H
