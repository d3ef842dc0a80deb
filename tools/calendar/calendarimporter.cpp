// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "calendarimporter.h"

#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/MemoryCalendar>

#include <QtCore/QTimeZone>

#include <algorithm>

using namespace KCalendarCore;

CalendarImporter::Result CalendarImporter::parse(const QByteArray &text)
{
    m_incidences.clear();
    m_error.clear();
    MemoryCalendar::Ptr parsed(new MemoryCalendar(QTimeZone::systemTimeZone()));
    ICalFormat format;
    if (text.trimmed().isEmpty() || !format.fromRawString(parsed, text))
        return NotICalendar;
    m_incidences = parsed->rawIncidences();
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
