// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "extendedcalendar.h"

#include "extendedstorage.h"

#include <QtCore/QSet>

namespace mKCal {

QTimeZone ExtendedCalendar::zoneFor(const QString &timeZoneId)
{
    const QTimeZone system = QTimeZone::systemTimeZone();
    if (timeZoneId.isEmpty())
        return system;
    // tzname gives abbreviations ("CET"): the system zone is meant whenever
    // the abbreviation is its own, even where an IANA zone of that name exists.
    const QDateTime now = QDateTime::currentDateTime();
    if (system.displayName(QTimeZone::StandardTime, QTimeZone::ShortName) == timeZoneId
        || system.abbreviation(now) == timeZoneId || QString::fromUtf8(system.id()) == timeZoneId)
        return system;
    const QByteArray id = timeZoneId.toLatin1();
    if (QTimeZone::isTimeZoneIdAvailable(id))
        return QTimeZone(id);
    return system;
}

ExtendedCalendar::ExtendedCalendar(const QString &timeZoneId)
    : KCalendarCore::MemoryCalendar(zoneFor(timeZoneId))
{
}

ExtendedCalendar::ExtendedCalendar(const QTimeZone &timeZone)
    : KCalendarCore::MemoryCalendar(timeZone.isValid() ? timeZone : QTimeZone::systemTimeZone())
{
}

ExtendedCalendar::~ExtendedCalendar() = default;

KCalendarCore::Incidence::List ExtendedCalendar::addLoaded(const KCalendarCore::Incidence::List &incidences)
{
    using KCalendarCore::IncidenceBase;
    KCalendarCore::Incidence::List added;
    added.reserve(incidences.size());
    setObserversEnabled(false);
    for (const KCalendarCore::Incidence::Ptr &incidence : incidences) {
        if (addIncidence(incidence))
            added.append(incidence);
    }
    setObserversEnabled(true);
    // Entries of the same time specs (and zones) teach the calendar nothing new.
    QSet<QString> kinds;
    for (const KCalendarCore::Incidence::Ptr &incidence : qAsConst(added)) {
        QString kind = QString::number(incidence->type());
        for (auto role : {IncidenceBase::RoleStartTimeZone, IncidenceBase::RoleEndTimeZone}) {
            const QDateTime dateTime = incidence->dateTime(role);
            kind += QLatin1Char(':') + QString::number(dateTime.isValid() ? int(dateTime.timeSpec()) : -1);
            if (dateTime.timeSpec() == Qt::TimeZone)
                kind += QString::fromUtf8(dateTime.timeZone().id());
            else if (dateTime.timeSpec() == Qt::OffsetFromUTC)
                kind += QString::number(dateTime.offsetFromUtc());
        }
        if (!kinds.contains(kind)) {
            kinds.insert(kind);
            notifyIncidenceAdded(incidence);
        }
    }
    return added;
}

QSharedPointer<ExtendedStorage> ExtendedCalendar::defaultStorage(const ExtendedCalendar::Ptr &calendar, bool readOnly)
{
    return ExtendedStorage::defaultStorage(calendar, readOnly);
}

} // namespace mKCal
