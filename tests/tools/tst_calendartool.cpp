// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

// The halvane-calendar program on a calendar database in a temporary directory.
class TestCalendarTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void importUpdatesByUidAndExports();
    void reimportKeepsExceptions();
    void aChangeToAllLaterOccurrencesMovesThem();
    void addListRemove();
    void badInputLeavesTheCalendarAlone_data();
    void badInputLeavesTheCalendarAlone();
    void eventsWithoutAStartAreSkippedAndSaid();
    void listShowsOnlyTheDates();
    void windowsZoneNamesAreZones();

private:
    int run(const QStringList &arguments, QString *out = nullptr, QString *err = nullptr);
    QString writeFile(const QString &name, const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

static const char Sample[] =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
    "BEGIN:VEVENT\r\nUID:one\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240501T090000Z\r\n"
    "DTEND:20240501T100000Z\r\nSUMMARY:First\r\nEND:VEVENT\r\n"
    "BEGIN:VTODO\r\nUID:two\r\nDTSTAMP:20240101T000000Z\r\nDUE:20240501T200000Z\r\nSUMMARY:Second\r\nEND:VTODO\r\n"
    "END:VCALENDAR\r\n";

void TestCalendarTool::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

int TestCalendarTool::run(const QStringList &arguments, QString *out, QString *err)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("HALVANE_CALENDAR_DB");
    env.insert("XDG_DATA_HOME", m_dir->filePath("data"));
    process.setProcessEnvironment(env);
    process.start(HVTEST_CALENDAR_PROGRAM, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (out)
        *out = QString::fromUtf8(process.readAllStandardOutput());
    if (err)
        *err = QString::fromUtf8(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString TestCalendarTool::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
    return file.fileName();
}

void TestCalendarTool::importUpdatesByUidAndExports()
{
    const QString sample = writeFile("sample.ics", Sample);
    QString out;
    QCOMPARE(run({"import", sample}, &out), 0);
    QVERIFY(out.contains("2 new"));
    // The database is where the user's data lives.
    QVERIFY(QFile::exists(m_dir->filePath("data/halvane/calendar.db")));

    const QString changed = writeFile("changed.ics", QByteArray(Sample).replace("SUMMARY:First", "SUMMARY:Renamed"));
    QCOMPARE(run({"import", changed}, &out), 0);
    QVERIFY(out.contains("2 updated"));

    QCOMPARE(run({"list"}, &out), 0);
    const QStringList lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).startsWith("one\t"));
    QVERIFY(lines.at(0).endsWith("\tRenamed"));
    QVERIFY(lines.at(1).startsWith("two\t"));

    QCOMPARE(run({"export", m_dir->filePath("out.ics")}), 0);
    QFile exported(m_dir->filePath("out.ics"));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    const QByteArray text = exported.readAll();
    QCOMPARE(text.count("BEGIN:VEVENT"), 1);
    QCOMPARE(text.count("BEGIN:VTODO"), 1);
    QVERIFY(text.contains("SUMMARY:Renamed"));

    // A recurring to-do goes round unchanged; its recurrence property did grow
    // by a copy on every import.
    const QString weekly = writeFile("weekly.ics", QByteArray(Sample).replace("DUE:", "RRULE:FREQ=WEEKLY\r\nDUE:"));
    QCOMPARE(run({"import", weekly}), 0);
    QCOMPARE(run({"export", m_dir->filePath("round.ics")}), 0);
    QCOMPARE(run({"import", m_dir->filePath("round.ics")}), 0);
    QCOMPARE(run({"export"}, &out), 0);
    QCOMPARE(out.count("X-KDE-LIBKCAL-DTRECURRENCE"), 1);
}

void TestCalendarTool::reimportKeepsExceptions()
{
    // A moved occurrence of a weekly series; the file lists it before its series.
    const QByteArray series =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
        "BEGIN:VEVENT\r\nUID:weekly\r\nRECURRENCE-ID:20240408T090000Z\r\nDTSTAMP:20240101T000000Z\r\n"
        "DTSTART:20240408T110000Z\r\nDTEND:20240408T120000Z\r\nSUMMARY:Moved\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:weekly\r\nDTSTAMP:20240101T000000Z\r\nDTSTART:20240401T090000Z\r\n"
        "DTEND:20240401T100000Z\r\nRRULE:FREQ=WEEKLY;COUNT=4\r\nSUMMARY:Weekly\r\nEND:VEVENT\r\n"
        "END:VCALENDAR\r\n";
    const QString file = writeFile("series.ics", series);
    QString out;
    QCOMPARE(run({"import", file}, &out), 0);
    QVERIFY2(out.contains("2 new"), qPrintable(out));

    // Importing the same file again replaces both, and loses neither.
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(run({"import", file}, &out), 0);
        QVERIFY2(out.contains("2 updated"), qPrintable(out));
        QCOMPARE(run({"export"}, &out), 0);
        QCOMPARE(out.count("BEGIN:VEVENT"), 2);
        QCOMPARE(out.count("RECURRENCE-ID"), 1);
        QVERIFY(out.contains("SUMMARY:Moved"));
    }
}

void TestCalendarTool::aChangeToAllLaterOccurrencesMovesThem()
{
    // As Apple writes "this and all later ones moved to 11:00", with a later
    // occurrence moved again and one left out, both named by their old time.
    const QString file = writeFile("future.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:sd\n"
                                                 "DTSTART:20270405T090000Z\nDTEND:20270405T091500Z\n"
                                                 "RRULE:FREQ=DAILY;COUNT=10\nEXDATE:20270413T090000Z\nSUMMARY:s\nEND:VEVENT\n"
                                                 "BEGIN:VEVENT\nUID:sd\nRECURRENCE-ID;RANGE=THISANDFUTURE:20270410T090000Z\n"
                                                 "DTSTART:20270410T110000Z\nDTEND:20270410T111500Z\nSUMMARY:s\nEND:VEVENT\n"
                                                 "BEGIN:VEVENT\nUID:sd\nRECURRENCE-ID:20270412T090000Z\n"
                                                 "DTSTART:20270412T150000Z\nDTEND:20270412T151500Z\nSUMMARY:s\nEND:VEVENT\n"
                                                 "END:VCALENDAR\n");
    qputenv("TZ", "UTC");
    QString out;
    // Again in a locale of other digits: the same entries, not new ones.
    QCOMPARE(run({"import", file}, &out), 0);
    qputenv("LC_ALL", "ar_EG.UTF-8");
    QCOMPARE(run({"import", file}, &out), 0);
    qunsetenv("LC_ALL");
    QCOMPARE(run({"list"}, &out), 0);
    // The series to the change, the series from it, and its moved occurrence.
    QCOMPARE(out.count('\n'), 3);
    QStringList days;
    const auto date = [](int day) { return QStringLiteral("2027-04-%1").arg(day, 2, 10, QLatin1Char('0')); };
    for (int day = 9; day <= 15; ++day) {
        QCOMPARE(run({"list", "--from", date(day), "--to", date(day)}, &out), 0);
        days.append(out.section('\t', 1, 1).section('T', 1));
    }
    qunsetenv("TZ");
    QCOMPARE(days, QStringList({"09:00:00", "11:00:00", "11:00:00", "15:00:00", "", "11:00:00", ""}));
}

void TestCalendarTool::addListRemove()
{
    QString uid;
    QCOMPARE(run({"add", "--summary", "Lunch", "--start", "2024-05-02T12:00", "--end", "2024-05-02T13:00",
                  "--location", "Canteen"}, &uid), 0);
    uid = uid.trimmed();
    QVERIFY(!uid.isEmpty());
    QString out;
    QCOMPARE(run({"list", "--from", "2024-05-02", "--to", "2024-05-02"}, &out), 0);
    QVERIFY(out.startsWith(uid + "\t2024-05-02T12:00:00"));
    QCOMPARE(run({"list", "--from", "2024-05-03"}, &out), 0);
    QVERIFY(out.isEmpty());

    QCOMPARE(run({"remove", uid}), 0);
    QCOMPARE(run({"list"}, &out), 0);
    QVERIFY(out.isEmpty());
    QString err;
    QCOMPARE(run({"remove", uid}, nullptr, &err), 1);
    QVERIFY(err.contains("no calendar entry"));

    // A time is one of the zone it was given in, so that it is found from
    // any other; dates alone are a whole day.
    qputenv("TZ", "Europe/Berlin");
    QCOMPARE(run({"add", "--summary", "Lunch", "--start", "2024-05-02T12:00", "--end", "2024-05-02T13:00"}), 0);
    QCOMPARE(run({"add", "--summary", "Fair", "--start", "2024-05-03", "--end", "2024-05-04"}), 0);
    qputenv("TZ", "America/Los_Angeles");
    QCOMPARE(run({"list", "--from", "2024-05-02", "--to", "2024-05-02"}, &out), 0);
    QVERIFY2(out.contains("\t2024-05-02T03:00:00\t2024-05-02T04:00:00\tLunch"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2024-05-04", "--to", "2024-05-04"}, &out), 0);
    qunsetenv("TZ");
    QVERIFY2(out.contains("\t2024-05-03\t2024-05-04\tFair"), qPrintable(out));
}

void TestCalendarTool::badInputLeavesTheCalendarAlone_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << QStringList{"import", "@dir/none.ics"} << 1 << "cannot read";
    QTest::newRow("not iCalendar") << QStringList{"import", "@dir/garbage.ics"} << 1 << "not a valid iCalendar";
    QTest::newRow("no entries") << QStringList{"import", "@dir/empty.ics"} << 1 << "no calendar entries";
    QTest::newRow("bad time") << QStringList{"add", "--summary", "x", "--start", "noon", "--end", "later"} << 2 << "ISO";
    QTest::newRow("end first") << QStringList{"add", "--summary", "x", "--start", "2024-05-02T12:00",
                                              "--end", "2024-05-02T11:00"} << 2 << "before";
    // Chile skips that midnight: the whole day was lost while add said it was made.
    QTest::newRow("day without midnight") << QStringList{"TZ=America/Santiago", "add", "--summary", "x", "--start",
                                                         "2024-09-08", "--end", "2024-09-08"} << 1 << "no midnight";
    QTest::newRow("bad date") << QStringList{"list", "--from", "May"} << 2 << "YYYY-MM-DD";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "unknown command";
}

void TestCalendarTool::badInputLeavesTheCalendarAlone()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QCOMPARE(run({"import", writeFile("sample.ics", Sample)}), 0);
    writeFile("garbage.ics", "BEGIN:VCALENDAR\nthis is no calendar\n");
    writeFile("empty.ics", "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\nEND:VCALENDAR\r\n");
    QString before;
    QCOMPARE(run({"list"}, &before), 0);

    arguments.replaceInStrings("@dir", m_dir->path());
    if (arguments.first().startsWith("TZ="))
        qputenv("TZ", arguments.takeFirst().mid(3).toLatin1());
    QString err;
    const int code = run(arguments, nullptr, &err);
    qunsetenv("TZ");
    QCOMPARE(code, exitCode);
    QVERIFY2(err.contains(message), qPrintable(err));
    // The tool's word, not the parser's copy of the file.
    QVERIFY2(!err.contains("this is no calendar"), qPrintable(err));
    QString after;
    QCOMPARE(run({"list"}, &after), 0);
    QCOMPARE(after, before);
}

void TestCalendarTool::eventsWithoutAStartAreSkippedAndSaid()
{
    qputenv("TZ", "Europe/Berlin");
    const QByteArray head = "BEGIN:VEVENT\nDTEND:20261210T110000Z\nSUMMARY:s\nUID:";
    const QString file = writeFile(
        "starts.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\n" + head + "month13\nDTSTART:20261310T100000Z\n"
            + "END:VEVENT\n" + head + "none\nEND:VEVENT\n" + head
            + "skipped-hour\nDTSTART;TZID=Europe/Berlin:20270328T023000\nEND:VEVENT\n"
            // A to-do of the event's uid would replace it in the database.
            + "BEGIN:VTODO\nUID:skipped-hour\nSUMMARY:t\nEND:VTODO\n"
            + "BEGIN:VTODO\nUID:bad-rule\nRRULE:FREQ=SOMETIMES\nSUMMARY:r\nEND:VTODO\nEND:VCALENDAR\n");
    QString out, err;
    QCOMPARE(run({"import", file}, &out, &err), 0);
    QVERIFY(out.contains("imported 2 entries"));
    QVERIFY2(err.contains("bad-rule (\"r\") has a repeat rule (RRULE) that cannot be read"), qPrintable(err));
    QVERIFY2(err.contains("skipped the event month13") && err.contains("skipped the event none"), qPrintable(err));
    QVERIFY2(err.contains("skipped the to-do skipped-hour (\"t\"): the event of that uid stays"), qPrintable(err));
    QVERIFY2(err.contains("skipped-hour (\"s\") ends before it starts"), qPrintable(err));
    // A start in the hour summer time skips is the hour after; an end before
    // the start is the start.
    QCOMPARE(run({"list"}, &out), 0);
    QVERIFY2(out.contains("skipped-hour\t2027-03-28T03:30:00\t2027-03-28T03:30:00\t"), qPrintable(out));
    // So does add.
    QCOMPARE(run({"add", "--summary", "gap", "--start", "2027-03-28T02:15", "--end", "2027-03-28T04:00"}), 0);
    QCOMPARE(run({"list", "--from", "2027-03-28"}, &out), 0);
    qunsetenv("TZ");
    QVERIFY2(out.contains("\t2027-03-28T03:15:00\t2027-03-28T04:00:00\tgap"), qPrintable(out));
}

void TestCalendarTool::listShowsOnlyTheDates()
{
    const QString file = writeFile(
        "days.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:day9\nDTSTART;VALUE=DATE:20261209\n"
                    "SUMMARY:s\nEND:VEVENT\nBEGIN:VEVENT\nUID:day11\nDTSTART;VALUE=DATE:20261211\nSUMMARY:s\nEND:VEVENT\n"
                    "BEGIN:VEVENT\nUID:at10\nDTSTART:20261210T080000Z\nDTEND:20261210T090000Z\nSUMMARY:s\nEND:VEVENT\n"
                    // A night shift from the day before; a series whose day's
                    // occurrence moved to the next day; one called off.
                    "BEGIN:VEVENT\nUID:night\nDTSTART:20261202T220000Z\nDTEND:20261203T020000Z\nRRULE:FREQ=WEEKLY\n"
                    "SUMMARY:s\nEND:VEVENT\nBEGIN:VEVENT\nUID:noon\nDTSTART:20261201T110000Z\nDTEND:20261201T113000Z\n"
                    "RRULE:FREQ=DAILY\nSUMMARY:s\nEND:VEVENT\nBEGIN:VEVENT\nUID:noon\nRECURRENCE-ID:20261210T110000Z\n"
                    "DTSTART:20261211T150000Z\nDTEND:20261211T153000Z\nSUMMARY:s\nEND:VEVENT\nBEGIN:VEVENT\nUID:off\n"
                    "DTSTART:20261210T100000Z\nSTATUS:CANCELLED\nSUMMARY:s\nEND:VEVENT\n"
                    "END:VCALENDAR\n");
    qputenv("TZ", "UTC");
    QCOMPARE(run({"import", file}), 0);
    // Entries of the days around, which the storage reads along, stay out.
    qputenv("TZ", "Europe/Berlin");
    QString out;
    QCOMPARE(run({"list", "--from", "2026-12-10", "--to", "2026-12-10"}, &out), 0);
    qunsetenv("TZ");
    QStringList uids;
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts))
        uids.append(line.section('\t', 0, 0));
    QCOMPARE(uids, QStringList({"night", "at10"}));

    // A single entry of the zone, imported and listed for its day with the phone in phoneZone.
    const auto listed = [this](const char *phoneZone, const QString &uid, const QString &zone, const QString &start,
                               const QString &end) {
        qputenv("TZ", phoneZone);
        const QString text = "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:" + uid + "\nDTSTART;TZID="
            + zone + ":" + start + "\nDTEND;TZID=" + zone + ":" + end + "\nSUMMARY:s\nEND:VEVENT\nEND:VCALENDAR\n";
        const QString day = QDate::fromString(start.left(8), "yyyyMMdd").toString(Qt::ISODate);
        QString out;
        const bool ok = run({"import", writeFile(uid + ".ics", text.toUtf8())}) == 0
            && run({"list", "--from", day, "--to", day}, &out) == 0;
        qunsetenv("TZ");
        return ok ? out : QString();
    };
    // An entry at a midnight the clocks skip (Chile's summer time begins
    // then) starts when the clocks show 01:00.
    out = listed("America/Santiago", "chile", "America/Santiago", "20270905T000000", "20270905T020000");
    QVERIFY2(out.contains("chile\t2027-09-05T01:00:00\t2027-09-05T02:00:00\t"), qPrintable(out));
    // 02:30 on the night the clocks go back is the first 02:30 (Qt took the
    // second: an hour late, and an hour short).
    out = listed("UTC", "twice", "Europe/Berlin", "20261025T023000", "20261025T040000");
    QVERIFY2(out.contains("twice\t2026-10-25T00:30:00\t2026-10-25T03:00:00\t"), qPrintable(out));

    // A series at a time the clocks skip on one day still has that day.
    QCOMPARE(run({"import", writeFile("gap.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:gap\n"
                                                 "DTSTART;TZID=Europe/Berlin:20270301T023000\n"
                                                 "DTEND;TZID=Europe/Berlin:20270301T030000\nRRULE:FREQ=DAILY\n"
                                                 "SUMMARY:s\nEND:VEVENT\n"
                                                 // Until a date, seen west of UTC: that day is the last.
                                                 "BEGIN:VEVENT\nUID:lastday\nDTSTART;TZID=America/Los_Angeles:"
                                                 "20270601T180000\nRRULE:FREQ=DAILY;UNTIL=20270605\n"
                                                 "SUMMARY:s\nEND:VEVENT\n"
                                                 // A to-do of a start and a length, into the next day.
                                                 "BEGIN:VTODO\nUID:backup\nDTSTART:20270419T200000Z\nDURATION:PT4H\n"
                                                 "SUMMARY:s\nEND:VTODO\n"
                                                 // The year's last day, counted from its end.
                                                 "BEGIN:VEVENT\nUID:yearend\nDTSTART:20271231T100000Z\n"
                                                 "RRULE:FREQ=YEARLY;BYYEARDAY=-1\nSUMMARY:s\nEND:VEVENT\n"
                                                 // 24 hours over the night the clocks go forward.
                                                 "BEGIN:VEVENT\nUID:day24h\nDTSTART;TZID=Europe/Berlin:20270327T120000\n"
                                                 "DURATION:PT24H\nSUMMARY:s\nEND:VEVENT\n"
                                                 // Until a time in UTC: that time, the third of June in New York.
                                                 "BEGIN:VEVENT\nUID:utcend\nDTSTART;TZID=America/New_York:"
                                                 "20270601T200000\nRRULE:FREQ=DAILY;UNTIL=20270604T000000Z\n"
                                                 "SUMMARY:s\nEND:VEVENT\nEND:VCALENDAR\n")}),
             0);
    qputenv("TZ", "Europe/Berlin");
    QCOMPARE(run({"list", "--from", "2027-03-28"}, &out), 0);
    QVERIFY2(out.contains("gap\t"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2027-04-20", "--to", "2027-04-20"}, &out), 0);
    QVERIFY2(out.contains("backup\t2027-04-19T22:00:00\t2027-04-20T02:00:00\t"), qPrintable(out));
    // The same zone named by its file, as TZ may name it.
    qputenv("TZ", ":/usr/share/zoneinfo/Europe/Berlin");
    QCOMPARE(run({"list", "--from", "2027-04-20", "--to", "2027-04-20"}, &out), 0);
    QVERIFY2(out.contains("backup\t2027-04-19T22:00:00\t2027-04-20T02:00:00\t"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2027-03-28", "--to", "2027-03-28"}, &out), 0);
    QVERIFY2(out.contains("day24h\t2027-03-27T12:00:00\t2027-03-28T13:00:00\t"), qPrintable(out));
    qputenv("TZ", "America/Los_Angeles");
    QCOMPARE(run({"list", "--from", "2027-06-05", "--to", "2027-06-05"}, &out), 0);
    QVERIFY2(out.contains("lastday\t"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2027-06-04", "--to", "2027-06-04"}, &out), 0);
    QVERIFY2(!out.contains("utcend\t"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2027-06-06", "--to", "2027-06-06"}, &out), 0);
    QVERIFY2(!out.contains("lastday\t"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2029-12-31", "--to", "2029-12-31"}, &out), 0);
    qunsetenv("TZ");
    QVERIFY2(out.contains("yearend\t"), qPrintable(out));
}

void TestCalendarTool::windowsZoneNamesAreZones()
{
    // As Outlook writes it, without a VTIMEZONE that defines the name.
    const QString file = writeFile("outlook.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:pst\n"
                                                  "DTSTART;TZID=Pacific Standard Time:20261210T100000\n"
                                                  "DTEND;TZID=\"Pacific Standard Time\":20261210T110000\n"
                                                  // Folded inside a character, as Outlook folds.
                                                  "SUMMARY:Caf\xc3\n \xa9\nEND:VEVENT\n"
                                                  // As Thunderbird wrote it.
                                                  "BEGIN:VEVENT\nUID:tb\nDTSTART;TZID=/mozilla.org/20070129_1/"
                                                  "America/New_York:20261211T100000\nSUMMARY:s\nEND:VEVENT\n"
                                                  // Qt's zone for it is a link (Asia/Calcutta), read back as UTC.
                                                  "BEGIN:VEVENT\nUID:ist\nDTSTART;TZID=India Standard Time:"
                                                  "20261213T150000\nSUMMARY:s\nEND:VEVENT\n"
                                                  // A whole day as Outlook writes it: midnight to midnight.
                                                  "BEGIN:VEVENT\nUID:allday\nDTSTART;TZID=Pacific Standard Time:"
                                                  "20261216T000000\nDTEND;TZID=Pacific Standard Time:20261217T000000\n"
                                                  "X-MICROSOFT-CDO-ALLDAYEVENT:TRUE\nSUMMARY:s\nEND:VEVENT\n"
                                                  // Floating: 07:30 wherever the phone is.
                                                  "BEGIN:VEVENT\nUID:float\nDTSTART:20261214T073000\n"
                                                  "SUMMARY:s\nEND:VEVENT\n"
                                                  "END:VCALENDAR\n");
    // A time without a zone in a calendar that names its zone, as Google's do.
    const QString google = writeFile("google.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nX-WR-TIMEZONE:Asia/Tokyo\n"
                                                   "BEGIN:VEVENT\nUID:wr\nDTSTART:20261212T090000\nSUMMARY:s\nEND:VEVENT\n"
                                                   // A to-do due at a UTC time stays due then.
                                                   "BEGIN:VTODO\nUID:wrdue\nDUE:20261212T170000Z\nSUMMARY:s\nEND:VTODO\n"
                                                   "END:VCALENDAR\n");
    // Outlook's display name of a zone it defines, with commas, folded.
    const QString named = writeFile("named.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VTIMEZONE\n"
                                                 "TZID:(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna\n"
                                                 "BEGIN:STANDARD\nDTSTART:16011028T030000\nRRULE:FREQ=YEARLY;BYDAY=-1SU;"
                                                 "BYMONTH=10\nTZOFFSETFROM:+0200\nTZOFFSETTO:+0100\nEND:STANDARD\n"
                                                 "BEGIN:DAYLIGHT\nDTSTART:16010325T020000\nRRULE:FREQ=YEARLY;BYDAY=-1SU;"
                                                 "BYMONTH=3\nTZOFFSETFROM:+0100\nTZOFFSETTO:+0200\nEND:DAYLIGHT\n"
                                                 "END:VTIMEZONE\nBEGIN:VEVENT\nUID:berlin\nDTSTART;TZID=\"(UTC+01:00) "
                                                 "Amsterdam, Berlin, Bern, Rome, Stockholm, Vienna\":20261218T150000\n"
                                                 "DTEND;TZID=\"(UTC+01:00) Amsterdam, Berlin, Bern, Rome, Stockh\n olm, "
                                                 "Vienna\":20261218T160000\nSUMMARY:s\nEND:VEVENT\nEND:VCALENDAR\n");
    // Outlook's own zone with Sydney's rules: summer time from October.
    const QString south = writeFile("south.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VTIMEZONE\n"
                                                 "TZID:Customized Time Zone\nBEGIN:STANDARD\nDTSTART:16010101T030000\n"
                                                 "TZOFFSETFROM:+1100\nTZOFFSETTO:+1000\nRRULE:FREQ=YEARLY;INTERVAL=1;"
                                                 "BYDAY=1SU;BYMONTH=4\nEND:STANDARD\nBEGIN:DAYLIGHT\nDTSTART:16010101T020000\n"
                                                 "TZOFFSETFROM:+1000\nTZOFFSETTO:+1100\nRRULE:FREQ=YEARLY;INTERVAL=1;"
                                                 "BYDAY=1SU;BYMONTH=10\nEND:DAYLIGHT\nEND:VTIMEZONE\nBEGIN:VEVENT\n"
                                                 "UID:sydney\nDTSTART;TZID=Customized Time Zone:20260327T080000\n"
                                                 "RRULE:FREQ=WEEKLY\nSUMMARY:s\nEND:VEVENT\nEND:VCALENDAR\n");
    qputenv("TZ", "UTC");
    QString out, err;
    QCOMPARE(run({"import", file}), 0);
    QCOMPARE(run({"import", google}), 0);
    QCOMPARE(run({"import", named}), 0);

    // A zone nobody defines is said.
    QCOMPARE(run({"import", writeFile("mars.ics", "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//t//EN\nBEGIN:VEVENT\nUID:mars\n"
                                                 "DTSTART;TZID=Mars/Olympus:20261215T100000\nSUMMARY:s\nEND:VEVENT\n"
                                                 "END:VCALENDAR\n")}, nullptr, &err), 0);
    QVERIFY2(err.contains("the time zone \"Mars/Olympus\" is not known"), qPrintable(err));
    QCOMPARE(run({"list"}, &out), 0);
    QVERIFY2(out.contains("\nist\t2026-12-13T09:30:00\t"), qPrintable(out));
    QString tokyo;
    qputenv("TZ", "Asia/Tokyo");
    QCOMPARE(run({"list"}, &tokyo), 0);
    qunsetenv("TZ");
    QVERIFY2(tokyo.contains("\nfloat\t2026-12-14T07:30:00\t"), qPrintable(tokyo));
    QVERIFY2(out.contains("\nwr\t2026-12-12T00:00:00\t"), qPrintable(out));
    QVERIFY2(out.contains("\nwrdue\t2026-12-12T17:00:00\t"), qPrintable(out));
    QVERIFY2(out.startsWith("pst\t2026-12-10T18:00:00\t2026-12-10T19:00:00\t"), qPrintable(out));
    QVERIFY2(out.contains(QString::fromUtf8("Caf\xc3\xa9\n")), qPrintable(out));
    QVERIFY2(out.contains("\ntb\t2026-12-11T15:00:00\t"), qPrintable(out));
    QVERIFY2(out.contains("\nberlin\t2026-12-18T14:00:00\t2026-12-18T15:00:00\t"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2026-12-17", "--to", "2026-12-17"}, &out), 0);
    QVERIFY2(!out.contains("allday"), qPrintable(out));
    QCOMPARE(run({"list", "--from", "2026-12-16", "--to", "2026-12-16"}, &out), 0);
    QVERIFY2(out.contains("allday"), qPrintable(out));
    // Made a fixed offset (UTC+11:00 from its first entry), the series was an
    // hour early all winter: it keeps a zone with Sydney's changes.
    QCOMPARE(run({"import", south}), 0);
    QCOMPARE(run({"export"}, &out), 0);
    QVERIFY2(out.contains("DTSTART;TZID=Australia/"), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestCalendarTool)
#include "tst_calendartool.moc"
