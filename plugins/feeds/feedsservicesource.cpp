// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "feedsservicesource.h"
#include "feeds_debug.h"

#include <QtCore/QDebug>
#include <QtCore/QMultiHash>
#include <QtCore/QSet>
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

// The messages of a range, with their channels, as one join: Tracker turns
// it into SQL that reads every message (its sub-select, and each property
// table used twice, are materialised), some 250 ms at 100,000 messages. The
// rows of what is sent instead must be the same as of this.
const char ReferenceDateQueryStart[] =
    " SELECT ?title ?description ?contentCreated ?tit ?messagetitle WHERE { ?messagetitle a mfo:FeedMessage;  "
    "mfo:downloadedTime ?contentCreated ;nie:title ?title ; nie:description ?description ; "
    "nie:isLogicalPartOf ?isLogicalPartOf . {SELECT ?parent ?tit WHERE {?parent a mfo:FeedChannel ; nie:title ?tit} } "
    ". FILTER ((?parent = ?isLogicalPartOf) &&  (?contentCreated >='";
// Tracker 3 compares dates only with typed literals; an untyped string matches nothing.
const char DateQueryMiddle[] = "'^^xsd:dateTime) &&  (?contentCreated <='";
const char DateQueryEnd[] = "'^^xsd:dateTime))} ";

const char ReferenceIdQuery[] =
    " SELECT ?title ?description ?contentCreated ?tit ?messagetitle  WHERE { ?messagetitle a mfo:FeedMessage;  "
    "mfo:downloadedTime ?contentCreated ;nie:title ?title ; nie:description ?description ; "
    "nie:isLogicalPartOf ?isLogicalPartOf . {SELECT ?parent ?tit WHERE {?parent a mfo:FeedChannel ; nie:title ?tit} } "
    ". FILTER ((?parent = ?isLogicalPartOf)) . FILTER (tracker:id(?messagetitle) IN (%1))} ";

// What is sent: the messages with one property of each table, so that SQLite
// reads each table once, and their channels by id only (a URI costs a look-up
// per row); the descriptions (by the same filter: a long IN list
// costs Tracker more to parse than a scan) and the channels' titles (by id)
// follow. mfo:downloadedTime belongs to mfo:FeedMessage alone, so it stands
// for the class.
const char DateQueryStart[] =
    " SELECT ?messagetitle ?contentCreated ?title tracker:id(?messagetitle) tracker:id(?isLogicalPartOf) "
    "WHERE { ?messagetitle mfo:downloadedTime ?contentCreated ; nie:title ?title ; "
    "nie:isLogicalPartOf ?isLogicalPartOf . FILTER ((?contentCreated >='";
const char IdQuery[] =
    " SELECT ?messagetitle ?contentCreated ?title tracker:id(?messagetitle) tracker:id(?isLogicalPartOf) "
    "WHERE { ?messagetitle mfo:downloadedTime ?contentCreated ; nie:title ?title ; "
    "nie:isLogicalPartOf ?isLogicalPartOf . FILTER (tracker:id(?messagetitle) IN (%1))} ";
const char FilterAfter[] = "nie:isLogicalPartOf ?isLogicalPartOf . ";
const char DescriptionQueryStart[] =
    " SELECT tracker:id(?messagetitle) ?description WHERE { ?messagetitle mfo:downloadedTime ?contentCreated ; "
    "nie:description ?description . ";
const char ChannelQuery[] =
    "SELECT tracker:id(?parent) ?tit WHERE { ?parent a mfo:FeedChannel ; nie:title ?tit . "
    "FILTER (tracker:id(?parent) IN (%1)) }";

QString idList(const QList<int> &ids)
{
    QStringList numbers;
    numbers.reserve(ids.size());
    for (int id : ids)
        numbers.append(QString::number(id));
    return numbers.join(QLatin1Char(','));
}

// The local time with its offset from UTC, so that Tracker compares instants.
QString dateTimeLiteral(const QDateTime &dateTime)
{
    return dateTime.toOffsetFromUtc(dateTime.offsetFromUtc()).toString(Qt::ISODate);
}

// Every match of "<[^>]*>" removed, as QString::remove() with that pattern
// would, without running the pattern engine for each title: from each '<' to
// the next '>'; a '<' with no '>' after it stays.
QString withoutTags(const QString &text)
{
    const int open = text.indexOf(QLatin1Char('<'));
    if (open < 0)
        return text;
    QString result;
    result.reserve(text.size());
    int from = 0;
    for (int start = open; start >= 0; start = text.indexOf(QLatin1Char('<'), from)) {
        const int end = text.indexOf(QLatin1Char('>'), start + 1);
        if (end < 0)
            break;
        result.append(text.midRef(from, start - from));
        from = end + 1;
    }
    result.append(text.midRef(from));
    return result;
}

// The title as text: without its tags, and with the '<' and '>' that the
// store keeps as entities (so that no tag is taken for them) given back.
QString plainTitle(const QString &text)
{
    return withoutTags(text).replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"),
                                                                                       QLatin1String(">"));
}

HVItemId messageId(const QString &uri)
{
    HVItemId id;
    id.setLocalId(uri);
    id.setManagerUri(QLatin1String(ManagerUri));
    return id;
}

// One row: title, description, date, channel title, message.
HVFeed feedItem(const QSparqlBinding &title, const QSparqlBinding &description, const QSparqlBinding &date,
                const QSparqlBinding &channel, const QSparqlBinding &message)
{
    qCDebug(HALVANE_FEEDS) << "getItemListFromBackend - adding item";
    HVFeed feed;
    feed.setTitle(plainTitle(title.value().toString()));
    feed.setBody(description.value().toString());
    // Stored in UTC; shown, like every other record, in local time.
    feed.setDateTime(date.value().toDateTime().toLocalTime());
    feed.setChannel(channel.value().toString());
    // The title's text, not its SPARQL form: that is quoted and escaped.
    feed.setDisplayLabel(feed.title());
    feed.setId(messageId(message.value().toString()));
    return feed;
}

void logQuads(const char *prefix, const QList<TrackerChangeNotifier::Quad> &quads, QList<int> *subjects)
{
    for (const TrackerChangeNotifier::Quad &quad : quads) {
        qCDebug(HALVANE_FEEDS) << prefix << quad.graph << ", subject" << quad.subject << ", predicate" << quad.predicate
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
    qCDebug(HALVANE_FEEDS) << "buildQuery";
    const QString query = QLatin1String(DateQueryStart) + dateTimeLiteral(fromDateTime)
        + QLatin1String(DateQueryMiddle) + dateTimeLiteral(toDateTime) + QLatin1String(DateQueryEnd);
    qCDebug(HALVANE_FEEDS) << "buildQuery - query - " << query;
    return query;
}

QString FeedsServiceSource::referenceQuery(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    return QLatin1String(ReferenceDateQueryStart) + dateTimeLiteral(fromDateTime) + QLatin1String(DateQueryMiddle)
        + dateTimeLiteral(toDateTime) + QLatin1String(DateQueryEnd);
}

QString FeedsServiceSource::referenceQuery(const QList<int> &ids)
{
    return QString::fromLatin1(ReferenceIdQuery).arg(idList(ids));
}

QString FeedsServiceSource::buildQuery(const QList<int> &ids)
{
    const QString idText = idList(ids);
    qCDebug(HALVANE_FEEDS) << "FeedsServiceSource::buildQuery() IDs: " << idText;
    return QString::fromLatin1(IdQuery).arg(idText);
}

QList<HVItem> FeedsServiceSource::getItemListFromBackend(const QString &query)
{
    qCDebug(HALVANE_FEEDS) << "getItemListFromBackend";
    QList<HVItem> items;
    QSparqlConnection connection(QStringLiteral("QTRACKER"));
    if (!connection.isValid()) {
        qCDebug(HALVANE_FEEDS) << "getItemListFromBackend - connection - ERROR";
        return items;
    }
    qCDebug(HALVANE_FEEDS) << "getItemListFromBackend - connection - OK";
    std::unique_ptr<QSparqlResult> result(connection.exec(QSparqlQuery(query, QSparqlQuery::SelectStatement)));
    result->waitForFinished();
    if (result->hasError()) {
        qCDebug(HALVANE_FEEDS) << "getItemListFromBackend - result - ERROR";
        qWarning() << "Feeds plugin: the Tracker query failed:" << result->lastError().message();
        return items;
    }
    qCDebug(HALVANE_FEEDS) << "getItemListFromBackend - result - OK";
    // The columns of the join, or the messages to complete with their
    // descriptions and channels' titles.
    if (result->variableNames().contains(QLatin1String("description"))) {
        while (result->next())
            items.append(feedItem(result->binding(0), result->binding(1), result->binding(2), result->binding(3),
                                  result->binding(4)));
    } else if (!completeMessages(connection, *result, &items)) {
        qCDebug(HALVANE_FEEDS) << "getItemListFromBackend - result - ERROR";
        return QList<HVItem>();
    }
    return items;
}

bool FeedsServiceSource::completeMessages(QSparqlConnection &connection, QSparqlResult &messages,
                                          QList<HVItem> *items)
{
    // Columns: message, date, title, message id, parent id.
    QList<int> parentIds;
    QSet<int> seenParents;
    while (messages.next()) {
        const int parent = messages.value(4).toInt();
        if (!seenParents.contains(parent)) {
            seenParents.insert(parent);
            parentIds.append(parent);
        }
    }
    if (parentIds.isEmpty())
        return true;

    // Both answer an id and every value it has.
    const auto valuesById = [&connection](const QString &text, QMultiHash<int, QSparqlBinding> *values) {
        std::unique_ptr<QSparqlResult> result(connection.exec(QSparqlQuery(text, QSparqlQuery::SelectStatement)));
        if (result->hasError()) {
            qWarning() << "Feeds plugin: the Tracker query failed:" << result->lastError().message();
            return false;
        }
        while (result->next())
            values->insert(result->value(0).toInt(), result->binding(1));
        return true;
    };
    QMultiHash<int, QSparqlBinding> descriptions;
    QMultiHash<int, QSparqlBinding> channelTitles;
    const QString query = messages.query();
    const int filter = query.indexOf(QLatin1String(FilterAfter));
    if (filter < 0)
        return false;
    if (!valuesById(QLatin1String(DescriptionQueryStart) + query.midRef(filter + int(qstrlen(FilterAfter))),
                    &descriptions)
        || !valuesById(QString::fromLatin1(ChannelQuery).arg(idList(parentIds)), &channelTitles))
        return false;

    messages.first();
    messages.previous();
    while (messages.next()) {
        const auto titles = channelTitles.values(messages.value(4).toInt());
        if (titles.isEmpty())
            continue;
        const auto bodies = descriptions.values(messages.value(3).toInt());
        for (const QSparqlBinding &body : bodies) {
            for (const QSparqlBinding &channel : titles)
                items->append(feedItem(messages.binding(2), body, messages.binding(1), channel, messages.binding(0)));
        }
    }
    return true;
}

QList<HVItem> FeedsServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    qCDebug(HALVANE_FEEDS) << "FeedsServiceSource::retrieveItemList";
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
    qCDebug(HALVANE_FEEDS) << "slotFeedMessagesChanged(): feed messages changed in Tracker.";

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
    qCDebug(HALVANE_FEEDS) << "Feeds plugin: emiting itemsRemoved with " << removed.size() << " items";
    Q_EMIT itemsRemoved(removed);

    QList<int> insertedIds;
    logQuads("slotFeedMessagesChanged(): inserts: graph ", inserts, &insertedIds);
    // An empty IN () is no valid SPARQL in Tracker 3.
    const QList<HVItem> added =
        insertedIds.isEmpty() ? QList<HVItem>() : getItemListFromBackend(buildQuery(insertedIds));
    qCDebug(HALVANE_FEEDS) << "Feeds plugin: emiting itemsAdded with " << added.size() << " items";
    Q_EMIT itemsAdded(added);
}

void FeedsServiceSource::slotFeedChannelsChanged(QList<TrackerChangeNotifier::Quad> deletes,
                                                 QList<TrackerChangeNotifier::Quad> inserts)
{
    qCDebug(HALVANE_FEEDS) << "slotFeedChannelsChanged(): feed channels changed in Tracker.";
    logQuads("slotFeedChannelsChanged(): deletes: graph ", deletes, nullptr);
    logQuads("slotFeedChannelsChanged(): inserts: graph ", inserts, nullptr);
}

} // namespace Halvane
