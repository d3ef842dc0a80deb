// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The import of one large feed, as halvane-feeds makes it (a batch of small
// updates in one transaction), beside the same text sent as one update. Each
// into an empty local store of its own.
// Then what a refresh reads of each unchanged feed (FeedImporter::readStore),
// beside the single joins it stands for, in stores of many feeds of 50 items.
//
//   hvfeedimportbench            1,000, 4,000 and 10,000 items; 1,000, 4,000 and 16,000 stored
//   hvfeedimportbench --quick    1,000 and 4,000; 1,000 and 4,000 stored
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QHash>

#include <cstdio>
#include <memory>

#include "feedimporter.h"
#include "hvbenchchild.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

namespace {

QByteArray feed(int count, int site = 0)
{
    const QByteArray host = "http://example" + QByteArray::number(site) + ".org/";
    QByteArray rss = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>Bench</title>"
                     "<link>" + host + "</link>";
    for (int i = 0; i < count; ++i) {
        rss += QStringLiteral("<item><title>Item %1 &amp; more</title><link>%2%1</link><guid>g%1</guid>"
                              "<description>Body of item %1, with some text.</description></item>\n")
                   .arg(i)
                   .arg(QString::fromLatin1(host))
                   .toUtf8();
    }
    return rss + "</channel></rss>";
}

QUrl feedUrl(int site)
{
    return QUrl(QStringLiteral("http://example%1.org/feed.xml").arg(site));
}

// What a refresh read of a feed before: the channel by its source, and the
// stored messages, each one join.
bool readByJoins(QSparqlConnection &connection, FeedImporter &importer, const QUrl &source)
{
    QSparqlQuery keys(QStringLiteral("SELECT ?key ?title WHERE { ?c a mfo:FeedChannel ; nie:identifier ?key ; "
                                     "nie:title ?title ; nie:links ?s . ?s nie:url ?:url }"));
    keys.bindValue(QStringLiteral("url"), source.toString(QUrl::FullyEncoded));
    std::unique_ptr<QSparqlResult> channel(connection.exec(keys));
    while (channel->next() && !importer.continueChannel(channel->value(0).toString(), channel->value(1).toString())) {
    }
    QSparqlQuery stored(QStringLiteral("SELECT ?m ?t ?d ?url WHERE { ?m a mfo:FeedMessage ; nie:isLogicalPartOf ?:channel ; "
                                       "nie:title ?t ; nie:description ?d ; mfo:downloadedTime ?when . "
                                       "OPTIONAL { ?m nie:links ?l . ?l nie:url ?url } }"));
    stored.bindValue(QStringLiteral("channel"), importer.channel());
    std::unique_ptr<QSparqlResult> messages(connection.exec(stored));
    QHash<QUrl, QStringList> found;
    while (messages->next())
        found.insert(messages->value(0).toUrl(),
                     {messages->value(1).toString(), messages->value(2).toString(), messages->value(3).toString()});
    importer.setStored(found);
    return !channel->hasError() && !messages->hasError();
}

// Child: a store of stored / 50 feeds; prints the milliseconds a feed takes
// to read, by joins and by readStore, and whether both found the same.
int measureRead(int stored)
{
    QSparqlConnection connection;
    if (!connection.isValid())
        return 1;
    constexpr int Items = 50;
    const int feeds = stored / Items;
    for (int site = 0; site < feeds; ++site) {
        FeedImporter importer;
        if (!importer.parse(feed(Items, site), feedUrl(site)))
            return 1;
        std::unique_ptr<QSparqlResult> result(connection.exec(importer.updates()));
        if (result->hasError())
            return 1;
    }
    constexpr int Reads = 20;
    double seconds[2] = {};
    bool same = true;
    for (int i = 0; i < Reads; ++i) {
        const int site = i * feeds / Reads;
        FeedImporter byJoins;
        FeedImporter byColumns;
        if (!byJoins.parse(feed(Items, site), feedUrl(site)) || !byColumns.parse(feed(Items, site), feedUrl(site)))
            return 1;
        QElapsedTimer timer;
        timer.start();
        if (!readByJoins(connection, byJoins, feedUrl(site)))
            return 1;
        seconds[0] += timer.nsecsElapsed() / 1e9;
        timer.restart();
        QString error;
        if (!byColumns.readStore(connection, &error))
            return 1;
        seconds[1] += timer.nsecsElapsed() / 1e9;
        // Unchanged: both know the channel, and neither has a message to write.
        const auto writes = [](const FeedImporter &importer) {
            int count = 0;
            for (const QSparqlQuery &update : importer.updates())
                count += update.preparedQueryText().count(QLatin1String("a mfo:FeedMessage"));
            return count;
        };
        same = same && byJoins.channel() == byColumns.channel() && writes(byJoins) == 0 && writes(byColumns) == 0;
    }
    std::printf("%.3f %.3f %d\n", seconds[0] * 1000 / Reads, seconds[1] * 1000 / Reads, int(same));
    return 0;
}

// Child: imports count items, as a batch or as one update; prints seconds.
int measure(int count, bool single)
{
    FeedImporter importer;
    if (!importer.parse(feed(count), QUrl(QStringLiteral("http://example.org/feed.xml"))))
        return 1;
    QSparqlConnection connection;
    if (!connection.isValid())
        return 1;
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<QSparqlResult> result;
    if (single) {
        QStringList texts;
        for (const QSparqlQuery &update : importer.updates())
            texts.append(update.preparedQueryText());
        result.reset(connection.exec(QSparqlQuery(texts.join(QLatin1String(" ; ")), QSparqlQuery::InsertStatement)));
    } else {
        result.reset(connection.exec(importer.updates()));
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::unique_ptr<QSparqlResult> stored(
        connection.exec(QSparqlQuery(QStringLiteral("SELECT (COUNT(?m) AS ?n) WHERE { ?m a mfo:FeedMessage }"))));
    if (result->hasError() || !stored->next() || stored->value(0).toInt() != count) {
        std::fprintf(stderr, "import of %d failed: %s\n", count, qPrintable(result->lastError().message()));
        return 1;
    }
    std::printf("%.3f\n", seconds);
    return 0;
}

double inChild(int count, bool single)
{
    const QByteArray output = runInFreshStore(
        {QStringLiteral("--measure"), QString::number(count), single ? QStringLiteral("single") : QStringLiteral("batch")});
    return output.isNull() ? -1 : output.toDouble();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--measure"))
        return measure(args.at(2).toInt(), args.at(3) == QLatin1String("single"));
    if (args.size() == 3 && args.at(1) == QLatin1String("--read"))
        return measureRead(args.at(2).toInt());

    const QList<int> sizes = args.contains(QStringLiteral("--quick")) ? QList<int>{1000, 4000} : QList<int>{1000, 4000, 10000};
    std::printf("%8s %18s %12s %8s\n", "items", "one update (s)", "batch (s)", "ratio");
    for (int count : sizes) {
        const double single = inChild(count, true);
        const double batch = inChild(count, false);
        if (single < 0 || batch < 0) {
            std::printf("%8d failed\n", count);
            return 1;
        }
        std::printf("%8d %18.3f %12.3f %7.2fx\n", count, single, batch, batch > 0 ? single / batch : 0.0);
    }

    std::printf("\nan unchanged feed read again, per feed\n%8s %18s %16s %8s\n", "stored", "joins (ms)", "readStore (ms)",
                "ratio");
    const QList<int> stores = args.contains(QStringLiteral("--quick")) ? QList<int>{1000, 4000} : QList<int>{1000, 4000, 16000};
    for (int stored : stores) {
        const QList<QByteArray> fields =
            runInFreshStore({QStringLiteral("--read"), QString::number(stored)}).trimmed().split(' ');
        if (fields.size() != 3 || fields.at(2) != "1") {
            std::printf("%8d failed\n", stored);
            return 1;
        }
        const double joins = fields.at(0).toDouble();
        const double columns = fields.at(1).toDouble();
        std::printf("%8d %18.2f %16.2f %7.2fx\n", stored, joins, columns, columns > 0 ? joins / columns : 0.0);
    }
    return 0;
}
