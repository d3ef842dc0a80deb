// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEM_P_H
#define HVITEM_P_H

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QSharedData>

#include "hvitemdetail.h"
#include "hvitemid.h"

namespace Halvane {

class HVItemPrivate : public QSharedData
{
public:
    QString type;
    HVItemId id;
    QDateTime dateTime;
    QString description;
    QString displayLabel;
    // The typed views keep their fields here, so a view copied into a plain
    // HVItem and viewed again loses nothing.
    QHash<QString, QVariant> values;
    QHash<QString, QList<HVItemDetail>> details;
};

} // namespace Halvane

#endif // HVITEM_P_H
