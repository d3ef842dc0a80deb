// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVRETRIEVESERVICEACTION_P_H
#define HVRETRIEVESERVICEACTION_P_H

#include <QtCore/QDateTime>
#include <QtCore/QList>

#include "hvitem.h"
#include "hvserviceaction_p.h"

namespace Halvane {

class HVRetrieveServiceActionPrivate : public HVServiceActionPrivate
{
public:
    HVRetrieveServiceActionPrivate();

    QList<HVItem> items;
    QDateTime fromDateTime;
    QDateTime toDateTime;
};

} // namespace Halvane

#endif // HVRETRIEVESERVICEACTION_P_H
