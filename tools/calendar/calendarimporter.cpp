// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "calendarimporter.h"

#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/MemoryCalendar>

#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QTimeZone>

#include <algorithm>

using namespace KCalendarCore;

namespace {

// Outlook and Exchange name zones the Windows way ("Pacific Standard Time"),
// at times without the VTIMEZONE that would define them; the library then
// takes such times as floating. Those names become the zones they stand for.
QByteArray withWindowsZonesNamed(const QByteArray &text)
{
    static const QRegularExpression parameter(QStringLiteral(";TZID=(\"?)([^\":;\r\n]+)\\1([:;])"));
    static const QRegularExpression defined(QStringLiteral("^TZID:(.+?)\r?$"), QRegularExpression::MultilineOption);
    const QString source = QString::fromUtf8(text);
    QSet<QString> definedZones;
    for (auto match = defined.globalMatch(source); match.hasNext();)
        definedZones.insert(match.next().captured(1));
    QString result;
    int last = 0;
    bool changed = false;
    for (auto matches = parameter.globalMatch(source); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        const QString zone = match.captured(2);
        if (definedZones.contains(zone) || QTimeZone::isTimeZoneIdAvailable(zone.toUtf8()))
            continue;
        const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(zone.toUtf8());
        if (iana.isEmpty())
            continue;
        result += source.midRef(last, match.capturedStart() - last) + QLatin1String(";TZID=")
            + QString::fromLatin1(iana) + match.captured(3);
        last = match.capturedEnd();
        changed = true;
    }
    return changed ? (result + source.midRef(last)).toUtf8() : text;
}

} // namespace

CalendarImporter::Result CalendarImporter::parse(const QByteArray &original)
{
    const QByteArray text = withWindowsZonesNamed(original);
    m_incidences.clear();
    m_skipped.clear();
    m_error.clear();
    MemoryCalendar::Ptr parsed(new MemoryCalendar(QTimeZone::systemTimeZone()));
    ICalFormat format;
    if (text.trimmed().isEmpty() || !format.fromRawString(parsed, text))
        return NotICalendar;
    const Incidence::List incidences = parsed->rawIncidences();
    for (const Incidence::Ptr &incidence : incidences) {
        // A start in the hour the clocks skip (02:30 where summer time begins
        // at 02:00) is taken as the clocks show it an hour later.
        const QDateTime start = incidence->dtStart();
        if (!start.isValid() && start.date().isValid() && start.time().isValid()) {
            const QTime hourBefore = start.time().addSecs(-3600);
            const QDateTime moved = (start.timeSpec() == Qt::TimeZone
                                         ? QDateTime(start.date(), hourBefore, start.timeZone())
                                         : QDateTime(start.date(), hourBefore, start.timeSpec()))
                                        .addSecs(3600);
            if (moved.isValid() && moved.date() == start.date())
                incidence->setDtStart(moved);
        }
        // An event is a time: without a start it could never be shown.
        if (incidence->type() == Incidence::TypeEvent && !incidence->dtStart().isValid()) {
            m_skipped.append(QStringLiteral("the event %1 (\"%2\") has no valid start (DTSTART)")
                                 .arg(incidence->uid(), incidence->summary()));
            continue;
        }
        m_incidences.append(incidence);
    }
    return m_incidences.isEmpty() ? NoEntries : Imported;
}

CalendarImporter::Result CalendarImporter::store(const mKCal::ExtendedStorage::Ptr &storage)
{
    m_added = 0;
    m_updated = 0;
    const mKCal::ExtendedCalendar::Ptr calendar = storage->calendar();
    for (const Incidence::Ptr &incidence : qAsConst(m_incidences)) {
        storage->loadIncidence(incidence->uid());
        if (calendar->incidence(incidence->uid(), incidence->recurrenceId()))
            ++m_updated;
        else
            ++m_added;
    }

    // Series before their exceptions: replacing a series removes its old
    // exceptions with it, and must not take those of the file along.
    Incidence::List ordered = m_incidences;
    std::stable_sort(ordered.begin(), ordered.end(), [](const Incidence::Ptr &a, const Incidence::Ptr &b) {
        return !a->hasRecurrenceId() && b->hasRecurrenceId();
    });
    for (const Incidence::Ptr &incidence : qAsConst(ordered)) {
        if (const Incidence::Ptr existing = calendar->incidence(incidence->uid(), incidence->recurrenceId()))
            calendar->deleteIncidence(existing);
        calendar->addIncidence(Incidence::Ptr(incidence->clone()));
    }
    if (!storage->save()) {
        m_error = storage->errorString();
        return StorageFailed;
    }
    return Imported;
}
