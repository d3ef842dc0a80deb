// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvoverview.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

#include <cstdio>

#include "hvdaywatcher.h"
#include "hvitemmodel.h"
#include "hvitemmodelfactory.h"
#include "hvoverviewprinter.h"
#include "hvproxyitemmodel.h"

namespace Halvane {

HVOverview::HVOverview(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(qMax(0, options.settleMilliseconds));
    connect(&m_settleTimer, &QTimer::timeout, this, &HVOverview::print);
}

void HVOverview::start()
{
    const QStringList types = HVItemModelFactory::supportedItemTypes();
    for (const QString &type : types)
        m_models.append(HVItemModelFactory::createModel(type));

    // The shared model resets when the retrieval has ended; the proxies have
    // re-filtered and re-sorted by the time this runs (they connected first).
    if (QAbstractItemModel *shared = m_models.first()->sourceModel())
        connect(shared, &QAbstractItemModel::modelReset, this, &HVOverview::retrieved);
    else
        print();
}

void HVOverview::retrieved()
{
    if (!m_printed && !m_settleTimer.isActive())
        m_settleTimer.start();
}

void HVOverview::print()
{
    if (m_printed)
        return;
    m_printed = true;

    const bool following = m_options.followSeconds >= 0;
    if (m_options.json) {
        // One line when changes follow, so that the output stays line-oriented.
        writeLine(HVOverviewPrinter::json(m_models, following).trimmed());
    } else {
        writeLine(HVOverviewPrinter::table(m_models).toUtf8().trimmed());
    }

    if (!following) {
        Q_EMIT finished(0);
        return;
    }
    for (HVProxyItemModel *model : qAsConst(m_models))
        followModel(model);
    // Left running over midnight, it goes on with the new day, as the app does.
    if (auto *shared = qobject_cast<HVItemModel *>(m_models.first()->sourceModel()))
        HVDayWatcher::instance()->watch(shared);
    if (m_options.followSeconds > 0)
        QTimer::singleShot(m_options.followSeconds * 1000, this, [this] { Q_EMIT finished(0); });
}

void HVOverview::followModel(HVProxyItemModel *model)
{
    connect(model, &QAbstractItemModel::rowsInserted, this, [this, model](const QModelIndex &, int first, int last) {
        for (int row = first; row <= last; ++row)
            writeChange(QStringLiteral("inserted"), model, row, HVOverviewPrinter::rowObject(model, row));
    });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this, model](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                    writeChange(QStringLiteral("changed"), model, row, HVOverviewPrinter::rowObject(model, row));
            });
    // Read before the rows go, so that the line says what was removed.
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, model](const QModelIndex &, int first, int last) {
                for (int row = first; row <= last; ++row)
                    writeChange(QStringLiteral("removed"), model, row, HVOverviewPrinter::rowObject(model, row));
            });
    connect(model, &QAbstractItemModel::modelReset, this, [this, model] {
        QJsonObject object{{QStringLiteral("change"), QStringLiteral("reset")},
                           {QStringLiteral("type"), model->itemType()},
                           {QStringLiteral("rows"), HVOverviewPrinter::rows(model)}};
        writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
    });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this, model] {
        QJsonObject object{{QStringLiteral("change"), QStringLiteral("sorted")},
                           {QStringLiteral("type"), model->itemType()},
                           {QStringLiteral("rows"), HVOverviewPrinter::rows(model)}};
        writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
    });
}

void HVOverview::writeChange(const QString &change, HVProxyItemModel *model, int row, const QJsonObject &item)
{
    const QJsonObject object{{QStringLiteral("change"), change},
                             {QStringLiteral("type"), model->itemType()},
                             {QStringLiteral("row"), row},
                             {QStringLiteral("item"), item}};
    writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void HVOverview::writeLine(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    // Followers read line by line through a pipe.
    std::fflush(stdout);
}

} // namespace Halvane
