// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef CALENDARIMPORTER_H
#define CALENDARIMPORTER_H

#include <KCalendarCore/Incidence>

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include "extendedstorage.h"

/*
 * Brings the entries of an iCalendar text into the calendar database: new
 * uids are added, uids already present are replaced. The text is read whole
 * before the database is touched, and everything is saved in one
 * transaction, so a failure leaves the calendar as it was.
 */
class CalendarImporter
{
public:
    enum Result {
        Imported,
        NotICalendar,  // the text does not read as iCalendar
        NoEntries,     // it reads, but holds no event, to-do or journal
        StorageFailed, // the database refused; errorString() says why
    };

    // Reads the text; Imported when it holds entries to store.
    Result parse(const QByteArray &text);
    // Stores what parse() read through an open storage.
    Result store(const mKCal::ExtendedStorage::Ptr &storage);

    // What parse() read; after store(), what it stored.
    const KCalendarCore::Incidence::List &incidences() const { return m_incidences; }
    int added() const { return m_added; }
    int updated() const { return m_updated; }
    QString errorString() const { return m_error; }
    // What parse() and store() left out or mended, each with why.
    QStringList notes() const { return m_notes; }

private:
    KCalendarCore::Incidence::List m_incidences;
    int m_added = 0;
    int m_updated = 0;
    QString m_error;
    QStringList m_notes;
};

#endif // CALENDARIMPORTER_H
