#ifndef FEEDSSERVICESOURCE_H
#define FEEDSSERVICESOURCE_H

#include "hvservicesource.h"
#include "trackerchangenotifier.h"

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
    QList<HVItem> getItemListFromBackend(const QString &query);

public Q_SLOTS:
    bool synchronize() override;
    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override;
    void slotFeedMessagesChanged(QList<TrackerChangeNotifier::Quad> deletes,
                                 QList<TrackerChangeNotifier::Quad> inserts);
    void slotFeedChannelsChanged(QList<TrackerChangeNotifier::Quad> deletes,
                                 QList<TrackerChangeNotifier::Quad> inserts);

private:
    FeedsService *service;
};

} // namespace Halvane

#endif // FEEDSSERVICESOURCE_H
