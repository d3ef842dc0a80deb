// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICEACTION_P_H
#define HVSERVICEACTION_P_H

#include <QtCore/QMutex>
#include <QtCore/QPointer>

#include "hvitemmanager.h"
#include "hvserviceaction.h"

namespace Halvane {

class HVServiceActionPrivate
{
public:
    HVServiceActionPrivate();
    virtual ~HVServiceActionPrivate();

    HVServiceAction::Status status = HVServiceAction::NoError;
    HVServiceAction::Activity activity = HVServiceAction::Idle;
    HVServiceAction::Type type = HVServiceAction::NoActionType;
    // Guarded: an action may outlive the item manager when both go at process exit.
    QPointer<HVItemManager> manager;
    // Guards status, activity, type and the retrieved items.
    mutable QMutex mutex;
};

} // namespace Halvane

#endif // HVSERVICEACTION_P_H
