#include "extendedcalendar.h"

#include "extendedstorage.h"

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

QSharedPointer<ExtendedStorage> ExtendedCalendar::defaultStorage(const ExtendedCalendar::Ptr &calendar, bool readOnly)
{
    return ExtendedStorage::defaultStorage(calendar, readOnly);
}

} // namespace mKCal
