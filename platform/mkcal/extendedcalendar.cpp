// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "extendedcalendar.h"

#include "extendedstorage.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSet>

namespace mKCal {

QTimeZone ExtendedCalendar::systemZone()
{
    const QTimeZone system = QTimeZone::systemTimeZone();
    if (system.isValid())
        return system;
    // The zone a file of the zone database stands for: its path below
    // "zoneinfo/", the link's target followed.
    QString path = QFile::decodeName(qgetenv("TZ"));
    if (path.startsWith(QLatin1Char(':')))
        path.remove(0, 1);
    const QString Below = QStringLiteral("zoneinfo/");
    for (const QString &candidate : {path, QFileInfo(path).canonicalFilePath()}) {
        const int at = candidate.lastIndexOf(Below);
        const QTimeZone zone(at < 0 ? QByteArray() : candidate.mid(at + Below.size()).toUtf8());
        if (zone.isValid())
            return zone;
    }
    // No name known: the offset the C library gives now, so that times stay right today.
    return QTimeZone(QDateTime::currentDateTime().offsetFromUtc());
}

QTimeZone ExtendedCalendar::zoneFor(const QString &timeZoneId)
{
    const QTimeZone system = systemZone();
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
    : KCalendarCore::MemoryCalendar(timeZone.isValid() ? timeZone : systemZone())
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
