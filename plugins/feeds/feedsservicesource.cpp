#include "feedsservicesource.h"

#include <QtCore/QDebug>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringList>

#include <memory>

#include "feedsservice.h"
#include "hvfeed.h"
#include "hvitemid.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

namespace Halvane {

namespace {

const char ManagerUri[] = "FeedPlugin";

const char DateQueryStart[] =
    " SELECT ?title ?description ?contentCreated ?tit ?messagetitle WHERE { ?messagetitle a mfo:FeedMessage;  "
    "mfo:downloadedTime ?contentCreated ;nie:title ?title ; nie:description ?description ; "
    "nie:isLogicalPartOf ?isLogicalPartOf . {SELECT ?parent ?tit WHERE {?parent a mfo:FeedChannel ; nie:title ?tit} } "
    ". FILTER ((?parent = ?isLogicalPartOf) &&  (?contentCreated >='";
// Tracker 3 compares dates only with typed literals; an untyped string matches nothing.
const char DateQueryMiddle[] = "'^^xsd:dateTime) &&  (?contentCreated <='";
const char DateQueryEnd[] = "'^^xsd:dateTime))} ";

const char IdQuery[] =
    " SELECT ?title ?description ?contentCreated ?tit ?messagetitle  WHERE { ?messagetitle a mfo:FeedMessage;  "
    "mfo:downloadedTime ?contentCreated ;nie:title ?title ; nie:description ?description ; "
    "nie:isLogicalPartOf ?isLogicalPartOf . {SELECT ?parent ?tit WHERE {?parent a mfo:FeedChannel ; nie:title ?tit} } "
    ". FILTER ((?parent = ?isLogicalPartOf)) . FILTER (tracker:id(?messagetitle) IN (%1))} ";

// The local time with its offset from UTC, so that Tracker compares instants.
QString dateTimeLiteral(const QDateTime &dateTime)
{
    return dateTime.toOffsetFromUtc(dateTime.offsetFromUtc()).toString(Qt::ISODate);
}

QString withoutTags(const QString &text)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    return QString(text).remove(tags);
}

HVItemId messageId(const QString &uri)
{
    HVItemId id;
    id.setLocalId(uri);
    id.setManagerUri(QLatin1String(ManagerUri));
    return id;
}

void logQuads(const char *prefix, const QList<TrackerChangeNotifier::Quad> &quads, QList<int> *subjects)
{
    for (const TrackerChangeNotifier::Quad &quad : quads) {
        qDebug() << prefix << quad.graph << ", subject" << quad.subject << ", predicate" << quad.predicate
                           << ", object" << quad.object;
        if (subjects)
            subjects->append(quad.subject);
    }
}

} // namespace

FeedsServiceSource::FeedsServiceSource(FeedsService *service)
    : HVServiceSource(service)
    , service(service)
{
}

FeedsServiceSource::~FeedsServiceSource() = default;

QString FeedsServiceSource::buildQuery(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    qDebug() << "buildQuery";
    const QString query = QLatin1String(DateQueryStart) + dateTimeLiteral(fromDateTime)
        + QLatin1String(DateQueryMiddle) + dateTimeLiteral(toDateTime) + QLatin1String(DateQueryEnd);
    qDebug() << "buildQuery - query - " << query;
    return query;
}

QString FeedsServiceSource::buildQuery(const QList<int> &ids)
{
    QStringList numbers;
    numbers.reserve(ids.size());
    for (int id : ids)
        numbers.append(QString::number(id));
    const QString idText = numbers.join(QLatin1Char(','));
    qDebug() << "FeedsServiceSource::buildQuery() IDs: " << idText;
    return QString::fromLatin1(IdQuery).arg(idText);
}

QList<HVItem> FeedsServiceSource::getItemListFromBackend(const QString &query)
{
    qDebug() << "getItemListFromBackend";
    QList<HVItem> items;
    QSparqlConnection connection(QStringLiteral("QTRACKER"));
    if (!connection.isValid()) {
        qDebug() << "getItemListFromBackend - connection - ERROR";
        return items;
    }
    qDebug() << "getItemListFromBackend - connection - OK";
    std::unique_ptr<QSparqlResult> result(connection.exec(QSparqlQuery(query, QSparqlQuery::SelectStatement)));
    result->waitForFinished();
    if (result->hasError()) {
        qDebug() << "getItemListFromBackend - result - ERROR";
        qWarning() << "Feeds plugin: the Tracker query failed:" << result->lastError().message();
        return items;
    }
    qDebug() << "getItemListFromBackend - result - OK";
    while (result->next()) {
        qDebug() << "getItemListFromBackend - adding item";
        HVFeed feed;
        feed.setTitle(withoutTags(result->binding(0).value().toString()));
        feed.setBody(result->binding(1).value().toString());
        // Stored in UTC; shown, like every other record, in local time.
        feed.setDateTime(result->binding(2).value().toDateTime().toLocalTime());
        feed.setChannel(result->binding(3).value().toString());
        feed.setDisplayLabel(withoutTags(result->binding(0).toString()));
        feed.setId(messageId(result->binding(4).value().toString()));
        items.append(feed);
    }
    return items;
}

QList<HVItem> FeedsServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    qDebug() << "FeedsServiceSource::retrieveItemList";
    if (!fromDateTime.isValid() || !toDateTime.isValid()) {
        qWarning() << "Feeds plugin: no items for an invalid range" << fromDateTime << toDateTime;
        return QList<HVItem>();
    }
    return getItemListFromBackend(buildQuery(fromDateTime, toDateTime));
}

bool FeedsServiceSource::synchronize()
{
    // Tracker is always current: there is nothing to fetch.
    Q_EMIT service->actionCompleted(true);
    return true;
}

void FeedsServiceSource::slotFeedMessagesChanged(QList<TrackerChangeNotifier::Quad> deletes,
                                                 QList<TrackerChangeNotifier::Quad> inserts)
{
    qDebug() << "slotFeedMessagesChanged(): feed messages changed in Tracker.";

    // Tracker cannot answer for deleted resources any more; the notifier
    // still knows their URIs, which is all a removal needs.
    QList<int> deletedIds;
    logQuads("slotFeedMessagesChanged(): deletes: graph ", deletes, &deletedIds);
    QList<HVItem> removed;
    TrackerChangeNotifier *notifier = service->feedMessageNotifier();
    for (int id : qAsConst(deletedIds)) {
        const QString uri = notifier ? notifier->resourceUri(id) : QString();
        if (uri.isEmpty()) {
            qWarning() << "Feeds plugin: no URI known for the deleted message" << id << "- not removed";
            continue;
        }
        HVFeed feed;
        feed.setId(messageId(uri));
        removed.append(feed);
    }
    qDebug() << "Feeds plugin: emiting itemsRemoved with " << removed.size() << " items";
    Q_EMIT itemsRemoved(removed);

    QList<int> insertedIds;
    logQuads("slotFeedMessagesChanged(): inserts: graph ", inserts, &insertedIds);
    // An empty IN () is no valid SPARQL in Tracker 3.
    const QList<HVItem> added =
        insertedIds.isEmpty() ? QList<HVItem>() : getItemListFromBackend(buildQuery(insertedIds));
    qDebug() << "Feeds plugin: emiting itemsAdded with " << added.size() << " items";
    Q_EMIT itemsAdded(added);
}

void FeedsServiceSource::slotFeedChannelsChanged(QList<TrackerChangeNotifier::Quad> deletes,
                                                 QList<TrackerChangeNotifier::Quad> inserts)
{
    qDebug() << "slotFeedChannelsChanged(): feed channels changed in Tracker.";
    logQuads("slotFeedChannelsChanged(): deletes: graph ", deletes, nullptr);
    logQuads("slotFeedChannelsChanged(): inserts: graph ", inserts, nullptr);
}

} // namespace Halvane
