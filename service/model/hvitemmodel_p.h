// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMMODEL_P_H
#define HVITEMMODEL_P_H

#include <QtCore/QHash>
#include <QtCore/QList>

#include "hvitem.h"
#include "hvretrieveserviceaction.h"

namespace Halvane {

class HVItemManager;

class HVItemModelPrivate
{
public:
    HVItemModelPrivate();

    // The first row holding a record equal to item, or -1.
    int findRow(const HVItem &item) const;
    void appendToIndex(int firstNewRow);
    // The items that fall in the retrieve action's range, or have no date.
    QList<HVItem> withinRange(const QList<HVItem> &items) const;
    void invalidateIndex();

    QList<HVItem> items;
    HVRetrieveServiceAction retrieveAction;
    HVItemManager *itemManager;

    // Rows are matched by id, always the first equal row. The index makes
    // that look-up constant time; removals shift rows and rebuild it lazily.
    mutable QHash<HVItemId, int> firstRows;
    mutable bool indexValid = false;
    // Counts structural changes, to notice a slot changing the model while a
    // batch of removals is being applied.
    quint64 revision = 0;
};

} // namespace Halvane

#endif // HVITEMMODEL_P_H
