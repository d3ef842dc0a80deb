// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "trackerchangenotifier.h"

#include <QtCore/QDebug>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusServiceWatcher>

#include <memory>
#include <utility>

#include <libtracker-sparql/tracker-sparql.h>

#include "qsparqlconnection.h"
#include "qsparqlquery.h"
#include "qsparqlresult.h"

namespace {
// Events this close together are reported at once.
constexpr int ReportDelay = 50;
// How soon a flush whose query failed is tried again.
constexpr int RetryDelay = 1000;
}

class TrackerChangeNotifierPrivate
{
public:
    static void onEvents(TrackerNotifier *notifier, const gchar *service, const gchar *graph, GPtrArray *events,
                         gpointer data);

    // A query with ?:class bound to the watched class; null (and a warning) on error.
    std::unique_ptr<QSparqlResult> classQuery(const QString &text) const;
    // The ids of all resources of the watched class; only ids, since reading
    // the URIs of a large class costs a hundred times more.
    bool idsOfClass(QSet<int> *found) const;
    // The ids and URIs of those of the given resources that are of the
    // watched class now.
    bool resourcesOfClass(const QList<int> &ids, QHash<int, QString> *found) const;
    void collect(GPtrArray *events);
    void flush();
    // Reads the resources of the class and listens to the store. Returns
    // false while the store cannot be reached.
    bool subscribe();
    void unsubscribe();
    void queue(int id, bool deleted, const QString &urn);

    TrackerChangeNotifier *q = nullptr;
    QString className;
    QSparqlConnection *connection = nullptr;
    TrackerNotifier *notifier = nullptr;
    gulong handler = 0;
    // Tracker's deletion events do not say the class: remember our resources.
    QSet<int> known;
    // URIs learnt from events; the others are asked for when needed.
    mutable QHash<int, QString> uris;
    QHash<int, QString> lastDeleted;

    // Events are gathered for a moment and reported together: each report
    // costs the listeners a query, and a writer's burst of commits arrives as
    // one event batch per commit.
    struct Pending
    {
        bool deleted = false;
        QString urn;
    };
    QList<int> pendingOrder;
    QHash<int, Pending> pending;
    QTimer *flushTimer = nullptr;
    // An endpoint may start after us, or go and come back: its name on the
    // bus says when to (re)subscribe.
    QDBusServiceWatcher *watcher = nullptr;
    bool subscribedBefore = false;
};

std::unique_ptr<QSparqlResult> TrackerChangeNotifierPrivate::classQuery(const QString &text) const
{
    QSparqlQuery query(text);
    query.bindValue(QStringLiteral("class"), QUrl(className));
    std::unique_ptr<QSparqlResult> result(connection->exec(query));
    if (!result->hasError())
        return result;
    qWarning() << "TrackerChangeNotifier: cannot read the resources of" << className << ':'
               << result->lastError().message();
    return nullptr;
}

bool TrackerChangeNotifierPrivate::idsOfClass(QSet<int> *found) const
{
    // Straight from the cursor: a large class through QSparqlResult costs a
    // binding and a variant per row, most of a first overview's wait.
    auto *native = static_cast<TrackerSparqlConnection *>(connection->nativeConnection());
    QSparqlQuery query(QStringLiteral("SELECT tracker:id(?r) WHERE { ?r a ?:class }"));
    query.bindValue(QStringLiteral("class"), QUrl(className));
    GError *error = nullptr;
    TrackerSparqlCursor *cursor =
        native ? tracker_sparql_connection_query(native, query.preparedQueryText().toUtf8().constData(), nullptr, &error)
               : nullptr;
    if (cursor) {
        while (tracker_sparql_cursor_next(cursor, nullptr, &error))
            found->insert(int(tracker_sparql_cursor_get_integer(cursor, 0)));
        g_object_unref(cursor);
    }
    if (!native || error) {
        qWarning() << "TrackerChangeNotifier: cannot read the resources of" << className << ':'
                   << (error ? error->message : "no store");
        g_clear_error(&error);
        return false;
    }
    return true;
}

bool TrackerChangeNotifierPrivate::resourcesOfClass(const QList<int> &ids, QHash<int, QString> *found) const
{
    QStringList numbers;
    numbers.reserve(ids.size());
    for (int id : ids)
        numbers.append(QString::number(id));
    const auto result = classQuery(QLatin1String("SELECT tracker:id(?r) ?r WHERE { ?r a ?:class . "
                                                 "FILTER(tracker:id(?r) IN (")
                                   + numbers.join(QLatin1Char(',')) + QLatin1String(")) }"));
    if (!result)
        return false;
    while (result->next())
        found->insert(int(result->value(0).toLongLong()), result->binding(1).value().toUrl().toString());
    return true;
}

void TrackerChangeNotifierPrivate::onEvents(TrackerNotifier *, const gchar *, const gchar *, GPtrArray *events,
                                            gpointer data)
{
    static_cast<TrackerChangeNotifierPrivate *>(data)->collect(events);
}

void TrackerChangeNotifierPrivate::collect(GPtrArray *events)
{
    for (guint i = 0; i < events->len; ++i) {
        auto *event = static_cast<TrackerNotifierEvent *>(g_ptr_array_index(events, i));
        const char *urn = tracker_notifier_event_get_urn(event);
        queue(int(tracker_notifier_event_get_id(event)),
              tracker_notifier_event_get_event_type(event) == TRACKER_NOTIFIER_EVENT_DELETE,
              urn ? QString::fromUtf8(urn) : QString());
    }
    if (!pendingOrder.isEmpty() && !flushTimer->isActive())
        flushTimer->start(ReportDelay);
}

void TrackerChangeNotifierPrivate::queue(int id, bool deleted, const QString &urn)
{
    auto it = pending.find(id);
    if (it == pending.end()) {
        pendingOrder.append(id);
        it = pending.insert(id, Pending());
    }
    // Only the last state of a resource counts.
    it->deleted = deleted;
    if (!urn.isEmpty())
        it->urn = urn;
}

void TrackerChangeNotifierPrivate::flush()
{
    const QList<int> order = std::exchange(pendingOrder, {});
    const QHash<int, Pending> events = std::exchange(pending, {});

    // Which of the resources that still exist are of our class?
    QList<int> touched;
    for (int id : order) {
        if (!events.value(id).deleted)
            touched.append(id);
    }
    QHash<int, QString> current;
    bool retry = false;
    if (!touched.isEmpty() && !resourcesOfClass(touched, &current)) {
        // Not knowing whether they still exist is no reason to call them
        // deleted: ask again later, unless newer events have come meanwhile.
        retry = true;
        for (int id : qAsConst(touched))
            queue(id, false, events.value(id).urn);
        // An endpoint that went away is asked again once it is back.
        if (notifier)
            flushTimer->start(RetryDelay);
    }

    QList<TrackerChangeNotifier::Quad> deletes;
    QList<TrackerChangeNotifier::Quad> inserts;
    lastDeleted.clear();
    for (int id : order) {
        const Pending event = events.value(id);
        if (retry && !event.deleted)
            continue;
        TrackerChangeNotifier::Quad quad;
        quad.subject = id;

        const bool wasOurs = known.contains(id);
        const bool isOurs = !event.deleted && current.contains(id);
        if (!isOurs) {
            if (!wasOurs)
                continue;
            lastDeleted.insert(id, event.urn.isEmpty() ? uris.value(id) : event.urn);
            known.remove(id);
            uris.remove(id);
            deletes.append(quad);
            continue;
        }
        // An update reaches the listeners as the old resource going and the new coming.
        if (wasOurs)
            deletes.append(quad);
        known.insert(id);
        uris.insert(id, current.value(id));
        inserts.append(quad);
    }
    if (!deletes.isEmpty() || !inserts.isEmpty())
        Q_EMIT q->changed(deletes, inserts);
}

bool TrackerChangeNotifierPrivate::subscribe()
{
    if (!connection || !connection->isValid()) {
        delete connection;
        connection = new QSparqlConnection(QStringLiteral("QTRACKER"));
    }
    auto *native = static_cast<TrackerSparqlConnection *>(connection->nativeConnection());
    if (!native) {
        qWarning() << "TrackerChangeNotifier: no store, no changes of" << className;
        return false;
    }
    QSet<int> now;
    if (!idsOfClass(&now)) {
        // An endpoint that does not answer would not announce anything either.
        return false;
    }
    // A notifier of a bus connection subscribes to its endpoint by itself.
    notifier = tracker_sparql_connection_create_notifier(native);
    handler = g_signal_connect(notifier, "events", G_CALLBACK(TrackerChangeNotifierPrivate::onEvents), this);

    if (std::exchange(subscribedBefore, true)) {
        // Back after a while away: what changed meanwhile is reported like
        // any other change.
        for (int id : qAsConst(known)) {
            if (!now.contains(id))
                queue(id, true, uris.value(id));
        }
        for (int id : qAsConst(now)) {
            if (!known.contains(id))
                queue(id, false, QString());
        }
    } else {
        known = now;
    }
    if (!pendingOrder.isEmpty())
        flushTimer->start(ReportDelay);
    return true;
}

void TrackerChangeNotifierPrivate::unsubscribe()
{
    if (!notifier)
        return;
    g_signal_handler_disconnect(notifier, handler);
    g_object_unref(notifier);
    notifier = nullptr;
    handler = 0;
}

TrackerChangeNotifier::TrackerChangeNotifier(const QString &className, QObject *parent)
    : QObject(parent)
    , d(new TrackerChangeNotifierPrivate)
{
    qRegisterMetaType<TrackerChangeNotifier::Quad>("TrackerChangeNotifier::Quad");
    qRegisterMetaType<QList<TrackerChangeNotifier::Quad>>("QList<TrackerChangeNotifier::Quad>");
    d->q = this;
    d->className = className;
    d->flushTimer = new QTimer(this);
    d->flushTimer->setSingleShot(true);
    connect(d->flushTimer, &QTimer::timeout, this, [this] { d->flush(); });

    const QString service = QSparqlConnection::endpointService();
    if (!service.isEmpty()) {
        d->watcher = new QDBusServiceWatcher(service, QDBusConnection::sessionBus(),
                                             QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(d->watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &oldOwner, const QString &newOwner) {
                    if (!oldOwner.isEmpty())
                        d->unsubscribe();
                    if (!newOwner.isEmpty() && !d->notifier)
                        d->subscribe();
                });
    }
    d->subscribe();
}

TrackerChangeNotifier::~TrackerChangeNotifier()
{
    d->unsubscribe();
    delete d->connection;
    delete d;
}

QString TrackerChangeNotifier::watchedClass() const
{
    return d->className;
}

bool TrackerChangeNotifier::isValid() const
{
    return d->notifier != nullptr;
}

QString TrackerChangeNotifier::resourceUri(int id) const
{
    if (!d->known.contains(id))
        return d->lastDeleted.value(id);
    auto it = d->uris.constFind(id);
    if (it != d->uris.constEnd())
        return *it;
    QHash<int, QString> found;
    if (!d->resourcesOfClass({id}, &found))
        return QString();
    const QString uri = found.value(id);
    if (!uri.isEmpty())
        d->uris.insert(id, uri);
    return uri;
}
