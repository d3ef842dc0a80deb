// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvdemoprofile.h"
#include "hvdemosms.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QLocale>
#include <QtCore/QCoreApplication>
#include <QtCore/QDate>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>

#include "qsparqlconnection.h"

namespace Halvane {

namespace {

// Moves every date of the sample (written for the day its X-HALVANE-DEMO-DAY
// names) to the same place relative to today.
QByteArray shiftToToday(const QByteArray &ics)
{
    static const QRegularExpression demoDay(QStringLiteral("^X-HALVANE-DEMO-DAY:(\\d{8})\\s*$"),
                                            QRegularExpression::MultilineOption);
    static const QRegularExpression dateLine(
        QStringLiteral("^((?:DTSTART|DTEND|DUE|EXDATE|RDATE|RECURRENCE-ID|RRULE)[^:\\n]*:)(.*)$"),
        QRegularExpression::MultilineOption);
    static const QRegularExpression date(QStringLiteral("\\b(\\d{8})(?=T|\\b)"));

    QString text = QString::fromUtf8(ics);
    const QDate day = QDate::fromString(demoDay.match(text).captured(1), QStringLiteral("yyyyMMdd"));
    if (!day.isValid())
        return ics;
    const qint64 shift = day.daysTo(QDate::currentDate());
    QString shifted;
    int last = 0;
    auto lines = dateLine.globalMatch(text);
    while (lines.hasNext()) {
        const QRegularExpressionMatch line = lines.next();
        QString value = line.captured(2);
        QString moved;
        int at = 0;
        auto dates = date.globalMatch(value);
        while (dates.hasNext()) {
            const QRegularExpressionMatch found = dates.next();
            const QDate original = QDate::fromString(found.captured(1), QStringLiteral("yyyyMMdd"));
            moved += value.midRef(at, found.capturedStart(1) - at)
                // ASCII digits, as iCalendar has them, whatever the locale.
                + (original.isValid() ? QLocale::c().toString(original.addDays(shift), QStringLiteral("yyyyMMdd"))
                                      : found.captured(1));
            at = found.capturedEnd(1);
        }
        moved += value.midRef(at);
        shifted += text.midRef(last, line.capturedStart(2) - last) + moved;
        last = line.capturedEnd(2);
    }
    shifted += text.midRef(last);
    return shifted.toUtf8();
}

// Imports the sample calendars with halvane-calendar, the program users bring
// their calendars in with. A demo without them still runs.
void importSampleCalendars(const QString &dir, const QString &workDir)
{
    const QString program = QCoreApplication::applicationDirPath() + QLatin1String("/halvane-calendar");
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.ics")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile sample(dir + QLatin1Char('/') + name);
        QFile shifted(workDir + QLatin1Char('/') + name);
        if (!sample.open(QIODevice::ReadOnly) || !shifted.open(QIODevice::WriteOnly)
            || shifted.write(shiftToToday(sample.readAll())) < 0) {
            qWarning("demo: cannot prepare the sample calendar %s", qPrintable(name));
            continue;
        }
        shifted.close();
        QProcess import;
        import.start(program, {QStringLiteral("import"), shifted.fileName()});
        if (!import.waitForFinished(30000) || import.exitStatus() != QProcess::NormalExit || import.exitCode() != 0)
            qWarning("demo: the sample calendar %s was not imported: %s", qPrintable(name),
                     qPrintable(QString::fromLocal8Bit(import.readAllStandardError()).trimmed()
                                + import.errorString()));
    }
}

// Imports the sample feeds with halvane-feeds into the profile's own local
// Tracker store; they count as downloaded now. A demo without them still runs.
void importSampleFeeds(const QString &dir)
{
    const QString program = QCoreApplication::applicationDirPath() + QLatin1String("/halvane-feeds");
    const QStringList files = QDir(dir).entryList(QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QProcess import;
        import.start(program, {QStringLiteral("import"), dir + QLatin1Char('/') + name});
        if (!import.waitForFinished(30000) || import.exitStatus() != QProcess::NormalExit || import.exitCode() != 0)
            qWarning("demo: the sample feed %s was not imported: %s", qPrintable(name),
                     qPrintable(QString::fromLocal8Bit(import.readAllStandardError()).trimmed()
                                + import.errorString()));
    }
}

// Imports the sample mail with halvane-mail into the profile's message store,
// each message received today at the time of day its Date: names. A demo
// without them still runs.
void importSampleMail(const QString &dir)
{
    static const QRegularExpression dateHeader(QStringLiteral("^Date:[ \\t]*([^\\r\\n]+)"),
                                               QRegularExpression::MultilineOption
                                                   | QRegularExpression::CaseInsensitiveOption);
    const QString program = QCoreApplication::applicationDirPath() + QLatin1String("/halvane-mail");
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile sample(dir + QLatin1Char('/') + name);
        if (!sample.open(QIODevice::ReadOnly)) {
            qWarning("demo: cannot read the sample message %s", qPrintable(name));
            continue;
        }
        const QString date = dateHeader.match(QString::fromUtf8(sample.read(64 * 1024))).captured(1).trimmed();
        const QDateTime sent = QDateTime::fromString(date, Qt::RFC2822Date);
        const QTime time = sent.isValid() ? sent.toLocalTime().time() : QTime(12, 0);
        const QDateTime received(QDate::currentDate(), time);
        QProcess import;
        import.start(program, {QStringLiteral("import"), QStringLiteral("--received"),
                               received.toString(Qt::ISODate), sample.fileName()});
        if (!import.waitForFinished(30000) || import.exitStatus() != QProcess::NormalExit || import.exitCode() != 0)
            qWarning("demo: the sample message %s was not imported: %s", qPrintable(name),
                     qPrintable(QString::fromLocal8Bit(import.readAllStandardError()).trimmed()
                                + import.errorString()));
    }
}

} // namespace

HVDemoProfile::HVDemoProfile(const QString &sampleDataDir)
    : m_sampleDataDir(sampleDataDir)
    , m_dir(QDir::tempPath() + QLatin1String("/halvane-demo-XXXXXX"))
{
}

HVDemoProfile::~HVDemoProfile()
{
    // Tracker writes into the profile until its store is closed.
    QSparqlConnection::closeUnusedStores();
}

bool HVDemoProfile::prepare()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary directory: ") + m_dir.errorString();
        return false;
    }
    if (!QFileInfo(m_sampleDataDir).isDir()) {
        m_error = QStringLiteral("no sample data in ") + m_sampleDataDir;
        return false;
    }

    // The profile's directories stand in for the user's, for this process and
    // every service it starts.
    const QString config = m_dir.filePath(QStringLiteral("config"));
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString cache = m_dir.filePath(QStringLiteral("cache"));
    for (const QString &dir : {config, data, cache}) {
        if (!QDir().mkpath(dir)) {
            m_error = QStringLiteral("cannot create ") + dir;
            return false;
        }
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));

    if (!copyTree(m_sampleDataDir + QLatin1String("/config"), config)
        || !copyTree(m_sampleDataDir + QLatin1String("/data"), data))
        return false;

    // The sample calendar goes into the profile's calendar database.
    qunsetenv("HALVANE_CALENDAR_DB");
    importSampleCalendars(m_sampleDataDir + QLatin1String("/calendar"), m_dir.path());

    // The sample SMS go into the profile's communication history.
    qunsetenv("HALVANE_COMMHISTORY_DB");
    recordSampleMessages(m_sampleDataDir + QLatin1String("/sms"));

    // The sample feeds go into the profile's Tracker store, not a shared endpoint, even
    // where one is installed: an empty name means the local store.
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
    importSampleFeeds(m_sampleDataDir + QLatin1String("/feeds"));

    // The sample mail goes into the profile's message store.
    qunsetenv("HALVANE_MAILDIR");
    importSampleMail(m_sampleDataDir + QLatin1String("/mail"));
    return true;
}

bool HVDemoProfile::copyTree(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isDir())
        return true;
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(source, target)) {
            m_error = QStringLiteral("cannot copy ") + source + QStringLiteral(" to ") + target;
            return false;
        }
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
    }
    return true;
}

} // namespace Halvane
