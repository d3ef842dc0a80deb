// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// Retrieval and change-batch figures of the item model with its four proxies.
//
//   hvmodelbench            all figures
//   hvmodelbench --quick    smaller sizes, for a smoke run
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>

#include <cstdio>

#include "hvitemmodel.h"
#include "hvitemmodelfactory.h"
#include "hvitemtype.h"
#include "hvproxyitemmodel.h"

using namespace Halvane;

namespace {

const char *const TestPlugins[] = {"hvtestmessage", "hvtestevent", "hvtestfeed", "hvtestweather", "hvtestsms"};

bool sortedByDate(const QAbstractItemModel *model)
{
    for (int row = 1; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data(HVItemModel::DateRole).toDateTime()
            < model->index(row - 1, 0).data(HVItemModel::DateRole).toDateTime())
            return false;
    }
    return true;
}

// Child: from the first createModel() to four proxies holding sorted rows.
int runRetrieval(QCoreApplication &app, int perPlugin)
{
    QElapsedTimer timer;
    timer.start();
    QList<HVProxyItemModel *> proxies;
    const QStringList types = HVItemModelFactory::supportedItemTypes();
    for (const QString &type : types)
        proxies.append(HVItemModelFactory::createModel(type));
    qint64 elapsed = -1;
    QObject::connect(proxies.first()->sourceModel(), &QAbstractItemModel::modelReset, &app, [&] {
        elapsed = timer.elapsed();
        QCoreApplication::quit();
    });
    app.exec();

    int rows = 0;
    for (const HVProxyItemModel *proxy : qAsConst(proxies)) {
        if (!sortedByDate(proxy)) {
            std::fprintf(stderr, "proxy %s is not sorted\n", qPrintable(proxy->itemType()));
            return 1;
        }
        rows += proxy->rowCount();
    }
    if (rows != perPlugin * 5) {
        std::fprintf(stderr, "expected %d rows, got %d\n", perPlugin * 5, rows);
        return 1;
    }
    std::printf("%lld\n", elapsed);
    return 0;
}

qint64 retrievalMilliseconds(const QString &pluginsDir, int perPlugin)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALVANE_PLUGINS_PATH"), pluginsDir);
    env.insert(QStringLiteral("HALVANE_TEST_GENERATE"), QString::number(perPlugin));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--retrieve"), QString::number(perPlugin)});
    if (!child.waitForFinished(600000) || child.exitCode() != 0)
        return -1;
    return child.readAllStandardOutput().trimmed().toLongLong();
}

QList<HVItem> makeItems(int count, QRandomGenerator &random)
{
    const QStringList types = HVItemModel::getSupportedItemTypes();
    const qint64 midnight = QDateTime(QDate::currentDate(), QTime(0, 0)).toMSecsSinceEpoch();
    QList<HVItem> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        HVItem item(types.at(i % types.size()));
        item.setId(HVItemId(QString::number(i), QStringLiteral("bench")));
        item.setDateTime(QDateTime::fromMSecsSinceEpoch(midnight + random.bounded(86400) * 1000LL, Qt::UTC));
        item.setDisplayLabel(QStringLiteral("item %1").arg(i));
        items.append(item);
    }
    return items;
}

struct BatchTimes
{
    double changes = 0;
    double removals = 0;
};

// An n-row model with the four proxies; k changes of content, then k removals,
// both in random order.
BatchTimes batchMilliseconds(int n, int k)
{
    QRandomGenerator random(n);
    HVItemModel model;
    QCoreApplication::processEvents(); // lets its own (empty) retrieval finish first
    QList<HVProxyItemModel *> proxies;
    for (const QString &type : HVItemModel::getSupportedItemTypes())
        proxies.append(new HVProxyItemModel(type, &model, &model));
    const QList<HVItem> items = makeItems(n, random);
    model.addNewItems(items);

    QList<HVItem> batch;
    for (int i = 0; i < k; ++i) {
        HVItem changed = items.at(random.bounded(n));
        changed.setDescription(QStringLiteral("changed %1").arg(i));
        batch.append(changed);
    }
    BatchTimes times;
    QElapsedTimer timer;
    timer.start();
    model.updateItems(batch);
    times.changes = timer.nsecsElapsed() / 1e6;

    QList<HVItem> removals = items.mid(0, k);
    std::shuffle(removals.begin(), removals.end(), random);
    timer.restart();
    model.removeItems(removals);
    times.removals = timer.nsecsElapsed() / 1e6;
    if (model.rowCount() != n - k)
        std::fprintf(stderr, "removal left %d rows instead of %d\n", model.rowCount(), n - k);
    return times;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--retrieve"))
        return runRetrieval(app, args.at(2).toInt());
    const bool quick = args.contains(QStringLiteral("--quick"));

    std::printf("Retrieval: five plug-ins with N items each, createModel() to four sorted proxies\n");
#ifdef HVBENCH_PLUGIN_DIR
    QTemporaryDir pluginsDir;
    for (const char *plugin : TestPlugins) {
        const QString file = QStringLiteral("lib%1.so").arg(QLatin1String(plugin));
        QFile::copy(QStringLiteral(HVBENCH_PLUGIN_DIR "/") + file, pluginsDir.filePath(file));
    }
    const QList<int> sizes = quick ? QList<int>{1000, 10000} : QList<int>{1000, 10000, 100000};
    qint64 first = 0;
    for (int n : sizes) {
        const qint64 ms = retrievalMilliseconds(pluginsDir.path(), n);
        if (ms < 0) {
            std::printf("  N=%-7d failed\n", n);
            return 1;
        }
        if (!first)
            first = qMax<qint64>(ms, 1);
        std::printf("  N=%-7d rows=%-7d %6lld ms   x%.1f of N=%d\n", n, n * 5, ms, double(ms) / first, sizes.first());
    }
#else
    std::printf("  skipped: built without the test plug-ins\n");
#endif

    std::printf("\nChange batches on an n-row model with four proxies (k = n changes, then n/10 removals)\n");
    const QList<int> rows = quick ? QList<int>{2000, 4000} : QList<int>{10000, 20000};
    QList<BatchTimes> results;
    for (int n : rows) {
        // Changes: k = n. Removals: k = n / 10, since every removal also costs the proxies a pass.
        const BatchTimes changes = batchMilliseconds(n, n);
        const BatchTimes removals = batchMilliseconds(n, n / 10);
        BatchTimes times{changes.changes, removals.removals};
        results.append(times);
        std::printf("  n=%-6d %6d changes %8.1f ms   %5d removals %8.1f ms\n", n, n, times.changes, n / 10,
                    times.removals);
    }
    std::printf("  doubling n: changes x%.2f, removals x%.2f\n", results.at(1).changes / results.at(0).changes,
                results.at(1).removals / results.at(0).removals);
    return 0;
}
