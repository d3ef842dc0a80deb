// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMMANAGER_P_H
#define HVITEMMANAGER_P_H

#include <QtCore/QList>
#include <QtCore/QPointer>

#include "hvretrieveserviceaction.h"

namespace Halvane {

class HVServiceAction;
class HVServiceHandler;

class HVItemManagerPrivate
{
public:
    HVItemManagerPrivate();
    ~HVItemManagerPrivate();

    // Owned; null after cleanup() until the next retrieval.
    HVServiceHandler *handler;
    // Not owned; each at most once, oldest first.
    QList<HVServiceAction *> pendingActions;
    // The retrievals run, latest last: the ones whose range holds the present
    // are the ones the sources are kept following.
    QList<QPointer<HVRetrieveServiceAction>> retrieved;
};

} // namespace Halvane

#endif // HVITEMMANAGER_P_H
