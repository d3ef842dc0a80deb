// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "calendarimporter.h"

#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/MemoryCalendar>
#include <KCalendarCore/RecurrenceRule>

#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QTimeZone>

#include <algorithm>

using namespace KCalendarCore;

namespace {

// Outlook and Exchange name zones the Windows way ("Pacific Standard Time"),
// at times without the VTIMEZONE that would define them; the library then
// takes such times as floating. Those names become the zones they stand for.
// The IANA zone a TZID names without a VTIMEZONE of its own: a Windows name
// ("Pacific Standard Time", as Outlook writes), or one behind a prefix
// ("/mozilla.org/20070129_1/America/New_York", as Thunderbird wrote); empty
// when none.
QByteArray ianaZone(const QString &zone)
{
    // Outlook's name for its "UTC", which Qt does not list.
    if (zone.compare(QLatin1String("Coordinated Universal Time"), Qt::CaseInsensitive) == 0)
        return QByteArrayLiteral("UTC");
    const QByteArray windows = QTimeZone::windowsIdToDefaultIanaId(zone.toUtf8());
    if (!windows.isEmpty() || !zone.startsWith(QLatin1Char('/')))
        return windows;
    for (int slash = zone.indexOf(QLatin1Char('/'), 1); slash > 0; slash = zone.indexOf(QLatin1Char('/'), slash + 1)) {
        const QByteArray suffix = zone.mid(slash + 1).toUtf8();
        if (suffix.contains('/') && QTimeZone::isTimeZoneIdAvailable(suffix))
            return suffix;
    }
    return QByteArray();
}

// The library cuts a zone's name at a comma or semicolon, quoted or not, and
// then takes its times as floating. Outlook names zones that way ("(UTC+01:00)
// Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna"), in lines long enough
// to be folded: such names lose those characters, in the VTIMEZONE too.
QString withPlainZoneNames(QString source)
{
    static const QRegularExpression fold(QStringLiteral("\r?\n[ \t]"));
    static const QRegularExpression named(QStringLiteral(";TZID=\"([^\"\r\n]*[,;][^\"\r\n]*)\""));
    if (!source.contains(QLatin1String("TZID=\"")) || !named.match(QString(source).remove(fold)).hasMatch())
        return source;
    // Bytes as they are (Latin-1 here): a fold inside a UTF-8 character goes.
    source.remove(fold);
    QSet<QString> names;
    for (auto matches = named.globalMatch(source); matches.hasNext();)
        names.insert(matches.next().captured(1));
    for (const QString &name : qAsConst(names)) {
        const QString plain = QString(name).replace(QLatin1Char(','), QLatin1Char(' ')).replace(QLatin1Char(';'), QLatin1Char(' '));
        source.replace(QLatin1String(";TZID=\"") + name + QLatin1Char('"'), QLatin1String(";TZID=\"") + plain + QLatin1Char('"'));
        const QRegularExpression definition(QLatin1String("^TZID:") + QRegularExpression::escape(name) + QLatin1String("(?=\r?$)"),
                                            QRegularExpression::MultilineOption);
        source.replace(definition, QLatin1String("TZID:") + plain);
    }
    return source;
}

// A day as a yearly rule gives it: the week-th weekday of the month (the
// last for -1, and for 5 when the month has no fifth).
QDate ruleDay(int year, int month, int week, int weekday)
{
    const QDate first(year, month, 1);
    if (week > 0) {
        QDate day = first.addDays((weekday - first.dayOfWeek() + 7) % 7 + 7 * (week - 1));
        while (day.month() != month)
            day = day.addDays(-7);
        return day;
    }
    const QDate last(year, month, first.daysInMonth());
    return last.addDays(-((last.dayOfWeek() - weekday + 7) % 7) + 7 * (week + 1));
}

// A zone a file defines by its rules alone ("Customized Time Zone", as
// Outlook writes). The library finds a system zone for northern rules but
// makes southern ones (summer time from October) a fixed offset: an hour off
// for half the year. The first system zone that changes its clocks at the
// same moments, this year and next; empty when none does.
QByteArray zoneByRules(const QString &source, const QString &name)
{
    const QRegularExpression start(QLatin1String("^TZID:") + QRegularExpression::escape(name) + QLatin1String("\r?$"),
                                   QRegularExpression::MultilineOption);
    const int begin = source.indexOf(start);
    const int end = begin < 0 ? -1 : source.indexOf(QLatin1String("END:VTIMEZONE"), begin);
    if (end < 0)
        return QByteArray();
    struct Phase
    {
        int month = 0;
        int week = 0;
        int weekday = 0;
        QTime at;
        int from = -1;
        int to = -1;
    };
    static const QStringList weekdays = QStringLiteral("MO TU WE TH FR SA SU").split(QLatin1Char(' '));
    static const QRegularExpression offset(QStringLiteral("^([+-])(\\d\\d)(\\d\\d)(\\d\\d)?$"));
    static const QRegularExpression byDay(QStringLiteral("BYDAY=([+-]?\\d)?(MO|TU|WE|TH|FR|SA|SU)\\b"));
    static const QRegularExpression byMonth(QStringLiteral("BYMONTH=(\\d{1,2})\\b"));
    const auto seconds = [](const QStringRef &text) {
        const QRegularExpressionMatch match = offset.match(text.trimmed());
        if (!match.hasMatch())
            return -1 - 86400;
        const int value = match.captured(2).toInt() * 3600 + match.captured(3).toInt() * 60 + match.captured(4).toInt();
        return match.captured(1) == QLatin1String("-") ? -value : value;
    };
    QList<Phase> phases;
    Phase phase;
    bool inPhase = false;
    for (const QStringRef &raw : source.midRef(begin, end - begin).split(QLatin1Char('\n'))) {
        const QStringRef line = raw.trimmed();
        if (line == QLatin1String("BEGIN:STANDARD") || line == QLatin1String("BEGIN:DAYLIGHT")) {
            phase = Phase();
            inPhase = true;
        } else if (inPhase && (line == QLatin1String("END:STANDARD") || line == QLatin1String("END:DAYLIGHT"))) {
            // Each phase must come back every year by its rule.
            if (phase.month < 1 || phase.month > 12 || phase.weekday == 0 || !phase.at.isValid() || phase.from < -86400
                || phase.to < -86400)
                return QByteArray();
            phases.append(phase);
            inPhase = false;
        } else if (inPhase && line.startsWith(QLatin1String("DTSTART"))) {
            phase.at = QTime::fromString(line.right(6).toString(), QStringLiteral("hhmmss"));
        } else if (inPhase && line.startsWith(QLatin1String("TZOFFSETFROM:"))) {
            phase.from = seconds(line.mid(13));
        } else if (inPhase && line.startsWith(QLatin1String("TZOFFSETTO:"))) {
            phase.to = seconds(line.mid(11));
        } else if (inPhase && line.startsWith(QLatin1String("RRULE:"))) {
            const QString rule = line.mid(6).toString();
            const QRegularExpressionMatch day = byDay.match(rule);
            const QRegularExpressionMatch month = byMonth.match(rule);
            if (!rule.contains(QLatin1String("FREQ=YEARLY")) || !day.hasMatch() || !month.hasMatch()
                || rule.contains(QLatin1String("UNTIL")) || rule.contains(QLatin1String("COUNT")))
                return QByteArray();
            phase.week = day.captured(1).isEmpty() ? 1 : day.captured(1).toInt();
            phase.weekday = weekdays.indexOf(day.captured(2)) + 1;
            phase.month = month.captured(1).toInt();
        }
    }
    if (phases.size() != 2 || phases.at(0).to == phases.at(1).to || phases.at(0).week == 0 || phases.at(1).week == 0)
        return QByteArray();

    // The years back to which a zone has changed its clocks by these rules.
    const auto sameSince = [&phases](const QTimeZone &zone, int year) {
        for (int y = year;; --y) {
            QList<QPair<QDateTime, Phase>> changes;
            for (const Phase &p : qAsConst(phases))
                changes.append({QDateTime(ruleDay(y, p.month, p.week, p.weekday), p.at, Qt::UTC).addSecs(-p.from), p});
            const QDateTime first(QDate(y, 1, 1), QTime(0, 0), Qt::UTC);
            const bool same = zone.transitions(first, first.addYears(1)).size() == changes.size()
                && std::all_of(changes.cbegin(), changes.cend(), [&zone](const QPair<QDateTime, Phase> &change) {
                       return zone.offsetFromUtc(change.first.addSecs(-1)) == change.second.from
                           && zone.offsetFromUtc(change.first) == change.second.to;
                   });
            if (!same || y < year - 40)
                return y + 1;
        }
    };
    // This year's and next year's changes must match. Of the zones that do,
    // one that stands for a Windows zone (Outlook's custom zones are edited
    // Windows zones), then the one that has kept these rules longest.
    const int year = QDate::currentDate().year() + 1;
    QByteArray best;
    int bestSince = year + 1;
    bool bestWindows = false;
    for (const QByteArray &id : QTimeZone::availableTimeZoneIds()) {
        if (!id.contains('/') || id.startsWith("Etc/"))
            continue;
        const QTimeZone zone(id);
        const int since = sameSince(zone, year);
        if (since > year - 1)
            continue;
        const bool windows = QTimeZone::windowsIdToDefaultIanaId(QTimeZone::ianaIdToWindowsId(id)) == id;
        if ((windows && !bestWindows) || (windows == bestWindows && since < bestSince)) {
            best = id;
            bestSince = since;
            bestWindows = windows;
        }
    }
    return best;
}

QByteArray withKnownZoneNames(const QByteArray &original, QSet<QString> *unknown)
{
    static const QRegularExpression parameter(QStringLiteral(";TZID=(\"?)([^\":;\r\n]+)\\1([:;])"));
    static const QRegularExpression defined(QStringLiteral("^TZID:(.+?)\r?$"), QRegularExpression::MultilineOption);
    // Bytes as they are: a line may be folded inside a UTF-8 character.
    const QString source = withPlainZoneNames(QString::fromLatin1(original));
    const QByteArray text = source.toLatin1();
    QSet<QString> definedZones;
    for (auto match = defined.globalMatch(source); match.hasNext();)
        definedZones.insert(match.next().captured(1));
    QString result;
    int last = 0;
    bool changed = false;
    for (auto matches = parameter.globalMatch(source); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        const QString zone = match.captured(2);
        if (QTimeZone::isTimeZoneIdAvailable(zone.toLatin1()))
            continue;
        const bool defined = definedZones.contains(zone);
        const QByteArray iana = defined ? zoneByRules(source, zone) : ianaZone(zone);
        if (defined && iana.isEmpty())
            continue;
        if (iana.isEmpty()) {
            // Qt reads more zones (links such as Asia/Calcutta) than it lists.
            if (!QTimeZone(zone.toLatin1()).isValid())
                unknown->insert(QString::fromUtf8(zone.toLatin1()));
            continue;
        }
        result += source.midRef(last, match.capturedStart() - last) + QLatin1String(";TZID=")
            + QString::fromLatin1(iana) + match.captured(3);
        last = match.capturedEnd();
        changed = true;
    }
    return changed ? (result + source.midRef(last)).toLatin1() : text;
}

// The uids of the entries (not their exceptions) that give a repeat rule.
QSet<QString> uidsWithRules(const QByteArray &text)
{
    QSet<QString> uids;
    if (!text.contains("RRULE"))
        return uids;
    // Unfolded as bytes: a fold may split a UTF-8 character.
    QByteArray bytes = text;
    bytes.replace("\r\n ", "").replace("\r\n\t", "").replace("\n ", "").replace("\n\t", "");
    const QString unfolded = QString::fromUtf8(bytes);
    QString uid;
    bool inEntry = false;
    bool rule = false;
    bool exception = false;
    for (const QStringRef &raw : unfolded.splitRef(QLatin1Char('\n'))) {
        const QStringRef line = raw.trimmed();
        if (line == QLatin1String("BEGIN:VEVENT") || line == QLatin1String("BEGIN:VTODO")) {
            inEntry = true;
            uid.clear();
            rule = exception = false;
        } else if (inEntry && (line == QLatin1String("END:VEVENT") || line == QLatin1String("END:VTODO"))) {
            if (rule && !exception)
                uids.insert(uid);
            inEntry = false;
        } else if (inEntry) {
            const int colon = line.indexOf(QLatin1Char(':'));
            const QStringRef name = line.left(qMax(0, colon)).split(QLatin1Char(';')).value(0);
            if (name == QLatin1String("UID"))
                uid = line.mid(colon + 1).trimmed().toString();
            rule = rule || name == QLatin1String("RRULE");
            exception = exception || name == QLatin1String("RECURRENCE-ID");
        }
    }
    return uids;
}

// A yearly rule of days counted back from the year's end, all in one month
// and no earlier than 1 March, said by that month and its days instead.
void asMonthDays(RecurrenceRule *rule)
{
    const QList<int> yearDays = rule->byYearDays();
    if (yearDays.isEmpty() || rule->recurrenceType() != RecurrenceRule::rYearly || !rule->byMonths().isEmpty()
        || !rule->byMonthDays().isEmpty() || !rule->byDays().isEmpty() || !rule->byWeekNumbers().isEmpty()
        || !rule->bySetPos().isEmpty())
        return;
    // 2027 has no 29 February: its dates from March on are every year's.
    const QDate end(2027, 12, 31);
    int month = 0;
    QList<int> days;
    for (const int yearDay : yearDays) {
        if (yearDay >= 0 || yearDay < -306)
            return;
        const QDate date = end.addDays(yearDay + 1);
        if (month != 0 && date.month() != month)
            return;
        month = date.month();
        days.append(date.day());
    }
    rule->setByYearDays({});
    rule->setByMonths({month});
    rule->setByMonthDays(days);
}

// "This one and all later ones" changed (RECURRENCE-ID;RANGE=THISANDFUTURE,
// as Apple writes it): the library applies such a change to its own
// occurrence only. As other calendars store it, the series ends before that
// occurrence and the change goes on as a series of its own (a uid of its
// own, which a second import of the file finds again), moved by as much as
// it moved its occurrence; the later exceptions and dates go with it.
void splitAtFutureChanges(Incidence::List &incidences)
{
    Incidence::List changes;
    for (const Incidence::Ptr &incidence : qAsConst(incidences)) {
        if (incidence->hasRecurrenceId() && incidence->thisAndFuture())
            changes.append(incidence);
    }
    // The earliest first: a later one then belongs to the series the earlier
    // one started.
    std::sort(changes.begin(), changes.end(), [](const Incidence::Ptr &a, const Incidence::Ptr &b) {
        return a->recurrenceId() < b->recurrenceId();
    });
    for (const Incidence::Ptr &change : qAsConst(changes)) {
        change->setThisAndFuture(false);
        const auto series = std::find_if(incidences.cbegin(), incidences.cend(), [&change](const Incidence::Ptr &i) {
            return i->uid() == change->uid() && !i->hasRecurrenceId() && i->recurs();
        });
        if (series == incidences.cend() || !change->dtStart().isValid())
            continue; // the series is not in the file: its own occurrence only
        const Incidence::Ptr old = *series;
        const QDateTime from = change->recurrenceId();
        Recurrence *was = old->recurrence();
        // Occurrences of counted rules still to come from the change on.
        QList<RecurrenceRule *> rules;
        for (const RecurrenceRule *rule : was->rRules()) {
            auto *copy = new RecurrenceRule(*rule);
            if (rule->duration() > 0) {
                const int left = rule->duration() - rule->durationTo(from.addSecs(-1));
                if (left <= 0) {
                    delete copy;
                    continue;
                }
                copy->setDuration(left);
            }
            rules.append(copy);
        }
        const qint64 moved = from.secsTo(change->dtStart());
        QList<QDateTime> laterDates;
        QList<QDateTime> earlierDates;
        for (const QDateTime &date : was->rDateTimes())
            (date >= from ? laterDates : earlierDates).append(date);
        DateList laterDays;
        DateList earlierDays;
        for (const QDate &day : was->rDates())
            (day >= from.date() ? laterDays : earlierDays).append(day);
        if (rules.isEmpty() && laterDates.isEmpty() && laterDays.isEmpty())
            continue; // nothing of the series follows: its own occurrence only

        Incidence::Ptr next(change->clone());
        next->setRecurrenceId(QDateTime());
        // In ASCII digits whatever the locale: the uid must come out the same.
        next->setUid(change->uid() + QLatin1Char('-')
                     + QLocale::c().toString(from.toUTC(), QStringLiteral("yyyyMMddTHHmmssZ")));
        // A change that gives its own rule keeps it.
        Recurrence *goesOn = next->recurrence();
        if (next->recurs()) {
            qDeleteAll(rules);
        } else {
            goesOn->setStartDateTime(next->dtStart(), next->allDay());
            for (RecurrenceRule *rule : qAsConst(rules)) {
                rule->setStartDt(next->dtStart());
                goesOn->addRRule(rule);
            }
            QList<QDateTime> movedDates;
            for (const QDateTime &date : qAsConst(laterDates))
                movedDates.append(date.addSecs(moved));
            goesOn->setRDateTimes(movedDates);
            DateList movedDays;
            for (const QDate &day : qAsConst(laterDays))
                movedDays.append(day.addDays(moved / 86400));
            goesOn->setRDates(movedDays);
            QList<QDateTime> skipped;
            for (const QDateTime &date : was->exDateTimes()) {
                if (date >= from)
                    skipped.append(date.addSecs(moved));
            }
            goesOn->setExDateTimes(skipped);
        }

        // The series ends before the change.
        for (RecurrenceRule *rule : was->rRules()) {
            const QDateTime end = rule->endDt();
            if (!end.isValid() || rule->duration() == -1 || end >= from)
                rule->setEndDt(from.addSecs(-1));
        }
        was->setRDateTimes(earlierDates);
        was->setRDates(earlierDays);

        // Later exceptions of the series are of the new one now.
        for (const Incidence::Ptr &other : qAsConst(incidences)) {
            if (other != change && other->uid() == change->uid() && other->hasRecurrenceId()
                && other->recurrenceId() > from) {
                other->setUid(next->uid());
                other->setRecurrenceId(other->recurrenceId().addSecs(moved));
            }
        }
        incidences.replace(incidences.indexOf(change), next);
    }
}

// A time the clocks skip, as they show it an hour later: 02:30 as 03:30
// where summer time begins at 02:00, 00:00 as 01:00 where it begins at
// midnight. Left as it is where that is no time of its day either.
QDateTime pastTheGap(const QDateTime &when)
{
    if (when.isValid() || !when.date().isValid() || !when.time().isValid())
        return when;
    const QDate day = when.time() >= QTime(1, 0) ? when.date() : when.date().addDays(-1);
    const QTime hourBefore = when.time().addSecs(-3600);
    const QDateTime moved = (when.timeSpec() == Qt::TimeZone ? QDateTime(day, hourBefore, when.timeZone())
                                                               : QDateTime(day, hourBefore, when.timeSpec()))
                                .addSecs(3600);
    return moved.isValid() && moved.date() == when.date() ? moved : when;
}

// A time the clocks show twice (02:30 where summer time ends at 03:00) is
// the first of the two, as the standard says and other calendars read it; Qt
// takes the second. Kept as that instant: the zone's time alone would be read
// as the second again.
QDateTime firstOfTwice(const QDateTime &when)
{
    if (!when.isValid() || when.timeSpec() != Qt::TimeZone)
        return when;
    for (const int back : {3600, 1800}) {
        const QDateTime earlier = when.addSecs(-back);
        if (earlier.date() == when.date() && earlier.time() == when.time())
            return earlier.toUTC();
    }
    return when;
}

} // namespace

CalendarImporter::Result CalendarImporter::parse(const QByteArray &original)
{
    QSet<QString> unknownZones;
    const QByteArray text = withKnownZoneNames(original, &unknownZones);
    m_incidences.clear();
    m_notes.clear();
    m_error.clear();
    for (const QString &zone : qAsConst(unknownZones))
        m_notes.append(QStringLiteral("the time zone \"%1\" is not known: times in it are taken as the phone's").arg(zone));
    MemoryCalendar::Ptr parsed(new MemoryCalendar(mKCal::ExtendedCalendar::systemZone()));
    ICalFormat format;
    // The parser logs the whole text it could not read: a screenful of
    // megabytes, or binary junk, before the tool's own word.
    static QtMessageHandler parent = nullptr;
    parent = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &message) {
        if (!message.startsWith(QLatin1String("parse error from icalcomponent_new_from_string")))
            parent(type, context, message);
    });
    const bool read = !text.trimmed().isEmpty() && format.fromRawString(parsed, text);
    qInstallMessageHandler(parent);
    if (!read)
        return NotICalendar;
    // Google's and Apple's exports name the calendar's zone apart; their times
    // without a zone of their own are times of that zone, not of the phone's.
    // Without one, floating times stay floating: QTimeZone of an empty name
    // is the system's zone.
    const QByteArray calendarZoneId = parsed->nonKDECustomProperty("X-WR-TIMEZONE").trimmed().toUtf8();
    const QTimeZone calendarZone = calendarZoneId.isEmpty() ? QTimeZone() : QTimeZone(calendarZoneId);
    const Incidence::List incidences = parsed->rawIncidences();
    const QSet<QString> ruled = uidsWithRules(text);
    for (const Incidence::Ptr &incidence : incidences) {
        // The library drops a rule it cannot read (FREQ=SOMETIMES) and keeps
        // the entry as a single one.
        if (!incidence->recurs() && !incidence->hasRecurrenceId() && ruled.contains(incidence->uid()))
            m_notes.append(QStringLiteral("the entry %1 (\"%2\") has a repeat rule (RRULE) that cannot be read: it is "
                                          "kept as a single entry")
                               .arg(incidence->uid(), incidence->summary()));
        // Floating times are times of the calendar's zone. A to-do with no
        // start has one of no kind: its due time decides (a UTC one was moved).
        if (calendarZone.isValid() && !incidence->allDay()) {
            const QDateTime start = incidence->dtStart();
            const Todo::Ptr todo = incidence->type() == Incidence::TypeTodo ? incidence.staticCast<Todo>() : Todo::Ptr();
            const QDateTime due = todo && todo->hasDueDate() ? todo->dtDue(true) : QDateTime();
            if (start.isValid() ? start.timeSpec() == Qt::LocalTime : due.isValid() && due.timeSpec() == Qt::LocalTime)
                incidence->shiftTimes(mKCal::ExtendedCalendar::systemZone(), calendarZone);
        }
        // A start in the hour the clocks skip, also at midnight where summer
        // time begins then (Chile), is taken as the clocks show it an hour later.
        if (!incidence->dtStart().isValid())
            incidence->setDtStart(pastTheGap(incidence->dtStart()));
        // A series keeps its zone: its occurrences are found by wall time.
        if (!incidence->recurs() && !incidence->allDay()) {
            incidence->setDtStart(firstOfTwice(incidence->dtStart()));
            if (incidence->type() == Incidence::TypeEvent) {
                const Event::Ptr event = incidence.staticCast<Event>();
                if (event->hasEndDate())
                    event->setDtEnd(firstOfTwice(event->dtEnd()));
            }
        }
        // A repeat end without a zone (a date, as Google and Apple write it, or a
        // floating time) is a time where the entry happens; the library takes
        // the phone's midnight, which west of UTC drops the last occurrence.
        if (!incidence->allDay() && incidence->dtStart().isValid()) {
            static const QRegularExpression until(QStringLiteral("UNTIL=(\\d{8})(?:T(\\d{6}))?(?![\\dTZ])"));
            const QDateTime begin = incidence->dtStart();
            for (RecurrenceRule *rule : incidence->recurrence()->rRules()) {
                const QRegularExpressionMatch match = until.match(rule->rrule());
                if (!match.hasMatch())
                    continue;
                const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
                const QTime time = match.captured(2).isEmpty() ? QTime(23, 59, 59)
                                                                 : QTime::fromString(match.captured(2), QStringLiteral("HHmmss"));
                const QDateTime end = begin.timeSpec() == Qt::TimeZone ? QDateTime(date, time, begin.timeZone())
                                                                       : QDateTime(date, time, begin.timeSpec());
                if (end.isValid())
                    rule->setEndDt(end);
            }
        }
        // The library never repeats a day counted from the year's end
        // (BYYEARDAY=-1, the last day). From 1 March on, such a day is the
        // same date every year: one month and its days say it.
        for (RecurrenceRule *rule : incidence->recurrence()->rRules())
            asMonthDays(rule);
        // A to-do given a start and how long it takes (DURATION) is due when
        // that time is up; the library keeps the two apart and no due time.
        if (incidence->type() == Incidence::TypeTodo) {
            const Todo::Ptr todo = incidence.staticCast<Todo>();
            if (!todo->hasDueDate() && todo->hasDuration() && todo->dtStart().isValid()) {
                const QDateTime due = todo->duration().end(todo->dtStart());
                todo->setHasDuration(false);
                todo->setDtDue(due, true);
            }
        }
        // A length in hours (DURATION:PT24H) is exact: across a change of the
        // clocks it ends an hour off its start's time of day. Stored, the
        // library writes whole days of it as days (P1D), which keep the time
        // of day; an end time keeps it exact.
        if (incidence->type() == Incidence::TypeEvent && incidence->hasDuration() && !incidence->duration().isDaily()
            && incidence->dtStart().isValid()) {
            const Event::Ptr event = incidence.staticCast<Event>();
            const QDateTime end = event->duration().end(event->dtStart());
            event->setHasDuration(false);
            event->setDtEnd(end);
        }
        // An event is a time: without a start it could never be shown.
        if (incidence->type() == Incidence::TypeEvent && !incidence->dtStart().isValid()) {
            m_notes.append(QStringLiteral("skipped the event %1 (\"%2\"): it has no valid start (DTSTART)")
                               .arg(incidence->uid(), incidence->summary()));
            continue;
        }
        // An end before the start would show as "14:00 - 13:00".
        if (incidence->type() == Incidence::TypeEvent) {
            const Event::Ptr event = incidence.staticCast<Event>();
            // Outlook writes a whole day as midnight to midnight with its own
            // all-day mark; the library makes it whole days but keeps the
            // exclusive end, one day too many. (Date values come floating, their
            // end already the last day.)
            if (event->allDay() && event->hasEndDate() && event->dtEnd().timeSpec() != Qt::LocalTime
                && event->dtEnd().time() == QTime(0, 0) && event->dtEnd().date() > event->dtStart().date()
                && event->nonKDECustomProperty("X-MICROSOFT-CDO-ALLDAYEVENT").trimmed().compare(
                       QLatin1String("TRUE"), Qt::CaseInsensitive) == 0)
                event->setDtEnd(event->dtEnd().addDays(-1));
            if (event->hasEndDate() && event->dtEnd() < event->dtStart()) {
                event->setDtEnd(event->dtStart());
                m_notes.append(QStringLiteral("the event %1 (\"%2\") ends before it starts: it ends at its start now")
                                   .arg(incidence->uid(), incidence->summary()));
            }
        }
        m_incidences.append(incidence);
    }
    splitAtFutureChanges(m_incidences);
    return m_incidences.isEmpty() ? NoEntries : Imported;
}

CalendarImporter::Result CalendarImporter::store(const mKCal::ExtendedStorage::Ptr &storage)
{
    m_added = 0;
    m_updated = 0;
    const mKCal::ExtendedCalendar::Ptr calendar = storage->calendar();
    // A uid names one entry: an event and a to-do of one uid would replace
    // each other in the database. The first one, stored or in the file, stays.
    QHash<QString, IncidenceBase::IncidenceType> types;
    QSet<QString> seen;
    Incidence::List ordered;
    for (const Incidence::Ptr &incidence : qAsConst(m_incidences)) {
        storage->loadIncidence(incidence->uid());
        const Incidence::Ptr stored = calendar->incidence(incidence->uid(), incidence->recurrenceId());
        const auto type = types.constFind(incidence->uid());
        const IncidenceBase::IncidenceType kept =
            type != types.constEnd() ? type.value() : stored ? stored->type() : incidence->type();
        if (kept != incidence->type()) {
            const auto name = [](IncidenceBase::IncidenceType type) {
                return QString::fromLatin1(type == IncidenceBase::TypeEvent ? "event"
                                           : type == IncidenceBase::TypeTodo ? "to-do"
                                                                             : "journal");
            };
            m_notes.append(QStringLiteral("skipped the %1 %2 (\"%3\"): the %4 of that uid stays")
                               .arg(name(incidence->type()), incidence->uid(), incidence->summary(), name(kept)));
            continue;
        }
        types.insert(incidence->uid(), kept);
        const QString key = incidence->uid() + QLatin1Char('\x1f') + incidence->recurrenceId().toString(Qt::ISODate);
        // A later copy in the file replaces the first: still one entry.
        if (!seen.contains(key))
            ++(stored ? m_updated : m_added);
        seen.insert(key);
        ordered.append(incidence);
    }
    // What is stored, for incidences() and a second store().
    m_incidences = ordered;

    // Series before their exceptions: replacing a series removes its old
    // exceptions with it, and must not take those of the file along.
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
