// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The import of one large feed, as halvane-feeds makes it (a batch of small
// updates in one transaction), beside the same text sent as one update. Each
// into an empty local store of its own.
//
//   hvfeedimportbench            1,000, 4,000 and 10,000 items
//   hvfeedimportbench --quick    1,000 and 4,000
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>

#include <cstdio>
#include <memory>

#include "feedimporter.h"
#include "hvbenchchild.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

namespace {

QByteArray feed(int count)
{
    QByteArray rss = "<?xml version=\"1.0\" encoding=\"utf-8\"?><rss version=\"2.0\"><channel><title>Bench</title>"
                     "<link>http://example.org/</link>";
    for (int i = 0; i < count; ++i) {
        rss += QStringLiteral("<item><title>Item %1 &amp; more</title><link>http://example.org/%1</link><guid>g%1</guid>"
                              "<description>Body of item %1, with some text.</description></item>\n")
                   .arg(i)
                   .toUtf8();
    }
    return rss + "</channel></rss>";
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
    return 0;
}
