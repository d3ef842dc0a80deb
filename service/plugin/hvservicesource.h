// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICESOURCE_H
#define HVSERVICESOURCE_H

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QObject>

#include "halvaneservice_export.h"
#include "hvitem.h"

namespace Halvane {

class HVService;

/*!
 * The items of one service: answers retrievals for a time range and reports later
 * changes with itemsAdded(), itemsChanged() and itemsRemoved().
 */
class HALVANESERVICE_EXPORT HVServiceSource : public QObject
{
    Q_OBJECT

public:
    explicit HVServiceSource(HVService *service);
    ~HVServiceSource() override;

public Q_SLOTS:
    // Synchronous; the base has no items.
    virtual QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime);
    // Brings the source up to date, or starts doing so. The base cannot.
    virtual bool synchronize();

Q_SIGNALS:
    void itemsAdded(const QList<HVItem> &items);
    void itemsChanged(const QList<HVItem> &items);
    void itemsRemoved(const QList<HVItem> &items);
    // Asks the framework to let the event loop run once during long work.
    void processEvents();

private:
    // Not owned. A source that needs its service keeps its own pointer.
    HVService *ownerService;
};

} // namespace Halvane

#endif // HVSERVICESOURCE_H
