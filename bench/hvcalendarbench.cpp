// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// One day's retrieval by the events plug-in from calendar databases of
// 1,000, 10,000 and 100,000 entries, 5% of them recurring. The first
// retrieval after start-up reads and parses the database; later ones of the
// same day find the calendar unchanged; "changed" ones follow a change of one
// recurring entry by another connection, as after another process saved.
// Prints the figures and the ratios of the largest to the smallest; the
// first retrieval also as the processor time it took, which a busy machine
// disturbs less than the time on the clock.
#include <KCalendarCore/Event>

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QPluginLoader>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>

#include <cstdio>
#include <ctime>

#include "extendedcalendar.h"
#include "extendedstorage.h"
#include "hvitem.h"
#include "hvlocalzone.h"
#include "hvservice.h"
#include "hvserviceplugin.h"
#include "hvservicesource.h"

using namespace KCalendarCore;

namespace {

bool fill(const QString &database, int count)
{
    mKCal::ExtendedCalendar::Ptr calendar(new mKCal::ExtendedCalendar(QTimeZone::systemTimeZone()));
    mKCal::ExtendedStorage storage(calendar, database);
    if (!storage.open())
        return false;
    QRandomGenerator random(count);
    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i) {
        Event::Ptr event(new Event);
        event->setUid(QStringLiteral("bench-%1").arg(i));
        event->setSummary(QStringLiteral("Entry %1").arg(i));
        event->setLocation(QStringLiteral("Room %1").arg(i % 40));
        // Five years back, one year ahead, on the quarter hour.
        const QDateTime start = now.addSecs(qint64(random.bounded(6 * 365 * 96) - 5 * 365 * 96) * 900);
        event->setDtStart(start);
        event->setDtEnd(start.addSecs(1800 + 900 * random.bounded(8)));
        if (i % 20 == 0) {
            // Daily or weekly; half of the series end after some weeks.
            event->recurrence()->setDaily(i % 40 == 0 ? 1 : 7);
            if (i % 80 < 40)
                event->recurrence()->setDuration(10 + random.bounded(50));
        }
        calendar->addIncidence(event);
    }
    return storage.save();
}

// Another connection renames a series, as another process would.
bool rename(const QString &database, const QString &uid, const QString &summary)
{
    mKCal::ExtendedCalendar::Ptr calendar(new mKCal::ExtendedCalendar(QTimeZone::systemTimeZone()));
    mKCal::ExtendedStorage storage(calendar, database);
    if (!storage.open() || !storage.loadIncidence(uid))
        return false;
    const Incidence::Ptr series = calendar->incidence(uid);
    if (!series)
        return false;
    series->setSummary(summary);
    return storage.save();
}

double threadCpuMs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double retrieve(Halvane::HVServiceSource *source, QList<Halvane::HVItem> *items = nullptr, double *cpuMs = nullptr)
{
    const QDateTime from(QDate::currentDate(), QTime(0, 0));
    const double cpuStart = threadCpuMs();
    QElapsedTimer timer;
    timer.start();
    const QList<Halvane::HVItem> result = source->retrieveItemList(from, from.addDays(1));
    const double ms = timer.nsecsElapsed() / 1e6;
    if (cpuMs)
        *cpuMs = threadCpuMs() - cpuStart;
    if (items)
        *items = result;
    return ms;
}

// The label the day's list shows for an entry; empty when it is not there.
QString labelOf(const QList<Halvane::HVItem> &items, const QString &uid)
{
    for (const Halvane::HVItem &item : items) {
        if (item.id().localId() == uid)
            return item.displayLabel();
    }
    return QString();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As the programs do: local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    QPluginLoader loader(QStringLiteral(HVBENCH_EVENTS_PLUGIN));
    auto *plugin = qobject_cast<Halvane::HVServicePlugin *>(loader.instance());
    if (!plugin) {
        std::fprintf(stderr, "hvcalendarbench: cannot load %s: %s\n", HVBENCH_EVENTS_PLUGIN,
                     qPrintable(loader.errorString()));
        return 1;
    }

    const int sizes[] = {1000, 10000, 100000};
    double first[3] = {};
    double later[3] = {};
    double changed[3] = {};
    double firstCpu[3] = {};
    std::printf("%10s %12s %14s %12s %14s %16s\n", "entries", "fill (s)", "first (ms)", "later (ms)", "changed (ms)",
                "first cpu (ms)");
    for (int s = 0; s < 3; ++s) {
        // HVCALENDARBENCH_DIR keeps the filled databases for later runs
        // (profiling the retrievals alone).
        QTemporaryDir tempDir;
        const QString keep = qEnvironmentVariable("HVCALENDARBENCH_DIR");
        const QString database = keep.isEmpty() ? tempDir.filePath(QStringLiteral("calendar.db"))
                                                : QStringLiteral("%1/calendar-%2.db").arg(keep).arg(sizes[s]);
        qputenv("HALVANE_CALENDAR_DB", QFile::encodeName(database));
        QElapsedTimer timer;
        timer.start();
        if (!QFile::exists(database) && !fill(database, sizes[s])) {
            std::fprintf(stderr, "hvcalendarbench: cannot fill %s\n", qPrintable(database));
            return 1;
        }
        const double fillSeconds = timer.elapsed() / 1000.0;

        Halvane::HVService *service = plugin->createService();
        QList<Halvane::HVItem> items;
        first[s] = retrieve(service->source(), &items, &firstCpu[s]);
        // A daily series without end that shows today.
        QString uid;
        for (const Halvane::HVItem &item : qAsConst(items)) {
            const QString id = item.id().localId();
            if (id.startsWith(QLatin1String("bench-")) && id.mid(6).toInt() % 80 == 40) {
                uid = id;
                break;
            }
        }
        double best = 1e9;
        for (int run = 0; run < 5; ++run)
            best = qMin(best, retrieve(service->source()));
        later[s] = best;
        best = 1e9;
        for (int run = 0; run < 5; ++run) {
            const QString summary = QStringLiteral("Renamed %1").arg(run);
            if (uid.isEmpty() || !rename(database, uid, summary)) {
                std::fprintf(stderr, "hvcalendarbench: cannot change a series in %s\n", qPrintable(database));
                return 1;
            }
            best = qMin(best, retrieve(service->source(), &items));
            // The figure counts only if the retrieval saw the change.
            if (labelOf(items, uid) != summary) {
                std::fprintf(stderr, "hvcalendarbench: the retrieval missed the change of %s\n", qPrintable(uid));
                return 1;
            }
        }
        changed[s] = best;
        delete service;
        std::printf("%10d %12.1f %14.2f %12.2f %14.2f %16.2f\n", sizes[s], fillSeconds, first[s], later[s], changed[s],
                    firstCpu[s]);
    }
    std::printf("ratio 100,000 : 1,000   first %.2f   later %.2f   changed %.2f   first cpu %.2f\n",
                first[2] / first[0], later[2] / later[0], changed[2] / changed[0], firstCpu[2] / firstCpu[0]);
    return 0;
}
