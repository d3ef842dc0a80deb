// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMMODELFACTORY_H
#define HVITEMMODELFACTORY_H

#include <QtCore/QStringList>

#include "halvaneservice_export.h"
#include "hvglobal.h"

namespace Halvane {

class HVProxyItemModel;

/*!
 * Hands out one filtered, date-sorted model per item type, all over one item
 * model shared by the whole process. The first call creates the shared model,
 * which starts the retrieval of today's items.
 */
class HALVANESERVICE_EXPORT HVItemModelFactory
{
public:
    // A new proxy over the shared model, owned by the shared model; the caller may delete it.
    static HVProxyItemModel *createModel(const QString &itemType);
    // Message, event, feed and weather, in this order.
    static QStringList supportedItemTypes();

private:
    HVItemModelFactory() = delete;
};

} // namespace Halvane

#endif // HVITEMMODELFACTORY_H
