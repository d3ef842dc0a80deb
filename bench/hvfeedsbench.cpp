// One day's feed messages: the feeds source (query, typed values, items) side
// by side with the same SELECT read straight through libtracker-sparql.
//
//   hvfeedsbench            1,000, 10,000 and 100,000 messages, 1% of them today
//   hvfeedsbench --quick    1,000 and 10,000
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QLoggingCategory>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <libtracker-sparql/tracker-sparql.h>

#include <cstdio>
#include <memory>

#include "feedsservice.h"
#include "feedsservicesource.h"
#include "qsparqlconnection.h"
#include "qsparqlquery.h"
#include "qsparqlresult.h"

using Halvane::FeedsService;
using Halvane::FeedsServiceSource;

namespace {

// N messages of one channel: every hundredth today, the others on the 99 days before.
bool fill(QSparqlConnection &connection, int count)
{
    const QDateTime midnight(QDate::currentDate(), QTime(0, 0));
    auto channel = std::unique_ptr<QSparqlResult>(connection.exec(QSparqlQuery(
        QStringLiteral("INSERT DATA { <urn:bench:channel> a mfo:FeedChannel ; nie:title \"Bench\" }"),
        QSparqlQuery::InsertStatement)));
    if (channel->hasError())
        return false;
    constexpr int Batch = 1000;
    for (int start = 0; start < count; start += Batch) {
        QString text = QStringLiteral("INSERT DATA { ");
        for (int i = start; i < qMin(count, start + Batch); ++i) {
            const int daysBack = i % 100 == 0 ? 0 : 1 + i % 99;
            const QDateTime at = midnight.addDays(-daysBack).addSecs((i * 7919) % 86400).toUTC();
            text += QStringLiteral("<urn:bench:m%1> a mfo:FeedMessage ; nie:title \"Message <b>%1</b>\" ; "
                                   "nie:description \"Body of message %1\" ; "
                                   "mfo:downloadedTime \"%2\"^^xsd:dateTime ; "
                                   "nie:isLogicalPartOf <urn:bench:channel> . ")
                        .arg(i)
                        .arg(at.toString(Qt::ISODate));
        }
        text += QLatin1Char('}');
        auto result = std::unique_ptr<QSparqlResult>(connection.exec(QSparqlQuery(text, QSparqlQuery::InsertStatement)));
        if (result->hasError()) {
            std::fprintf(stderr, "fill: %s\n", qPrintable(result->lastError().message()));
            return false;
        }
    }
    return true;
}

// The plain library: run the query and read every column as text.
int rawRows(TrackerSparqlConnection *connection, const QByteArray &query)
{
    GError *error = nullptr;
    TrackerSparqlCursor *cursor = tracker_sparql_connection_query(connection, query.constData(), nullptr, &error);
    if (!cursor) {
        g_clear_error(&error);
        return -1;
    }
    int rows = 0;
    while (tracker_sparql_cursor_next(cursor, nullptr, nullptr)) {
        for (int column = 0; column < tracker_sparql_cursor_get_n_columns(cursor); ++column)
            tracker_sparql_cursor_get_string(cursor, column, nullptr);
        ++rows;
    }
    g_object_unref(cursor);
    return rows;
}

template <typename Work>
double bestOf(int runs, Work work)
{
    double best = 1e12;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = qMin(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Child: one store of count messages in its own data directory.
int measure(int count)
{
    QSparqlConnection connection;
    if (!connection.isValid() || !fill(connection, count))
        return 1;

    FeedsService service;
    auto *source = static_cast<FeedsServiceSource *>(service.source());
    const QDateTime from(QDate::currentDate(), QTime(0, 0));
    const QDateTime to = from.addDays(1);
    const QByteArray query = source->buildQuery(from, to).toUtf8();
    auto *native = static_cast<TrackerSparqlConnection *>(connection.nativeConnection());

    int items = 0;
    int rows = 0;
    // Warm both up, then take the best of several runs each.
    items = source->retrieveItemList(from, to).size();
    rows = rawRows(native, query);
    // Alternated, so that neither side profits from caches the other warmed.
    double sourceMs = 1e12;
    double rawMs = 1e12;
    for (int run = 0; run < 7; ++run) {
        sourceMs = qMin(sourceMs, bestOf(1, [&] { items = source->retrieveItemList(from, to).size(); }));
        rawMs = qMin(rawMs, bestOf(1, [&] { rows = rawRows(native, query); }));
    }
    if (items != rows || items != (count + 99) / 100) {
        std::fprintf(stderr, "expected %d messages, the source gave %d, the raw query %d\n", (count + 99) / 100,
                     items, rows);
        return 1;
    }
    std::printf("%d %.3f %.3f\n", items, sourceMs, rawMs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As the overview runs: the sources' debug lines are off.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--measure"))
        return measure(args.at(2).toInt());

    const QList<int> sizes = args.contains(QStringLiteral("--quick")) ? QList<int>{1000, 10000}
                                                                      : QList<int>{1000, 10000, 100000};
    std::printf("%10s %8s %14s %14s %8s\n", "messages", "today", "source (ms)", "raw (ms)", "ratio");
    for (int count : sizes) {
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        env.remove(QStringLiteral("HALVANE_TRACKER_SERVICE"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), QString::number(count)});
        if (!child.waitForFinished(1800000) || child.exitCode() != 0) {
            std::printf("%10d failed\n", count);
            return 1;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        const double sourceMs = figures.value(1).toDouble();
        const double rawMs = figures.value(2).toDouble();
        std::printf("%10d %8s %14.3f %14.3f %7.2fx\n", count, figures.value(0).constData(), sourceMs, rawMs,
                    rawMs > 0 ? sourceMs / rawMs : 0.0);
    }
    return 0;
}
