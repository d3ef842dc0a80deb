// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "extendedstorage.h"

#include "sqlitefile.h"

#include <algorithm>

#include <KCalendarCore/Event>
#include <KCalendarCore/ICalFormat>
#include <KCalendarCore/Todo>

#include <QtCore/QAtomicInt>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDataStream>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimeZone>
#include <QtCore/QVector>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlError>
#include <QtSql/QSqlQuery>

#include <algorithm>
#include <cstring>
#include <limits>

using namespace KCalendarCore;

namespace mKCal {

namespace {

// Change log entries kept for readers that lag behind; one that lags further
// reloads everything it holds.
const qint64 ChangeLogLength = 10000;
// An open-ended series ends never.
const qint64 EndOfTime = std::numeric_limits<qint64>::max();
// How often a database read as it is on disk is tried the normal way again.
const qint64 RetryAsItIsMs = 2000;
// Above this COUNT a series is stored as open-ended.
const int LongestWalkedCount = 1000;
// Entries lasting longer, and all recurring ones, are "long".
const qint64 LongSpan = 7 * 86400;
// How far from loaded dates a replaced occurrence may lie and still count:
// zones and summer time move its day by one at most.
const qint64 ReplacedMargin = 2 * 86400;

const char *const Schema[] = {
    "CREATE TABLE IF NOT EXISTS incidences ("
    " uid TEXT NOT NULL,"
    " recurrence_id TEXT NOT NULL DEFAULT '',"
    " start_time INTEGER,"
    " end_time INTEGER,"
    " recurs INTEGER NOT NULL DEFAULT 0,"
    " long INTEGER NOT NULL DEFAULT 0,"
    " ical TEXT NOT NULL,"
    " period INTEGER NOT NULL DEFAULT 0,"
    " data BLOB,"
    " start_day INTEGER,"
    " span_days INTEGER NOT NULL DEFAULT 1,"
    " PRIMARY KEY (uid, recurrence_id))",
    // Short entries are found by their start within a bounded window, long and
    // recurring ones (few) by their end: neither scan reaches far past the range.
    "CREATE INDEX IF NOT EXISTS incidences_start ON incidences (long, start_time)",
    // Long ones (few) by their end, with what decides whether a series occurs
    // on the dates and what a load reads of it: a load of a date reads them
    // from this index alone, without a look into the table for each.
    "DROP INDEX IF EXISTS incidences_end",
    "CREATE INDEX IF NOT EXISTS incidences_long ON incidences"
    " (end_time, start_time, period, start_day, span_days, uid, recurrence_id, data) WHERE long = 1",
    "CREATE INDEX IF NOT EXISTS incidences_recurs ON incidences (recurs, end_time)",
    // Moved or changed occurrences of series (few), by the occurrence they stand for.
    "CREATE INDEX IF NOT EXISTS incidences_replacing ON incidences (recurrence_id) WHERE recurrence_id != ''",
    "CREATE TABLE IF NOT EXISTS changes ("
    " seq INTEGER PRIMARY KEY AUTOINCREMENT,"
    " uid TEXT NOT NULL,"
    " recurrence_id TEXT NOT NULL DEFAULT '')",
};

// The file format: 0 before series carried their period, 1 before entries
// carried their parsed form, 2 before series carried the day they start on,
// 3 before they carried how many days after it an occurrence reaches.
const int SchemaVersion = 4;

// A series whose occurrences, each shorter than a day, come every so many
// days at the same time of day (a plain daily or weekly rule): the days
// between two occurrences. 0 for any other series, which is always read.
qint64 periodOf(const Incidence::Ptr &incidence, const QVariant &startSecs)
{
    if (!incidence->recurs() || startSecs.isNull() || startSecs.toLongLong() < 0)
        return 0;
    const Recurrence *recurrence = incidence->recurrence();
    if (recurrence->rRules().size() != 1 || !recurrence->exRules().isEmpty() || !recurrence->rDates().isEmpty()
        || !recurrence->rDateTimes().isEmpty())
        return 0;
    const RecurrenceRule *rule = recurrence->rRules().first();
    const QDateTime start = incidence->dtStart();
    if (!start.isValid() || !rule->bySetPos().isEmpty() || !rule->byMonths().isEmpty()
        || !rule->byMonthDays().isEmpty() || !rule->byYearDays().isEmpty() || !rule->byWeekNumbers().isEmpty()
        || !rule->byHours().isEmpty() || !rule->byMinutes().isEmpty() || !rule->bySeconds().isEmpty())
        return 0;
    const QList<RecurrenceRule::WDayPos> days = rule->byDays();
    qint64 period;
    if (rule->recurrenceType() == RecurrenceRule::rDaily && days.isEmpty()) {
        period = 1;
    } else if (rule->recurrenceType() == RecurrenceRule::rWeekly
               && (days.isEmpty()
                   || (days.size() == 1 && days.first().pos() == 0 && days.first().day() == start.date().dayOfWeek()))) {
        period = 7;
    } else {
        return 0;
    }
    if (rule->frequency() < 1)
        return 0;
    qint64 length = 0;
    if (incidence->allDay() && incidence->type() == Incidence::TypeEvent)
        length = 86400 * (start.date().daysTo(incidence.staticCast<Event>()->dtEnd().date()) + 1);
    else if (incidence->type() == Incidence::TypeEvent)
        length = start.secsTo(incidence.staticCast<Event>()->dtEnd());
    else if (incidence->type() == Incidence::TypeTodo && incidence.staticCast<Todo>()->hasDueDate())
        length = start.secsTo(incidence.staticCast<Todo>()->dtDue(true));
    // Within a day and an hour of change to summer time.
    if (length > 90000)
        return 0;
    return period * rule->frequency();
}

// The Julian day a series with a period starts on where its dates are the
// same wherever the device is (floating times, all-day dates): its days are
// then known exactly. NULL for any other entry.
QVariant startDayOf(const Incidence::Ptr &incidence, qint64 period)
{
    const QDateTime start = incidence->dtStart();
    if (period <= 0 || !start.isValid() || !(incidence->allDay() || start.timeSpec() == Qt::LocalTime))
        return QVariant(QVariant::LongLong);
    return start.date().toJulianDay();
}

// How many days after the one it starts on an occurrence of such a series
// still touches (0 unless it lasts past midnight).
qint64 spanDaysOf(const Incidence::Ptr &incidence)
{
    const QDateTime start = incidence->dtStart();
    QDateTime end;
    if (incidence->type() == Incidence::TypeEvent)
        end = incidence.staticCast<Event>()->dtEnd();
    else if (incidence->type() == Incidence::TypeTodo && incidence.staticCast<Todo>()->hasDueDate())
        end = incidence.staticCast<Todo>()->dtDue(true);
    if (!start.isValid() || !end.isValid() || end <= start)
        return 0;
    // All-day dates include their last day; a time ends just before it.
    const QDate last = incidence->allDay() ? end.date() : end.addSecs(-1).date();
    return qMax<qint64>(0, start.date().daysTo(last));
}

// The parsed form of an entry, beside its iCalendar text: read several times
// faster. A digest of the rest first, since the library's serialisation
// trusts the counts it reads and a damaged row must fall back to the text;
// then the type and the library's own serialisation.
const int DigestLength = 16;

QByteArray encoded(const Incidence::Ptr &incidence)
{
    QByteArray data;
    if (incidence->type() != Incidence::TypeEvent && incidence->type() != Incidence::TypeTodo)
        return data;
    QDataStream stream(&data, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_5_15);
    stream << quint8(incidence->type()) << IncidenceBase::Ptr(incidence);
    return QCryptographicHash::hash(data, QCryptographicHash::Md5) + data;
}

// Null when the data is missing, damaged or not understood: the text is
// read then.
Incidence::Ptr decoded(const QByteArray &data)
{
    if (data.size() <= DigestLength)
        return Incidence::Ptr();
    const QByteArray payload = QByteArray::fromRawData(data.constData() + DigestLength, data.size() - DigestLength);
    if (QCryptographicHash::hash(payload, QCryptographicHash::Md5) != data.left(DigestLength))
        return Incidence::Ptr();
    QDataStream stream(payload);
    stream.setVersion(QDataStream::Qt_5_15);
    quint8 type = 0;
    stream >> type;
    // Copies of blank ones: a new one draws a random uid (slow on some
    // CPUs) that the data overwrites at once.
    static const Event blankEvent;
    static const Todo blankTodo;
    IncidenceBase::Ptr incidence;
    if (type == Incidence::TypeEvent)
        incidence = Event::Ptr(new Event(blankEvent));
    else if (type == Incidence::TypeTodo)
        incidence = Todo::Ptr(new Todo(blankTodo));
    else
        return Incidence::Ptr();
    stream >> incidence;
    if (stream.status() != QDataStream::Ok || incidence->uid().isEmpty())
        return Incidence::Ptr();
    return incidence.staticCast<Incidence>();
}

enum class Pending { Added, Changed, Deleted };

// The listed zone a zone name stands for: the library resolves a TZID through
// Qt only for the zones Qt lists, and otherwise from the VTIMEZONE beside it,
// which it writes empty for a zone without clock changes. A link such as
// Asia/Calcutta (what Qt makes of Outlook's "India Standard Time") thus read
// back as UTC. Empty when the name is listed or names no zone.
QByteArray listedZone(const QByteArray &id)
{
    thread_local QHash<QByteArray, QByteArray> known;
    const auto found = known.constFind(id);
    if (found != known.constEnd())
        return found.value();
    QByteArray listed;
    if (!QTimeZone::isTimeZoneIdAvailable(id) && QTimeZone(id).isValid()) {
        const QString dir = QFileInfo(qEnvironmentVariable("TZDIR", QStringLiteral("/usr/share/zoneinfo")))
                                .canonicalFilePath() + QLatin1Char('/');
        const QString target = QFileInfo(dir + QString::fromUtf8(id)).canonicalFilePath();
        const QByteArray name = target.startsWith(dir) ? target.mid(dir.size()).toUtf8() : QByteArray();
        if (!name.isEmpty() && QTimeZone::isTimeZoneIdAvailable(name))
            listed = name;
    }
    known.insert(id, listed);
    return listed;
}

// The text with every zone name that Qt does not list replaced by the listed
// zone it links to.
QByteArray withListedZones(const QByteArray &ical)
{
    QByteArray result;
    int last = 0;
    for (int at = ical.indexOf("TZID"); at >= 0; at = ical.indexOf("TZID", at + 4)) {
        int start = at + 4;
        if (start >= ical.size() || (ical.at(start) != '=' && ical.at(start) != ':'))
            continue;
        ++start;
        if (start < ical.size() && ical.at(start) == '"')
            ++start;
        int end = start;
        while (end < ical.size() && !std::strchr("\"\r\n;:", ical.at(end)))
            ++end;
        const QByteArray listed = listedZone(ical.mid(start, end - start));
        if (listed.isEmpty())
            continue;
        result += ical.mid(last, start - last) + listed;
        last = end;
    }
    return last == 0 ? ical : result + ical.mid(last);
}

// The library writes a recurring to-do's X-KDE-LIBKCAL-DTRECURRENCE itself,
// and reads it back as a custom property too: kept, it is written once more
// on every save and grows without end.
bool hasRecurrenceCopy(const Incidence::Ptr &incidence)
{
    return !incidence->customProperty("LIBKCAL", "DTRECURRENCE").isEmpty();
}

Incidence::Ptr readText(ICalFormat &format, const QByteArray &ical)
{
    const Incidence::Ptr incidence = format.readIncidence(withListedZones(ical));
    if (incidence && hasRecurrenceCopy(incidence))
        incidence->removeCustomProperty("LIBKCAL", "DTRECURRENCE");
    return incidence;
}

struct Key {
    QString uid;
    QString recurrenceId;
};

QString recurrenceIdText(const Incidence::Ptr &incidence)
{
    // Never null: a null string would be bound as SQL NULL.
    return incidence->hasRecurrenceId() ? incidence->recurrenceId().toUTC().toString(Qt::ISODate)
                                        : QStringLiteral("");
}

QString keyOf(const QString &uid, const QString &recurrenceId)
{
    return recurrenceId.isEmpty() ? uid : uid + QLatin1Char('\x1f') + recurrenceId;
}

QString keyOf(const Incidence::Ptr &incidence)
{
    return keyOf(incidence->uid(), recurrenceIdText(incidence));
}

} // namespace

class ExtendedStoragePrivate
{
public:
    ExtendedStoragePrivate(ExtendedStorage *q, const ExtendedCalendar::Ptr &calendar, const QString &databaseName,
                           bool readOnly)
        : q(q)
        , calendar(calendar)
        , databaseName(databaseName)
        , readOnly(readOnly)
    {
        static QAtomicInt counter;
        connectionName = QStringLiteral("mkcal-storage-%1").arg(counter.fetchAndAddRelaxed(1));
    }

    bool fail(const QString &what, const QSqlError &error = QSqlError());
    bool exec(QSqlQuery &query);
    bool createSchema();
    // Opens the file for reading and writing (or reading: readOnly).
    bool openFile();
    // What the file's schema has.
    bool readLayout();
    // One read as it is on disk (asItIs) is opened the normal way again when
    // the disk allows it: at once, once the file shows another process's
    // write, or every RetryAsItIsMs. Whether still so.
    enum class Retry { Timed, IfWritten, Now };
    bool reopenWithRoom(Retry retry = Retry::Timed);
    QString stateOnDisk() const;
    bool migrate(int version);
    bool sync();
    bool readRows(QSqlQuery &query);
    bool covers(const QVariant &start, const QVariant &end, bool recurs, bool isLong) const;
    bool coversReplaced(const QString &recurrenceId) const;
    bool isCovered(qint64 from, qint64 to) const;
    void cover(qint64 from, qint64 to);
    void forgetCoverage();
    Incidence::Ptr parsed(const QString &key, const QByteArray &ical, const QByteArray &data);
    bool addParsed(const QString &key, const QByteArray &ical, const QByteArray &data);
    QString dataColumn() const { return hasPeriods ? QStringLiteral("data") : QStringLiteral("NULL"); }
    // The text only where there is no parsed form: mostly that is read, and
    // the text is looked up when it fails (see parsed()).
    QString textColumn() const
    {
        return hasPeriods ? QStringLiteral("CASE WHEN data IS NULL THEN ical END") : QStringLiteral("ical");
    }
    QByteArray textOf(const QString &key);
    void forget(const QString &key);
    bool writeIncidence(const QString &key, Pending kind);
    qint64 dataVersion();
    qint64 lastChange();
    void bounds(const Incidence::Ptr &incidence, QVariant *start, QVariant *end, bool *recurs) const;

    ExtendedStorage *q;
    ExtendedCalendar::Ptr calendar;
    QString databaseName;
    QString connectionName;
    QSqlDatabase db;
    bool readOnly;
    // Opened as the file is on disk (see SqliteFile::openAsItIs()): read only.
    bool asItIs = false;
    QElapsedTimer retried;
    QString seenOnDisk;
    bool quiet = false; // no warnings from failures
    bool isOpen = false;
    QString error;
    QString sqlCode; // SQLite's code of the last failure

    // Incidences this storage put into the calendar (or saved from it), by key.
    QHash<QString, Incidence::Ptr> loaded;
    // The calendar's changes not yet saved, by key.
    QHash<QString, Pending> pending;
    // Set while the storage itself changes the calendar: not a user's change.
    bool applying = false;

    qint64 lastSeq = 0;
    QSet<qint64> ownSeqs;
    qint64 syncVersion = -1;
    qint64 pollVersion = -1;
    int read = 0;
    // The start of the earliest date loaded, in seconds; none yet when unset.
    QVariant earliestLoaded;
    // What earlier loads read, so that asking again reads nothing: the date
    // ranges ([from, to) in seconds, sorted, disjoint), the recurring rows that
    // end after recurringSince, or everything. sync() brings in what other
    // connections write within it.
    QVector<QPair<qint64, qint64>> covered;
    bool recurringLoaded = false;
    qint64 recurringSince = 0;
    bool allLoaded = false;
    // A file of an earlier format opened read-only has no periods.
    bool hasPeriods = false;
    bool hasStartDays = false;
    bool hasLongIndex = false;
    KCalendarCore::ICalFormat format;
};

bool ExtendedStoragePrivate::fail(const QString &what, const QSqlError &sqlError)
{
    error = what;
    sqlCode = sqlError.nativeErrorCode();
    if (sqlError.isValid())
        error += QLatin1String(": ") + sqlError.text();
    if (!quiet)
        qWarning().noquote() << "mKCal:" << error << QLatin1Char('(') + databaseName + QLatin1Char(')');
    return false;
}

bool ExtendedStoragePrivate::exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    return fail(QStringLiteral("calendar database query failed"), query.lastError());
}

bool ExtendedStoragePrivate::createSchema()
{
    QSqlQuery query(db);
    // A current file needs no write lock: a reader does not wait for
    // another process's long write.
    if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next() && query.value(0).toInt() == SchemaVersion)
        return true;
    query.finish();
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return fail(QStringLiteral("cannot write the calendar database"), query.lastError());
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        fail(QStringLiteral("cannot read the calendar database"), query.lastError());
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    const int version = query.value(0).toInt();
    query.finish();
    bool ok = true;
    if (version < SchemaVersion && query.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = 'incidences'"))
        && query.next()) {
        query.finish();
        ok = migrate(version);
    }
    for (int i = 0; ok && i < int(sizeof(Schema) / sizeof(Schema[0])); ++i) {
        if (!query.exec(QLatin1String(Schema[i])))
            ok = fail(QStringLiteral("cannot create the calendar tables"), query.lastError());
    }
    // Written only when it changes: an open that finds the file current
    // writes nothing, and other connections see no change.
    if (ok && version < SchemaVersion && !query.exec(QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion)))
        ok = fail(QStringLiteral("cannot create the calendar tables"), query.lastError());
    if (!ok) {
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return fail(QStringLiteral("cannot create the calendar tables"), query.lastError());
    return true;
}

// Brings a file of an earlier format up to date within the caller's
// transaction: series learn their period and parsed form from their own
// text; every row stays as it was.
bool ExtendedStoragePrivate::migrate(int version)
{
    QSqlQuery query(db);
    if ((version < 1 && !query.exec(QStringLiteral("ALTER TABLE incidences ADD COLUMN period INTEGER NOT NULL DEFAULT 0")))
        || (version < 2 && !query.exec(QStringLiteral("ALTER TABLE incidences ADD COLUMN data BLOB")))
        || (version < 3 && !query.exec(QStringLiteral("ALTER TABLE incidences ADD COLUMN start_day INTEGER")))
        || !query.exec(QStringLiteral("ALTER TABLE incidences ADD COLUMN span_days INTEGER NOT NULL DEFAULT 1")))
        return fail(QStringLiteral("cannot update the calendar database"), query.lastError());
    {
        // The series, read for every day, get their parsed form now; other
        // rows keep only their text until written again.
        QSqlQuery update(db);
        update.prepare(QStringLiteral("UPDATE incidences SET period = ?, data = ?, start_day = ?, span_days = ?"
                                      " WHERE uid = ? AND recurrence_id = ?"));
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT uid, recurrence_id, ical, start_time FROM incidences WHERE recurs = 1")))
            return fail(QStringLiteral("cannot update the calendar database"), query.lastError());
        while (query.next()) {
            const Incidence::Ptr incidence = readText(format, query.value(2).toByteArray());
            if (!incidence)
                continue;
            QByteArray data = encoded(incidence);
            const Incidence::Ptr fromData = decoded(data);
            if (!fromData || !(*fromData == *incidence))
                data.clear();
            const qint64 period = periodOf(incidence, query.value(3));
            update.bindValue(0, period);
            update.bindValue(1, data.isEmpty() ? QVariant(QVariant::ByteArray) : QVariant(data));
            update.bindValue(2, startDayOf(incidence, period));
            update.bindValue(3, spanDaysOf(incidence));
            update.bindValue(4, query.value(0));
            update.bindValue(5, query.value(1));
            if (!exec(update))
                return false;
        }
    }
    return true;
}

qint64 ExtendedStoragePrivate::dataVersion()
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA data_version")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

qint64 ExtendedStoragePrivate::lastChange()
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT max(seq) FROM changes")) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

bool ExtendedStoragePrivate::openFile()
{
    db.close();
    db.setDatabaseName(databaseName);
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return fail(QStringLiteral("cannot open the calendar database"), db.lastError());
    QSqlQuery query(db);
    // Readers and one writer at a time, across processes.
    if (!(readOnly || query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        || !query.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
        return fail(QStringLiteral("the calendar database is unreadable"), query.lastError());
    query.finish();
    return readOnly || createSchema();
}

bool ExtendedStoragePrivate::readLayout()
{
    QSqlQuery query(db);
    hasPeriods = query.exec(QStringLiteral("SELECT period, data FROM incidences LIMIT 0"));
    hasStartDays = query.exec(QStringLiteral("SELECT start_day, span_days FROM incidences LIMIT 0"));
    hasLongIndex = query.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index'"
                                             " AND name = 'incidences_long'"))
        && query.next();
    if (query.exec(QStringLiteral("SELECT count(*) FROM changes")))
        return true;
    return fail(QStringLiteral("the calendar database is unreadable"), query.lastError());
}

QString ExtendedStoragePrivate::stateOnDisk() const
{
    // An attempt to open leaves an empty log behind at most; a commit fills it.
    const QFileInfo file(databaseName);
    const QFileInfo log(databaseName + QLatin1String("-wal"));
    return QStringLiteral("%1 %2 %3")
        .arg(file.size())
        .arg(file.lastModified().toMSecsSinceEpoch())
        .arg(qMax<qint64>(0, log.size()));
}

bool ExtendedStoragePrivate::reopenWithRoom(Retry retry)
{
    if (!asItIs)
        return false;
    const QString state = stateOnDisk();
    const bool due = retry == Retry::Now || (retry == Retry::IfWritten && state != seenOnDisk)
        || !retried.isValid() || retried.hasExpired(RetryAsItIsMs);
    if (!due)
        return true;
    retried.start();
    seenOnDisk = state;
    // Quiet: the disk may stay full for hours.
    quiet = true;
    const bool opened = openFile() && readLayout();
    quiet = false;
    if (opened) {
        // The changes log tells what changed meanwhile: the next sync reads it.
        asItIs = false;
        syncVersion = -1;
        qWarning("mKCal: there is room again: the calendar database is followed again");
        return false;
    }
    if (!SqliteFile::openAsItIs(db, databaseName))
        isOpen = false;
    return true;
}

void ExtendedStoragePrivate::bounds(const Incidence::Ptr &incidence, QVariant *start, QVariant *end, bool *recurs) const
{
    const QTimeZone zone = calendar->timeZone();
    QDateTime from = incidence->dtStart();
    QDateTime to;
    bool allDay = incidence->allDay();
    if (incidence->type() == Incidence::TypeEvent) {
        to = incidence.staticCast<Event>()->dtEnd();
    } else if (incidence->type() == Incidence::TypeTodo) {
        const Todo::Ptr todo = incidence.staticCast<Todo>();
        if (todo->hasDueDate()) {
            to = todo->dtDue(true);
            if (!from.isValid())
                from = to;
        }
    }
    if (!from.isValid()) {
        *start = QVariant();
        *end = QVariant();
        *recurs = incidence->recurs();
        return;
    }
    if (!to.isValid() || to < from)
        to = from;
    qint64 startSecs;
    qint64 endSecs;
    if (allDay) {
        // All-day dates are floating: they cover whole days wherever the device is.
        startSecs = QDateTime(from.date(), QTime(0, 0), zone).toSecsSinceEpoch();
        endSecs = QDateTime(to.date().addDays(1), QTime(0, 0), zone).toSecsSinceEpoch();
    } else {
        startSecs = from.toSecsSinceEpoch();
        // An instant event still touches the minute it happens in.
        endSecs = qMax(to.toSecsSinceEpoch(), startSecs + 1);
    }
    *recurs = incidence->recurs();
    // The end is only a bound for range reads. Finding the last of a long
    // counted series walks every occurrence, seconds for a COUNT in the
    // millions, and the library gives up on such a walk anyway.
    const RecurrenceRule::List rules = *recurs ? incidence->recurrence()->rRules() : RecurrenceRule::List();
    const bool longCount = std::any_of(rules.cbegin(), rules.cend(), [](const RecurrenceRule *rule) {
        return rule->duration() > LongestWalkedCount;
    });
    if (longCount) {
        endSecs = EndOfTime;
    } else if (*recurs) {
        const QDateTime last = incidence->recurrence()->endDateTime();
        endSecs = last.isValid() ? endSecs - startSecs + qMax(last.toSecsSinceEpoch(), startSecs)
                                 + (allDay ? 86400 : 0)
                                 : EndOfTime;
    }
    *start = startSecs;
    *end = endSecs;
}

QByteArray ExtendedStoragePrivate::textOf(const QString &key)
{
    const int separator = key.indexOf(QLatin1Char('\x1f'));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT ical FROM incidences WHERE uid = ? AND recurrence_id = ?"));
    query.addBindValue(separator < 0 ? key : key.left(separator));
    query.addBindValue(separator < 0 ? QStringLiteral("") : key.mid(separator + 1));
    if (!exec(query) || !query.next())
        return QByteArray();
    return query.value(0).toByteArray();
}

// ical is null when the row was read without its text: it is looked up
// then, if the parsed form fails.
Incidence::Ptr ExtendedStoragePrivate::parsed(const QString &key, const QByteArray &ical, const QByteArray &data)
{
    Incidence::Ptr incidence = decoded(data);
    // Another row's parsed form is no answer for this one.
    if (!incidence || keyOf(incidence) != key)
        incidence = readText(format, ical.isNull() ? textOf(key) : ical);
    if (!incidence)
        qWarning().noquote() << "mKCal: skipping an unreadable calendar entry" << key;
    return incidence;
}

bool ExtendedStoragePrivate::addParsed(const QString &key, const QByteArray &ical, const QByteArray &data)
{
    const Incidence::Ptr incidence = parsed(key, ical, data);
    if (!incidence)
        return false;
    ++read;
    applying = true;
    const bool added = calendar->addIncidence(incidence);
    applying = false;
    if (added)
        loaded.insert(key, incidence);
    return added;
}

void ExtendedStoragePrivate::forget(const QString &key)
{
    const Incidence::Ptr incidence = loaded.take(key);
    if (!incidence)
        return;
    applying = true;
    calendar->deleteIncidence(incidence);
    applying = false;
}

bool ExtendedStoragePrivate::readRows(QSqlQuery &query)
{
    query.setForwardOnly(true);
    if (!exec(query))
        return false;
    // Added as one batch: see ExtendedCalendar::addLoaded().
    QStringList keys;
    Incidence::List incidences;
    while (query.next()) {
        const QString key = keyOf(query.value(0).toString(), query.value(1).toString());
        if (loaded.contains(key) || pending.contains(key))
            continue;
        const Incidence::Ptr incidence = parsed(key, query.value(2).toByteArray(), query.value(3).toByteArray());
        if (!incidence)
            continue;
        keys.append(key);
        incidences.append(incidence);
    }
    read += incidences.size();
    applying = true;
    const Incidence::List added = calendar->addLoaded(incidences);
    applying = false;
    // Rows of the same key, if any, are added once.
    for (int i = 0, a = 0; i < incidences.size() && a < added.size(); ++i) {
        if (incidences.at(i) == added.at(a)) {
            loaded.insert(keys.at(i), incidences.at(i));
            ++a;
        }
    }
    return true;
}

// Whether one of the loads done so far would have read a row with these
// columns: the conditions of their queries (a NULL column matches none).
bool ExtendedStoragePrivate::covers(const QVariant &start, const QVariant &end, bool recurs, bool isLong) const
{
    if (allLoaded)
        return true;
    if (end.isNull())
        return false;
    const qint64 endSecs = end.toLongLong();
    if (recurs && recurringLoaded && endSecs > recurringSince)
        return true;
    if (start.isNull())
        return false;
    const qint64 startSecs = start.toLongLong();
    for (const auto &range : covered) {
        if (isLong ? (endSecs > range.first && startSecs < range.second)
                   : (startSecs >= range.first - LongSpan && startSecs < range.second && endSecs > range.first))
            return true;
    }
    return false;
}

// Whether the occurrence an exception stands for lies near a loaded range:
// the exception must then be in memory, wherever it moved the occurrence to.
bool ExtendedStoragePrivate::coversReplaced(const QString &recurrenceId) const
{
    const QDateTime occurrence = QDateTime::fromString(recurrenceId, Qt::ISODate);
    if (!occurrence.isValid())
        return false;
    const qint64 secs = occurrence.toSecsSinceEpoch();
    for (const auto &range : covered) {
        if (secs >= range.first - ReplacedMargin && secs < range.second + ReplacedMargin)
            return true;
    }
    return false;
}

bool ExtendedStoragePrivate::isCovered(qint64 from, qint64 to) const
{
    if (allLoaded)
        return true;
    for (const auto &range : covered) {
        if (range.first <= from && to <= range.second)
            return true;
    }
    return false;
}

void ExtendedStoragePrivate::cover(qint64 from, qint64 to)
{
    QVector<QPair<qint64, qint64>> merged;
    for (const auto &range : qAsConst(covered)) {
        if (range.second < from || to < range.first) {
            merged.append(range);
        } else {
            from = qMin(from, range.first);
            to = qMax(to, range.second);
        }
    }
    merged.append(qMakePair(from, to));
    std::sort(merged.begin(), merged.end());
    covered = merged;
}

void ExtendedStoragePrivate::forgetCoverage()
{
    covered.clear();
    recurringLoaded = false;
    allLoaded = false;
}

bool ExtendedStoragePrivate::sync()
{
    reopenWithRoom();
    if (!isOpen)
        return fail(QStringLiteral("the calendar database is not open"));
    const qint64 version = dataVersion();
    if (version < 0)
        return fail(QStringLiteral("cannot read the calendar database"), db.lastError());
    if (version == syncVersion)
        return true;
    syncVersion = version;

    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT min(seq) FROM changes")) || !query.next())
        return fail(QStringLiteral("cannot read the calendar's changes"), query.lastError());
    const bool lagging = !query.value(0).isNull() && query.value(0).toLongLong() > lastSeq + 1;

    QHash<QString, QPair<QString, QString>> changed;
    query.prepare(QStringLiteral("SELECT seq, uid, recurrence_id FROM changes WHERE seq > ? ORDER BY seq"));
    query.addBindValue(lastSeq);
    if (!exec(query))
        return false;
    while (query.next()) {
        const qint64 seq = query.value(0).toLongLong();
        lastSeq = qMax(lastSeq, seq);
        if (ownSeqs.remove(seq))
            continue;
        const QString uid = query.value(1).toString();
        const QString recurrenceId = query.value(2).toString();
        changed.insert(keyOf(uid, recurrenceId), qMakePair(uid, recurrenceId));
    }
    query.finish();
    if (lagging) {
        // Entries of the log are gone: anything held may be stale, and rows
        // added within the ranges loaded are unknown; later loads ask again.
        changed.clear();
        for (auto it = loaded.cbegin(); it != loaded.cend(); ++it)
            changed.insert(it.key(), qMakePair(it.value()->uid(), recurrenceIdText(it.value())));
        forgetCoverage();
    }

    // A series taken out of the calendar takes its exceptions with it: they
    // are read again too.
    QSet<QString> seriesChanged;
    for (auto it = changed.cbegin(); it != changed.cend(); ++it) {
        if (it.value().second.isEmpty())
            seriesChanged.insert(it.value().first);
    }
    if (!seriesChanged.isEmpty()) {
        for (auto it = loaded.cbegin(); it != loaded.cend(); ++it) {
            if (it.value()->hasRecurrenceId() && seriesChanged.contains(it.value()->uid()) && !pending.contains(it.key()))
                changed.insert(it.key(), qMakePair(it.value()->uid(), recurrenceIdText(it.value())));
        }
    }
    // Whatever changed elsewhere is dropped first, then read again (series
    // before their exceptions), or left out when it is gone; rows new to what
    // was loaded come in as a new load would bring them.
    QVector<QPair<QString, QPair<QString, QString>>> order;
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        order.append(qMakePair(it.key(), it.value()));
    std::stable_sort(order.begin(), order.end(), [](const auto &a, const auto &b) {
        return a.second.second.isEmpty() && !b.second.second.isEmpty();
    });
    QSet<QString> held;
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        if (loaded.contains(it->first)) {
            held.insert(it->first);
            forget(it->first);
        }
    }
    QSqlQuery row(db);
    row.setForwardOnly(true);
    row.prepare(QStringLiteral("SELECT uid, recurrence_id, %1, start_time, end_time, recurs, long, %2 FROM incidences"
                               " WHERE uid = ? AND recurrence_id = ?").arg(textColumn(), dataColumn()));
    for (const auto &entry : qAsConst(order)) {
        if (pending.contains(entry.first))
            continue;
        row.bindValue(0, entry.second.first);
        row.bindValue(1, entry.second.second);
        if (!exec(row))
            return false;
        if (row.next()
            && (held.contains(entry.first)
                || covers(row.value(3), row.value(4), row.value(5).toBool(), row.value(6).toBool())
                || coversReplaced(entry.second.second)))
            addParsed(entry.first, row.value(2).toByteArray(), row.value(7).toByteArray());
        row.finish();
    }
    return true;
}

bool ExtendedStoragePrivate::writeIncidence(const QString &key, Pending kind)
{
    QSqlQuery query(db);
    Incidence::Ptr incidence;
    QString uid;
    QString recurrenceId;
    if (kind == Pending::Deleted) {
        const int separator = key.indexOf(QLatin1Char('\x1f'));
        uid = separator < 0 ? key : key.left(separator);
        recurrenceId = separator < 0 ? QStringLiteral("") : key.mid(separator + 1);
        query.prepare(QStringLiteral("DELETE FROM incidences WHERE uid = ? AND recurrence_id = ?"));
        query.addBindValue(uid);
        query.addBindValue(recurrenceId);
    } else {
        incidence = loaded.value(key);
        if (!incidence)
            return true;
        uid = incidence->uid();
        recurrenceId = recurrenceIdText(incidence);
        QVariant start, end;
        bool recurs = false;
        bounds(incidence, &start, &end, &recurs);
        const bool isLong = recurs || !start.isValid() || end.toLongLong() - start.toLongLong() > LongSpan;
        Incidence::Ptr text = incidence;
        if (incidence->allDay() && incidence->recurs()) {
            text = Incidence::Ptr(incidence->clone());
            ExtendedStorage::keepEndDates(text);
        }
        if (hasRecurrenceCopy(text)) {
            if (text == incidence)
                text = Incidence::Ptr(incidence->clone());
            text->removeCustomProperty("LIBKCAL", "DTRECURRENCE");
        }
        const QString ical = QString::fromUtf8(withListedZones(format.toICalString(text).toUtf8()));
        if (ical.isEmpty())
            return fail(QStringLiteral("cannot write the calendar entry ") + uid);
        // The row is found by uid and recurrence id, the entry read from its
        // text: iCalendar drops some control characters, and an entry whose
        // text names another uid could never be found, changed or removed.
        const Incidence::Ptr written = readText(format, ical.toUtf8());
        if (!written || keyOf(written) != key)
            return fail(QStringLiteral("cannot write the calendar entry %1: it does not read back as written").arg(uid));
        // The parsed form only where it gives back exactly what the text does.
        QByteArray data = encoded(written);
        const Incidence::Ptr fromData = decoded(data);
        if (!fromData || !(*fromData == *written))
            data.clear();
        query.prepare(QStringLiteral("INSERT OR REPLACE INTO incidences"
                                     " (uid, recurrence_id, start_time, end_time, recurs, long, ical, period, data,"
                                     " start_day, span_days)"
                                     " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        query.addBindValue(uid);
        query.addBindValue(recurrenceId);
        query.addBindValue(start.isValid() ? start : QVariant(QVariant::LongLong));
        query.addBindValue(end.isValid() ? end : QVariant(QVariant::LongLong));
        query.addBindValue(recurs ? 1 : 0);
        query.addBindValue(isLong ? 1 : 0);
        query.addBindValue(ical);
        const qint64 period = periodOf(incidence, start);
        query.addBindValue(period);
        query.addBindValue(data.isEmpty() ? QVariant(QVariant::ByteArray) : QVariant(data));
        query.addBindValue(startDayOf(incidence, period));
        query.addBindValue(spanDaysOf(incidence));
    }
    if (!exec(query))
        return false;
    query.prepare(QStringLiteral("INSERT INTO changes (uid, recurrence_id) VALUES (?, ?)"));
    query.addBindValue(uid);
    query.addBindValue(recurrenceId);
    if (!exec(query))
        return false;
    ownSeqs.insert(query.lastInsertId().toLongLong());
    return true;
}

ExtendedStorage::ExtendedStorage(const ExtendedCalendar::Ptr &calendar, const QString &databaseName, bool readOnly)
    : d(new ExtendedStoragePrivate(this, calendar, databaseName, readOnly))
{
}

ExtendedStorage::~ExtendedStorage()
{
    close();
}

void ExtendedStorage::keepEndDates(const Incidence::Ptr &incidence)
{
    if (!incidence->allDay() || !incidence->recurs())
        return;
    const QDateTime start = incidence->dtStart();
    const auto keep = [&start](RecurrenceRule *rule) {
        // Only an UNTIL has an end to keep; a COUNT's end is a walk of the series.
        if (rule->duration() != 0)
            return;
        const QDateTime end = rule->endDt();
        if (!end.isValid())
            return;
        const QDate date = (start.timeSpec() == Qt::TimeZone ? end.toTimeZone(start.timeZone()) : end.toLocalTime()).date();
        rule->setEndDt(QDateTime(date, QTime(0, 0), Qt::UTC));
    };
    Recurrence *recurrence = incidence->recurrence();
    const RecurrenceRule::List rules = recurrence->rRules() + recurrence->exRules();
    for (RecurrenceRule *rule : rules)
        keep(rule);
}

QString ExtendedStorage::defaultDatabaseName()
{
    const QString overridden = qEnvironmentVariable("HALVANE_CALENDAR_DB");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QLatin1String("/halvane/calendar.db");
}

ExtendedStorage::Ptr ExtendedStorage::defaultStorage(const ExtendedCalendar::Ptr &calendar, bool readOnly)
{
    return Ptr(new ExtendedStorage(calendar, defaultDatabaseName(), readOnly));
}

ExtendedCalendar::Ptr ExtendedStorage::calendar() const
{
    return d->calendar;
}

QString ExtendedStorage::databaseName() const
{
    return d->databaseName;
}

bool ExtendedStorage::isOpen() const
{
    return d->isOpen;
}

QString ExtendedStorage::errorString() const
{
    return d->error;
}

int ExtendedStorage::incidencesRead() const
{
    return d->read;
}

bool ExtendedStorage::open()
{
    if (d->isOpen)
        return true;
    d->error.clear();
    if (!d->calendar)
        return d->fail(QStringLiteral("no calendar to load into"));
    const QFileInfo file(d->databaseName);
    if (d->readOnly && !file.exists())
        return d->fail(QStringLiteral("no calendar database"));
    if (!d->readOnly && !QDir().mkpath(file.absolutePath()))
        return d->fail(QStringLiteral("cannot create the directory of the calendar database"));

    d->db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->connectionName);
    d->asItIs = false;
    bool ok = d->openFile() && d->readLayout();
    // A full disk or a read-only file system still leaves the day to read.
    if (!ok && SqliteFile::isDiskError(d->sqlCode) && SqliteFile::openAsItIs(d->db, d->databaseName)) {
        const QString cause = d->error;
        d->asItIs = true;
        d->retried.start();
        d->seenOnDisk = d->stateOnDisk();
        ok = d->readLayout();
        if (ok)
            qWarning("mKCal: the disk is full or read-only: the calendar database is read as it is now, until"
                     " there is room again (%s)", qPrintable(cause));
    }
    if (ok) {
        d->isOpen = true;
        d->lastSeq = d->lastChange();
        if (d->lastSeq < 0) {
            d->isOpen = false;
            ok = d->fail(QStringLiteral("the calendar database is unreadable"), d->db.lastError());
        }
    }
    if (!ok) {
        d->isOpen = false;
        d->db = QSqlDatabase();
        QSqlDatabase::removeDatabase(d->connectionName);
        return false;
    }
    d->syncVersion = d->dataVersion();
    d->pollVersion = d->syncVersion;
    d->calendar->registerObserver(this);
    return true;
}

bool ExtendedStorage::close()
{
    if (!d->isOpen)
        return true;
    d->calendar->unregisterObserver(this);
    d->isOpen = false;
    // Changes made while closed are not followed: load afresh after open().
    d->forgetCoverage();
    d->db.close();
    d->db = QSqlDatabase();
    QSqlDatabase::removeDatabase(d->connectionName);
    return true;
}

bool ExtendedStorage::load(const QDate &date)
{
    return load(date, date);
}

bool ExtendedStorage::load(const QDate &start, const QDate &end)
{
    if (!start.isValid() || !end.isValid() || end < start)
        return d->fail(QStringLiteral("invalid dates to load"));
    if (!d->sync())
        return false;
    const QTimeZone zone = d->calendar->timeZone();
    const qint64 from = QDateTime(start, QTime(0, 0), zone).toSecsSinceEpoch();
    const qint64 to = QDateTime(end.addDays(1), QTime(0, 0), zone).toSecsSinceEpoch();
    // Asked before and kept current by sync(): nothing more to read.
    if (!d->isCovered(from, to)) {
        QSqlQuery query(d->db);
        query.prepare(QStringLiteral("SELECT uid, recurrence_id, %1, %2 FROM incidences"
                                     " WHERE long = 0 AND start_time >= ? AND start_time < ? AND end_time > ?").arg(d->textColumn(), d->dataColumn()));
        query.addBindValue(from - LongSpan);
        query.addBindValue(to);
        query.addBindValue(from);
        if (!d->readRows(query))
            return false;
        // Series with a period only when one of their occurrences can fall
        // on the dates: one whose day lies in [first, last]. Days counted
        // from the day it starts on, from as many days before the dates as
        // an occurrence reaches past its own; else UTC days from the first
        // occurrence's, a day either way for zones and summer time.
        const qint64 first = from / 86400 - 2;
        const qint64 last = (to - 1) / 86400 + 1;
        const QString periodic = QStringLiteral("(? - start_time / 86400) - (? - start_time / 86400) % period"
                                                " >= ? - start_time / 86400");
        const QString exact = QStringLiteral("(start_day IS NOT NULL AND (? - start_day) - (? - start_day) % period"
                                             " >= ? - start_day - span_days) OR (start_day IS NULL AND %1)").arg(periodic);
        // The text only when the parsed form fails (see parsed()): it is not
        // in the index these rows are read from.
        // SQLite rates the index of short entries higher, which has every
        // long one from the first.
        query.prepare(d->hasPeriods
                          ? QStringLiteral("SELECT uid, recurrence_id, %1, %2 FROM incidences%4"
                                           " WHERE long = 1 AND end_time > ? AND start_time < ?"
                                           " AND (period = 0 OR %3)")
                                .arg(QStringLiteral("NULL"), d->dataColumn(), d->hasStartDays ? exact : periodic,
                                     d->hasLongIndex ? QStringLiteral(" INDEXED BY incidences_long") : QString())
                          : QStringLiteral("SELECT uid, recurrence_id, %1, %2 FROM incidences"
                                           " WHERE long = 1 AND end_time > ? AND start_time < ?").arg(d->textColumn(), d->dataColumn()));
        query.addBindValue(from);
        query.addBindValue(to);
        if (d->hasStartDays) {
            query.addBindValue(end.toJulianDay());
            query.addBindValue(end.toJulianDay());
            query.addBindValue(start.toJulianDay());
        }
        if (d->hasPeriods) {
            query.addBindValue(last);
            query.addBindValue(last);
            query.addBindValue(first);
        }
        if (!d->readRows(query))
            return false;
        // Occurrences of the dates that were moved elsewhere: their series
        // must know, or it still shows them where they were.
        query.prepare(QStringLiteral("SELECT uid, recurrence_id, %1, %2 FROM incidences"
                                     " WHERE recurrence_id != '' AND recurrence_id >= ? AND recurrence_id < ?")
                          .arg(d->textColumn(), d->dataColumn()));
        query.addBindValue(QDateTime::fromSecsSinceEpoch(from - ReplacedMargin, Qt::UTC).toString(Qt::ISODate));
        query.addBindValue(QDateTime::fromSecsSinceEpoch(to + ReplacedMargin, Qt::UTC).toString(Qt::ISODate));
        if (!d->readRows(query))
            return false;
        d->cover(from, to);
    }
    if (d->earliestLoaded.isNull() || from < d->earliestLoaded.toLongLong())
        d->earliestLoaded = from;
    return true;
}

bool ExtendedStorage::loadRecurringIncidences()
{
    if (!d->sync())
        return false;
    // Series that ended before the first date ever loaded cannot occur on any
    // loaded date; loading an earlier range brings those that touch it.
    const qint64 since =
        d->earliestLoaded.isNull() ? std::numeric_limits<qint64>::min() : d->earliestLoaded.toLongLong();
    if (d->allLoaded || (d->recurringLoaded && d->recurringSince <= since))
        return true;
    QSqlQuery query(d->db);
    query.prepare(QStringLiteral("SELECT uid, recurrence_id, %1, %2 FROM incidences WHERE recurs = 1 AND end_time > ?").arg(d->textColumn(), d->dataColumn()));
    query.addBindValue(since);
    if (!d->readRows(query))
        return false;
    d->recurringLoaded = true;
    d->recurringSince = since;
    return true;
}

bool ExtendedStorage::loadIncidence(const QString &uid)
{
    if (!d->sync())
        return false;
    QSqlQuery query(d->db);
    query.prepare(QStringLiteral("SELECT uid, recurrence_id, %1, %2 FROM incidences WHERE uid = ?").arg(d->textColumn(), d->dataColumn()));
    query.addBindValue(uid);
    return d->readRows(query);
}

bool ExtendedStorage::loadAll()
{
    if (!d->sync())
        return false;
    if (d->allLoaded)
        return true;
    QSqlQuery query(d->db);
    query.prepare(QStringLiteral("SELECT uid, recurrence_id, %1, %2 FROM incidences").arg(d->textColumn(), d->dataColumn()));
    if (!d->readRows(query))
        return false;
    d->allLoaded = true;
    return true;
}

bool ExtendedStorage::hasPendingChanges() const
{
    return !d->pending.isEmpty();
}

bool ExtendedStorage::save()
{
    if (!d->isOpen)
        return d->fail(QStringLiteral("the calendar database is not open"));
    if (d->readOnly)
        return d->fail(QStringLiteral("the calendar database is open read-only"));
    if (d->reopenWithRoom(ExtendedStoragePrivate::Retry::Now))
        return d->fail(QStringLiteral("the disk is full or read-only: the calendar database can only be read"));
    if (d->pending.isEmpty())
        return true;
    QSqlQuery query(d->db);
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return d->fail(QStringLiteral("cannot write the calendar database"), query.lastError());
    const QSet<qint64> ownBefore = d->ownSeqs;
    bool ok = true;
    for (auto it = d->pending.cbegin(); ok && it != d->pending.cend(); ++it)
        ok = d->writeIncidence(it.key(), it.value());
    if (ok) {
        query.prepare(QStringLiteral("DELETE FROM changes WHERE seq <= (SELECT max(seq) FROM changes) - ?"));
        query.addBindValue(ChangeLogLength);
        ok = d->exec(query) && query.exec(QStringLiteral("COMMIT"));
        if (!ok)
            d->fail(QStringLiteral("cannot write the calendar database"), query.lastError());
    }
    if (!ok) {
        query.exec(QStringLiteral("ROLLBACK"));
        d->ownSeqs = ownBefore;
        return false;
    }
    d->pending.clear();
    d->error.clear();
    return true;
}

bool ExtendedStorage::modifiedElsewhere()
{
    if (!d->isOpen)
        return false;
    // Whatever changed while the disk was full is news once it is followed.
    // Asked when the files change: someone could write, so there is room.
    if (d->asItIs && !d->reopenWithRoom(ExtendedStoragePrivate::Retry::IfWritten))
        return true;
    const qint64 version = d->dataVersion();
    if (version < 0 || version == d->pollVersion)
        return false;
    d->pollVersion = version;
    return true;
}

void ExtendedStorage::calendarIncidenceAdded(const Incidence::Ptr &incidence)
{
    if (d->applying)
        return;
    const QString key = keyOf(incidence);
    d->loaded.insert(key, incidence);
    // Deleted and added again before a save: the row is replaced.
    d->pending.insert(key, d->pending.value(key, Pending::Added) == Pending::Deleted ? Pending::Changed
                                                                                     : Pending::Added);
}

void ExtendedStorage::calendarIncidenceChanged(const Incidence::Ptr &incidence)
{
    if (d->applying)
        return;
    const QString key = keyOf(incidence);
    if (!d->loaded.contains(key))
        d->loaded.insert(key, incidence);
    if (!d->pending.contains(key))
        d->pending.insert(key, Pending::Changed);
}

void ExtendedStorage::calendarIncidenceDeleted(const Incidence::Ptr &incidence, const Calendar *calendar)
{
    Q_UNUSED(calendar)
    if (d->applying)
        return;
    const QString key = keyOf(incidence);
    d->loaded.remove(key);
    if (d->pending.value(key, Pending::Changed) == Pending::Added)
        d->pending.remove(key);
    else
        d->pending.insert(key, Pending::Deleted);
}

} // namespace mKCal
