// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The whole system under a heavy profile, driven through halvane-overview as
// a user runs it: 10,000 events (5% recurring), 10,000 SMS of today, 100,000
// feed messages (1,000 of today), 5,000 e-mails (500 of today) and 20 weather
// cities. Prints the wall time and peak memory of one full overview, then
// makes live changes in every changeable source while `--follow` runs and
// counts what arrives, and when: each change must arrive exactly once, and
// soon. Last, the overview of the profile beside one twice as large.
//
// hvloadbench [--quick] [--changes N] [--hold] [--no-double]
//   --quick      a tenth of the profile, for a fast look
//   --no-double  leave out the profile twice as large
//   --changes N  live changes per source (default 1,000)
//   --hold       after the fill, print the environment that reaches the
//                profile and wait for Enter: for profiling by hand
#include <KCalendarCore/Event>

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QHash>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QMutex>
#include <QtCore/QVector>
#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>
#include <QtCore/QSet>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>
#include <QtCore/QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "extendedcalendar.h"
#include "extendedstorage.h"
#include "historywriter.h"
#include "hvdemoweatherserver.h"
#include "hvloadmail.h"
#include "hvtestfixture.h"
#include "qsparqlconnection.h"
#include "qsparqlquery.h"
#include "qsparqlresult.h"

using namespace KCalendarCore;

namespace {

struct Profile {
    int events = 10000;
    int sms = 10000;
    int feeds = 100000;
    int feedsToday = 1000;
    int mails = 5000;
    int mailsToday = 500;
    int cities = 20;
};

const char TrackerService[] = "org.halvane.LoadBench.Tracker";
const char SenderNumber[] = "+15550100";
// The inbox folder of the device's SMS store, as halvane-commhistory files them.
constexpr int InboxFolder = 4098;

void fail(const char *what)
{
    std::fprintf(stderr, "hvloadbench: %s\n", what);
    std::exit(1);
}

QDateTime todayAt(int seconds)
{
    return QDateTime(QDate::currentDate(), QTime(0, 0)).addSecs(seconds);
}

// A label that tells the live changes apart: "Live <source> <n>".
QString liveLabel(const char *source, int n)
{
    return QStringLiteral("Live %1 %2").arg(QLatin1String(source)).arg(n);
}

// --- the sources' stores -----------------------------------------------------

// Events from five years back to one year ahead; every twentieth recurs
// weekly, half of those without end.
int fillCalendar(mKCal::ExtendedCalendar::Ptr calendar, mKCal::ExtendedStorage &storage, int count, int first = 0)
{
    QRandomGenerator random(count + first);
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = first; i < first + count; ++i) {
        Event::Ptr event(new Event);
        event->setUid(QStringLiteral("load-%1").arg(i));
        event->setSummary(QStringLiteral("Entry %1").arg(i));
        event->setLocation(QStringLiteral("Room %1").arg(i % 40));
        const QDateTime start = now.addSecs(qint64(random.bounded(6 * 365 * 96) - 5 * 365 * 96) * 900);
        event->setDtStart(start);
        event->setDtEnd(start.addSecs(1800 + 900 * random.bounded(8)));
        if (i % 20 == 0) {
            event->recurrence()->setWeekly(1);
            if (i % 40 == 0)
                event->recurrence()->setDuration(10 + random.bounded(50));
        }
        calendar->addIncidence(event);
    }
    if (!storage.save())
        fail("cannot fill the calendar");
    return count;
}

bool addSms(CommHistory::HistoryWriter &writer, const CommHistory::Group &group, const QString &text,
            const QDateTime &time, QList<CommHistory::Event> *batch)
{
    CommHistory::Event event;
    event.setType(CommHistory::Event::SMSEvent);
    event.setDirection(CommHistory::Event::Inbound);
    event.setParentId(InboxFolder);
    event.setGroupId(group.id());
    event.setStartTime(time);
    event.setEndTime(time);
    event.setFreeText(text);
    event.setRemoteUid(QLatin1String(SenderNumber));
    if (batch) {
        batch->append(event);
        return true;
    }
    QList<CommHistory::Event> one{event};
    return writer.addEvents(one);
}

void fillSms(CommHistory::HistoryWriter &writer, const CommHistory::Group &group, int count)
{
    constexpr int Batch = 1000;
    for (int start = 0; start < count; start += Batch) {
        QList<CommHistory::Event> batch;
        for (int i = start; i < qMin(count, start + Batch); ++i)
            addSms(writer, group, QStringLiteral("Message %1").arg(i), todayAt((i * 7919) % 86000), &batch);
        if (!writer.addEvents(batch))
            fail("cannot fill the SMS history");
    }
}

bool update(QSparqlConnection &connection, const QString &text)
{
    std::unique_ptr<QSparqlResult> result(connection.exec(QSparqlQuery(text, QSparqlQuery::InsertStatement)));
    result->waitForFinished();
    if (result->hasError())
        std::fprintf(stderr, "hvloadbench: %s\n", qPrintable(result->lastError().message()));
    return !result->hasError();
}

QString feedMessage(const QString &id, const QString &title, const QDateTime &downloaded)
{
    return QStringLiteral("<urn:load:%1> a mfo:FeedMessage ; nie:title \"%2\" ; nie:description \"Body of %2\" ; "
                          "mfo:downloadedTime \"%3\"^^xsd:dateTime ; nie:isLogicalPartOf <urn:load:channel> . ")
        .arg(id, title, downloaded.toUTC().toString(Qt::ISODate));
}

// Every hundredth message today, the others on the 99 days before.
void fillFeeds(QSparqlConnection &connection, const Profile &profile, int first = 0)
{
    if (!update(connection, QStringLiteral("INSERT DATA { <urn:load:channel> a mfo:FeedChannel ; nie:title \"Load\" }")))
        fail("cannot fill the feeds");
    const int every = profile.feeds / profile.feedsToday;
    const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
    constexpr int Batch = 1000;
    for (int start = first; start < first + profile.feeds; start += Batch) {
        QString text = QStringLiteral("INSERT DATA { ");
        for (int i = start; i < qMin(first + profile.feeds, start + Batch); ++i) {
            const int daysBack = i % every == 0 ? 0 : 1 + i % 99;
            text += feedMessage(QStringLiteral("m%1").arg(i), QStringLiteral("Message %1").arg(i),
                                midnight.addDays(-daysBack).addSecs((i * 7919) % 86000));
        }
        if (!update(connection, text + QLatin1Char('}')))
            fail("cannot fill the feeds");
    }
}

// Twenty cities served from copies of one sample forecast.
QString prepareWeather(const QString &profileDir, const QString &configDir, int cities)
{
    const QString forecasts = profileDir + QLatin1String("/forecasts");
    QDir().mkpath(forecasts);
    QDir().mkpath(configDir + QLatin1String("/halvane"));
    QStringList entries;
    for (int i = 0; i < cities; ++i) {
        const QString id = QStringLiteral("city%1").arg(i, 2, 10, QLatin1Char('0'));
        if (!QFile::copy(QStringLiteral(HVLOAD_SAMPLE_FORECAST), forecasts + QLatin1Char('/') + id + QLatin1String(".xml")))
            fail("cannot copy the sample forecast");
        entries << QStringLiteral("cityId:%1,City %2,FR,Europe/Paris%3").arg(id).arg(i).arg(i == 0 ? QStringLiteral(",default") : QString());
    }
    QFile config(configDir + QLatin1String("/halvane/halvane.conf"));
    if (!config.open(QIODevice::WriteOnly))
        fail("cannot write the settings");
    config.write("[General]\ncities=\"" + entries.join(QLatin1Char(';')).toUtf8() + "\"\n");
    return forecasts;
}

// --- the overview --------------------------------------------------------------

QString program(const char *name)
{
    return QCoreApplication::applicationDirPath() + QLatin1String("/../bin/") + QLatin1String(name);
}

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    int exitCode = -1;
    QByteArray output;
};

// One full overview, with its own wall time and peak resident memory.
Run runOverview(const QString &outputFile)
{
    Run run;
    QElapsedTimer timer;
    timer.start();
    // The child must not print what this process has buffered.
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0)
        fail("cannot fork");
    if (pid == 0) {
        if (!freopen(QFile::encodeName(outputFile).constData(), "w", stdout))
            _exit(126);
        const QByteArray path = QFile::encodeName(program("halvane-overview"));
        execl(path.constData(), path.constData(), "--json", "--settle", "0", static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        fail("lost the overview process");
    run.seconds = timer.nsecsElapsed() / 1e9;
    run.peakKiB = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile output(outputFile);
    if (output.open(QIODevice::ReadOnly))
        run.output = output.readAll();
    return run;
}

// What one source's follower saw of the live changes.
struct Arrivals {
    QHash<QString, int> inserted; // label -> times it arrived as a new row
    QSet<QString> present;        // labels shown after the last reset or sort
    int other = 0;                // changed or removed rows of live items
};

QString rowKey(const QString &type, const QJsonObject &row)
{
    if (type == QLatin1String("event"))
        return row.value(QStringLiteral("displayLabel")).toString();
    if (type == QLatin1String("feed"))
        return row.value(QStringLiteral("title")).toString();
    if (type == QLatin1String("message")) {
        const bool sms = row.value(QStringLiteral("messageType")).toInt() == 2;
        return sms ? row.value(QStringLiteral("body")).toString() : row.value(QStringLiteral("subject")).toString();
    }
    return QString();
}

QString sourceOf(const QString &key)
{
    // "Live <source> <n>"
    return key.section(QLatin1Char(' '), 1, 1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    Profile profile;
    if (args.contains(QStringLiteral("--quick")))
        profile = Profile{1000, 1000, 10000, 100, 500, 50, 20};
    int changes = 1000;
    const int changesAt = args.indexOf(QStringLiteral("--changes"));
    if (changesAt > 0 && changesAt + 1 < args.size())
        changes = qMax(1, args.at(changesAt + 1).toInt());

    // A profile of its own: settings, data and a private session bus.
    QTemporaryDir dir(QDir::tempPath() + QLatin1String("/hvloadbench-XXXXXX"));
    if (!dir.isValid())
        fail("cannot create a temporary directory");
    const QString config = dir.filePath(QStringLiteral("config"));
    const QString data = dir.filePath(QStringLiteral("data"));
    QDir().mkpath(config);
    QDir().mkpath(data);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("cache"))));
    for (const char *variable : {"HALVANE_CALENDAR_DB", "HALVANE_COMMHISTORY_DB", "HALVANE_MAILDIR", "QT_LOGGING_RULES"})
        qunsetenv(variable);
    qputenv("HALVANE_PLUGINS_PATH", QByteArray(HVLOAD_PLUGINS_BASE "/"));
    qputenv("QT_PLUGIN_PATH", QByteArray(HVLOAD_QT_PLUGINS));

    QProcess bus;
    QProcess tracker;
    if (!HVTest::startSessionBus(bus, dir.filePath(QStringLiteral("bus"))))
        fail("cannot start a session bus");
    if (!HVTest::startTrackerEndpoint(tracker, dir.filePath(QStringLiteral("tracker")), QLatin1String(TrackerService)))
        fail("cannot start a Tracker endpoint");
    qputenv("HALVANE_TRACKER_SERVICE", TrackerService);

    // The forecast server answers from a thread of its own, so that it stays
    // responsive while this thread is busy making changes.
    const QString forecasts = prepareWeather(dir.path(), config, profile.cities);
    QThread weatherThread;
    QObject weatherContext;
    weatherContext.moveToThread(&weatherThread);
    weatherThread.start();
    Halvane::HVDemoWeatherServer *weather = nullptr;
    QString weatherHost;
    QMetaObject::invokeMethod(&weatherContext, [&] {
        weather = new Halvane::HVDemoWeatherServer(forecasts);
        if (weather->start())
            weatherHost = weather->host();
    }, Qt::BlockingQueuedConnection);
    if (weatherHost.isEmpty())
        fail("cannot start the forecast server");
    qputenv("HALVANE_WEATHER_HOST", weatherHost.toLatin1());

    std::printf("profile: %d events (5%% recurring), %d SMS today, %d feed messages (%d today), "
                "%d e-mails (%d today), %d cities\n",
                profile.events, profile.sms, profile.feeds, profile.feedsToday, profile.mails, profile.mailsToday,
                profile.cities);
    std::fflush(stdout);

    QElapsedTimer fillTimer;
    fillTimer.start();
    mKCal::ExtendedCalendar::Ptr calendar(new mKCal::ExtendedCalendar(QTimeZone::systemTimeZone()));
    mKCal::ExtendedStorage storage(calendar, mKCal::ExtendedStorage::defaultDatabaseName());
    if (!storage.open())
        fail("cannot open the calendar");
    fillCalendar(calendar, storage, profile.events);

    CommHistory::HistoryWriter history;
    if (!history.isOpen())
        fail("cannot open the SMS history");
    const CommHistory::Group group = history.ensureGroup(QLatin1String(SenderNumber), QStringLiteral("Load Sender"));
    fillSms(history, group, profile.sms);

    QSparqlConnection feeds(QStringLiteral("QTRACKER"));
    fillFeeds(feeds, profile);

    HVLoadMail mail;
    if (!mail.fill(profile.mails, profile.mailsToday))
        fail(qPrintable(QStringLiteral("cannot fill the mail store: ") + mail.errorString()));
    std::printf("filled in %.1f s\n\n", fillTimer.elapsed() / 1000.0);
    if (args.contains(QStringLiteral("--hold"))) {
        for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "HALVANE_PLUGINS_PATH",
                                     "QT_PLUGIN_PATH", "HALVANE_TRACKER_SERVICE", "HALVANE_WEATHER_HOST",
                                     "DBUS_SESSION_BUS_ADDRESS"})
            std::printf("export %s='%s'\n", variable, qgetenv(variable).constData());
        std::printf("press Enter to go on\n");
        std::fflush(stdout);
        std::getchar();
    }

    // One full overview, as a user starting the program sees it.
    const Run run = runOverview(dir.filePath(QStringLiteral("overview.json")));
    const QJsonObject overview = QJsonDocument::fromJson(run.output).object();
    if (run.exitCode != 0 || overview.isEmpty())
        fail("the overview failed");
    int sms = 0;
    int emails = 0;
    for (const QJsonValue &row : overview.value(QStringLiteral("message")).toArray())
        ++(row.toObject().value(QStringLiteral("messageType")).toInt() == 2 ? sms : emails);
    std::printf("full overview: %.2f s, peak %.0f MB (goal: <= 0.6 s, <= 100 MB)\n", run.seconds, run.peakKiB / 1024.0);
    std::printf("rows: %d events, %d SMS (expected %d), %d feed messages (expected %d), %d e-mails (expected %d), "
                "%d weather\n",
                int(overview.value(QStringLiteral("event")).toArray().size()), sms, profile.sms,
                int(overview.value(QStringLiteral("feed")).toArray().size()), profile.feedsToday, emails,
                profile.mailsToday, int(overview.value(QStringLiteral("weather")).toArray().size()));
    std::fflush(stdout);

    // Live changes while the overview follows. Its output is read, and each
    // line timed, in a thread of its own, so that the time a change arrives
    // does not wait for this thread to finish making the next ones.
    QElapsedTimer clock;
    clock.start();
    QMutex lock;
    QHash<QString, Arrivals> arrivals;
    QHash<QString, qint64> arrivedAt; // label -> ms on clock when first shown
    qint64 lines = 0;
    bool started = false;
    std::atomic<bool> stop{false};
    std::unique_ptr<QThread> reader(QThread::create([&] {
        QProcess follower;
        follower.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        follower.start(program("halvane-overview"), {QStringLiteral("--json"), QStringLiteral("--settle"),
                                                     QStringLiteral("0"), QStringLiteral("--follow"), QStringLiteral("0")});
        if (!follower.waitForStarted())
            return;
        QByteArray pending;
        bool first = true;
        while (!stop) {
            follower.waitForReadyRead(100);
            pending += follower.readAllStandardOutput();
            const qint64 now = clock.elapsed();
            QMutexLocker locker(&lock);
            int end;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.left(end);
                pending.remove(0, end + 1);
                if (std::exchange(first, false)) {
                    started = true; // the overview itself
                    continue;
                }
                const QJsonObject change = QJsonDocument::fromJson(line).object();
                ++lines;
                const QString kind = change.value(QStringLiteral("change")).toString();
                const QString type = change.value(QStringLiteral("type")).toString();
                if (kind == QLatin1String("reset") || kind == QLatin1String("sorted")) {
                    for (auto it = arrivals.begin(); it != arrivals.end(); ++it)
                        it->present.clear();
                    for (const QJsonValue &row : change.value(QStringLiteral("rows")).toArray()) {
                        const QString key = rowKey(type, row.toObject());
                        if (key.startsWith(QLatin1String("Live "))) {
                            arrivals[sourceOf(key)].present.insert(key);
                            if (!arrivedAt.contains(key))
                                arrivedAt.insert(key, now);
                        }
                    }
                    continue;
                }
                const QString key = rowKey(type, change.value(QStringLiteral("item")).toObject());
                if (!key.startsWith(QLatin1String("Live ")))
                    continue;
                Arrivals &source = arrivals[sourceOf(key)];
                if (kind == QLatin1String("inserted")) {
                    ++source.inserted[key];
                    source.present.insert(key);
                    if (!arrivedAt.contains(key))
                        arrivedAt.insert(key, now);
                } else {
                    ++source.other;
                }
            }
        }
        follower.terminate();
        if (!follower.waitForFinished(10000))
            follower.kill();
    }));
    reader->start();
    QElapsedTimer startup;
    startup.start();
    while (startup.elapsed() < 120000) {
        QThread::msleep(20);
        QMutexLocker locker(&lock);
        if (started)
            break;
    }
    {
        QMutexLocker locker(&lock);
        if (!started)
            fail("the following overview did not start");
    }

    const char *sources[] = {"calendar", "sms", "feeds", "mail"};
    QHash<QString, qint64> madeAt; // label -> ms on clock when committed
    QElapsedTimer changeTimer;
    changeTimer.start();
    // Spread between midnight and now: today's for every source, none in the future.
    const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
    const qint64 sinceMidnight = midnight.secsTo(QDateTime::currentDateTime());
    const auto liveTime = [&](int n) { return midnight.addSecs(sinceMidnight * n / changes); };
    for (int n = 0; n < changes; ++n) {
        Event::Ptr event(new Event);
        event->setUid(QStringLiteral("live-%1").arg(n));
        event->setSummary(liveLabel("calendar", n));
        event->setDtStart(todayAt(8 * 3600 + (n % 600) * 60));
        event->setDtEnd(todayAt(8 * 3600 + (n % 600) * 60 + 1800));
        calendar->addIncidence(event);
        if (!storage.save())
            fail("cannot add a live event");
        madeAt.insert(liveLabel("calendar", n), clock.elapsed());

        if (!addSms(history, group, liveLabel("sms", n), liveTime(n), nullptr))
            fail("cannot add a live SMS");
        madeAt.insert(liveLabel("sms", n), clock.elapsed());

        if (!update(feeds, QStringLiteral("INSERT DATA { ") + feedMessage(QStringLiteral("live%1").arg(n),
                                                                         liveLabel("feeds", n), liveTime(n)) + QLatin1Char('}')))
            fail("cannot add a live feed message");
        madeAt.insert(liveLabel("feeds", n), clock.elapsed());

        if (!mail.add(liveLabel("mail", n), liveTime(n)))
            fail(qPrintable(QStringLiteral("cannot add a live e-mail: ") + mail.errorString()));
        madeAt.insert(liveLabel("mail", n), clock.elapsed());

        if (n % 50 == 49)
            QCoreApplication::processEvents();
    }
    const double changeSeconds = changeTimer.elapsed() / 1000.0;

    // Everything made must arrive; wait until it has, or until nothing came for a while.
    const auto complete = [&] {
        QMutexLocker locker(&lock);
        for (const char *source : sources) {
            if (arrivals.value(QLatin1String(source)).inserted.size() < changes)
                return false;
        }
        return true;
    };
    const auto linesSoFar = [&] {
        QMutexLocker locker(&lock);
        return lines;
    };
    QElapsedTimer quiet;
    quiet.start();
    qint64 seen = linesSoFar();
    while (!complete() && quiet.elapsed() < 30000) {
        QThread::msleep(200);
        if (linesSoFar() != seen) {
            seen = linesSoFar();
            quiet.restart();
        }
    }
    const double arrivalSeconds = changeTimer.elapsed() / 1000.0;
    // A moment more for late duplicates.
    QThread::msleep(3000);
    stop = true;
    reader->wait();

    std::printf("\nlive changes: %d per source made in %.1f s, the last arrived after %.1f s\n", changes, changeSeconds,
                arrivalSeconds);
    std::printf("%10s %10s %10s %10s %10s %12s %12s\n", "source", "made", "arrived", "lost", "duplicated",
                "p95 (ms)", "max (ms)");
    bool exact = true;
    for (const char *source : sources) {
        const Arrivals found = arrivals.value(QLatin1String(source));
        int arrived = 0;
        int duplicated = 0;
        QVector<qint64> delays;
        for (int n = 0; n < changes; ++n) {
            const QString label = liveLabel(source, n);
            const int times = found.inserted.value(label);
            arrived += times > 0 || found.present.contains(label);
            duplicated += qMax(0, times - 1);
            if (arrivedAt.contains(label))
                delays.append(qMax<qint64>(0, arrivedAt.value(label) - madeAt.value(label)));
        }
        std::sort(delays.begin(), delays.end());
        const qint64 p95 = delays.isEmpty() ? -1 : delays.at(qMax(0, int(std::ceil(delays.size() * 0.95)) - 1));
        const qint64 worst = delays.isEmpty() ? -1 : delays.last();
        exact = exact && arrived == changes && duplicated == 0;
        std::printf("%10s %10d %10d %10d %10d %12lld %12lld\n", source, changes, arrived, changes - arrived, duplicated,
                    p95, worst);
    }
    std::printf("every change delivered exactly once: %s (goal: p95 <= 1000 ms, max <= 2000 ms per source)\n",
                exact ? "yes" : "NO");
    std::fflush(stdout);

    // The same overview beside one of a profile twice as large: the second
    // half is added to the same stores, so the two cannot alternate; the
    // best of three runs each.
    if (!args.contains(QStringLiteral("--no-double"))) {
        const auto bestRun = [&](const QString &name) {
            Run best;
            for (int run = 0; run < 3; ++run) {
                const Run one = runOverview(dir.filePath(name));
                if (one.exitCode != 0)
                    fail("the overview failed");
                if (run == 0 || one.seconds < best.seconds)
                    best = one;
            }
            return best;
        };
        const Run base = bestRun(QStringLiteral("base.json"));
        fillCalendar(calendar, storage, profile.events, profile.events);
        fillSms(history, group, profile.sms);
        fillFeeds(feeds, profile, profile.feeds);
        if (!mail.fill(profile.mails, profile.mailsToday, profile.mails))
            fail(qPrintable(QStringLiteral("cannot fill the mail store: ") + mail.errorString()));
        const Run doubled = bestRun(QStringLiteral("double.json"));
        std::printf("\noverview (best of 3): profile %.2f s, peak %.0f MB; twice the profile %.2f s, peak %.0f MB; "
                    "ratio %.2fx (goal: <= 2.2x)\n",
                    base.seconds, base.peakKiB / 1024.0, doubled.seconds, doubled.peakKiB / 1024.0,
                    base.seconds > 0 ? doubled.seconds / base.seconds : 0.0);
    }
    QMetaObject::invokeMethod(&weatherContext, [&] { delete weather; }, Qt::BlockingQueuedConnection);
    weatherThread.quit();
    weatherThread.wait();
    for (QProcess *helper : {&tracker, &bus}) {
        helper->terminate();
        helper->waitForFinished(5000);
    }
    return exact ? 0 : 1;
}
