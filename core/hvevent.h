// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVEVENT_H
#define HVEVENT_H

#include "hvitem.h"
#include "hvitemtype.h"
#include "hvitemeventcreator.h"
#include "hvitemeventparticipant.h"

namespace Halvane {

/*!
 * A calendar event or to-do. A view of an HVItem of type HVItemType::TypeEvent.
 */
class HALVANECORE_EXPORT HVEvent : public HVItem
{
public:
    // An empty record of this type.
    HVEvent();
    // Views any record as this type, keeping all its values.
    explicit HVEvent(const HVItem &item);

    QDateTime startDateTime() const;
    void setStartDateTime(const QDateTime &startDateTime);
    QDateTime endDateTime() const;
    void setEndDateTime(const QDateTime &endDateTime);
    QString locationName() const;
    void setLocationName(const QString &locationName);
    QString locationAddress() const;
    void setLocationAddress(const QString &locationAddress);
    QString locationCoordinates() const;
    void setLocationCoordinates(const QString &locationCoordinates);
    // A to-do rather than an event: its end is when it is due.
    bool isTodo() const;
    void setTodo(bool todo);

    HVItemEventCreator creator() const;
    void setCreator(const HVItemEventCreator &creator);
    QList<HVItemEventParticipant> participants() const;
    void setParticipants(const QList<HVItemEventParticipant> &participants);
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVEvent, Q_MOVABLE_TYPE);

#endif // HVEVENT_H
