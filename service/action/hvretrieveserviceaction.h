// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVRETRIEVESERVICEACTION_H
#define HVRETRIEVESERVICEACTION_H

#include <QtCore/QDateTime>
#include <QtCore/QList>

#include "hvitem.h"
#include "hvserviceaction.h"

namespace Halvane {

class HVRetrieveServiceActionPrivate;

/*!
 * Asks for the items of a time range (by default today, 00:00 to 00:00) and carries
 * them back; resultsAvailable() announces each completed retrieval.
 */
class HALVANESERVICE_EXPORT HVRetrieveServiceAction : public HVServiceAction
{
    Q_OBJECT

public:
    explicit HVRetrieveServiceAction(QObject *parent = nullptr);
    // Tells the item manager, so that a pending action is never dispatched.
    ~HVRetrieveServiceAction() override;

    QDateTime fromDateTime() const;
    QDateTime toDateTime() const;
    void setFromDateTime(const QDateTime &fromDateTime);
    void setToDateTime(const QDateTime &toDateTime);

    // The items of the last completed retrieval.
    QList<HVItem> items() const;

private:
    Q_DECLARE_PRIVATE_D(HVServiceAction::d, HVRetrieveServiceAction)
    Q_DISABLE_COPY(HVRetrieveServiceAction)
};

} // namespace Halvane

#endif // HVRETRIEVESERVICEACTION_H
