// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef FEEDSSERVICESOURCE_H
#define FEEDSSERVICESOURCE_H

#include "hvservicesource.h"
#include "trackerchangenotifier.h"

#include <QtCore/QVector>

class QSparqlBinding;
class QSparqlConnection;
class QSparqlResult;

namespace Halvane {

class FeedsService;

/*!
 * Downloaded feed messages as feed records, read from Tracker on every
 * request; nothing is kept in between. Changes announced by the service's
 * notifiers become itemsRemoved() and itemsAdded().
 */
class FeedsServiceSource : public HVServiceSource
{
    Q_OBJECT

public:
    explicit FeedsServiceSource(FeedsService *service);
    ~FeedsServiceSource() override;

    // The messages downloaded within the range, both bounds included.
    QString buildQuery(const QDateTime &fromDateTime, const QDateTime &toDateTime);
    // The messages with these tracker:ids.
    QString buildQuery(const QList<int> &ids);
    // The same messages as one join with their channels, which is what
    // buildQuery() answered before; slow on large stores. Its rows and those
    // of buildQuery() give the same items.
    static QString referenceQuery(const QDateTime &fromDateTime, const QDateTime &toDateTime);
    static QString referenceQuery(const QList<int> &ids);
    // Takes either form.
    QList<HVItem> getItemListFromBackend(const QString &query);

public Q_SLOTS:
    bool synchronize() override;
    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override;
    void slotFeedMessagesChanged(QList<TrackerChangeNotifier::Quad> deletes,
                                 QList<TrackerChangeNotifier::Quad> inserts);
    void slotFeedChannelsChanged(QList<TrackerChangeNotifier::Quad> deletes,
                                 QList<TrackerChangeNotifier::Quad> inserts);

private:
    // The items of the messages of a buildQuery() result, with their
    // descriptions and channel titles read by two more queries.
    static bool completeMessages(QSparqlConnection &connection, QSparqlResult &messages, QList<HVItem> *items);

    FeedsService *service;
};

} // namespace Halvane

#endif // FEEDSSERVICESOURCE_H
