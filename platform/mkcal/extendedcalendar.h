// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MKCAL_EXTENDEDCALENDAR_H
#define MKCAL_EXTENDEDCALENDAR_H

#include <KCalendarCore/MemoryCalendar>

#include <QtCore/QSharedPointer>
#include <QtCore/QString>

#include "mkcal_export.h"

namespace mKCal {

class ExtendedStorage;

/*!
 * The in-memory calendar that an ExtendedStorage fills from and writes to the
 * device calendar database.
 */
class MKCAL_EXPORT ExtendedCalendar : public KCalendarCore::MemoryCalendar
{
public:
    typedef QSharedPointer<ExtendedCalendar> Ptr;

    // A calendar in the named zone (an IANA id or an abbreviation such as
    // "CET"); an unknown name falls back to the system's zone.
    explicit ExtendedCalendar(const QString &timeZoneId);
    explicit ExtendedCalendar(const QTimeZone &timeZone);
    ~ExtendedCalendar() override;

    // The storage of the device calendar database for this calendar.
    static QSharedPointer<ExtendedStorage> defaultStorage(const ExtendedCalendar::Ptr &calendar, bool readOnly = false);

    // The zone a time-zone name stands for; the system's zone when unknown.
    static QTimeZone zoneFor(const QString &timeZoneId);
    // The device's zone, also where TZ names a zone file by its path
    // ("/usr/share/zoneinfo/Europe/Berlin"), which Qt 5 takes for no zone.
    static QTimeZone systemZone();

    // Adds entries read from storage and gives back those added. Observers
    // hear of the batch through one added entry per kind of start and end
    // time: the calendar learns a zone from every notified entry, and each
    // lookup of the local zone reads the file system.
    KCalendarCore::Incidence::List addLoaded(const KCalendarCore::Incidence::List &incidences);
};

} // namespace mKCal

#endif // MKCAL_EXTENDEDCALENDAR_H
