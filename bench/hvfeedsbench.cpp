// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// One day's feed messages, and one message by its id as a live change brings
// it: the feeds source's queries side by side with the single join they stand
// for (its reference query), both turned into items by the source.
//
//   hvfeedsbench            1,000, 10,000 and 100,000 messages, 1% of them today
//   hvfeedsbench --quick    1,000 and 10,000
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QLoggingCategory>


#include <cstdio>
#include <memory>

#include "feedsservice.h"
#include "feedsservicesource.h"
#include "hvbenchchild.h"
#include "hvfeed.h"
#include "hvitemid.h"
#include "hvlocalzone.h"
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

QStringList keys(const QList<Halvane::HVItem> &items)
{
    QStringList keys;
    for (const Halvane::HVItem &item : items) {
        const Halvane::HVFeed feed(item);
        keys.append(feed.id().localId() + feed.title() + feed.body() + feed.channel()
                    + feed.dateTime().toString(Qt::ISODate) + feed.displayLabel());
    }
    keys.sort();
    return keys;
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
    const QString day = source->buildQuery(from, to);
    const QString dayReference = FeedsServiceSource::referenceQuery(from, to);
    // A message of today, as the notifier reports a change by its tracker:id.
    std::unique_ptr<QSparqlResult> idResult(connection.exec(QSparqlQuery(
        QStringLiteral("SELECT tracker:id(<urn:bench:m%1>) {}").arg(count / 2 / 100 * 100))));
    const int id = idResult->next() ? idResult->value(0).toInt() : 0;
    const QString one = source->buildQuery(QList<int>{id});
    const QString oneReference = FeedsServiceSource::referenceQuery(QList<int>{id});

    QList<Halvane::HVItem> items = source->getItemListFromBackend(day);
    QList<Halvane::HVItem> reference = source->getItemListFromBackend(dayReference);
    if (items.size() != (count + 99) / 100 || keys(items) != keys(reference)) {
        std::fprintf(stderr, "expected %d messages, the source gave %d, the reference %d (or others)\n",
                     (count + 99) / 100, int(items.size()), int(reference.size()));
        return 1;
    }
    if (source->getItemListFromBackend(one).size() != 1
        || keys(source->getItemListFromBackend(one)) != keys(source->getItemListFromBackend(oneReference))) {
        std::fprintf(stderr, "the message by id differs\n");
        return 1;
    }
    // Alternated, so that neither side profits from caches the other warmed.
    double dayMs = 1e12, dayReferenceMs = 1e12, oneMs = 1e12, oneReferenceMs = 1e12;
    for (int run = 0; run < 7; ++run) {
        dayMs = qMin(dayMs, bestOf(1, [&] { source->retrieveItemList(from, to); }));
        dayReferenceMs = qMin(dayReferenceMs, bestOf(1, [&] { source->getItemListFromBackend(dayReference); }));
        oneMs = qMin(oneMs, bestOf(1, [&] { source->getItemListFromBackend(source->buildQuery(QList<int>{id})); }));
        oneReferenceMs = qMin(oneReferenceMs, bestOf(1, [&] { source->getItemListFromBackend(oneReference); }));
    }
    std::printf("%d %.3f %.3f %.3f %.3f\n", int(items.size()), dayReferenceMs, dayMs, oneReferenceMs, oneMs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As the programs do: local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    // As the overview runs: the sources' debug lines are off.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--measure"))
        return measure(args.at(2).toInt());

    const QList<int> sizes = args.contains(QStringLiteral("--quick")) ? QList<int>{1000, 10000}
                                                                      : QList<int>{1000, 10000, 100000};
    std::printf("%10s %8s %16s %12s %8s %16s %12s %8s\n", "messages", "today", "day, join (ms)", "day (ms)",
                "ratio", "one id, join", "one id", "ratio");
    for (int count : sizes) {
        const QByteArray output = runInFreshStore({QStringLiteral("--measure"), QString::number(count)});
        if (output.isNull()) {
            std::printf("%10d failed\n", count);
            return 1;
        }
        const QList<QByteArray> figures = output.split(' ');
        const double dayReferenceMs = figures.value(1).toDouble();
        const double dayMs = figures.value(2).toDouble();
        const double oneReferenceMs = figures.value(3).toDouble();
        const double oneMs = figures.value(4).toDouble();
        std::printf("%10d %8s %16.3f %12.3f %7.2fx %16.3f %12.3f %7.2fx\n", count, figures.value(0).constData(),
                    dayReferenceMs, dayMs, dayMs > 0 ? dayReferenceMs / dayMs : 0.0, oneReferenceMs, oneMs,
                    oneMs > 0 ? oneReferenceMs / oneMs : 0.0);
    }
    return 0;
}
