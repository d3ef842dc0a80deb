#include "trackerchangenotifier.h"

#include <QtCore/QDebug>
#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtCore/QUrl>

#include <memory>
#include <utility>

#include <libtracker-sparql/tracker-sparql.h>

#include "qsparqlconnection.h"
#include "qsparqlresult.h"

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
    const auto result = classQuery(QStringLiteral("SELECT tracker:id(?r) WHERE { ?r a ?:class }"));
    if (!result)
        return false;
    while (result->next())
        found->insert(int(result->value(0).toLongLong()));
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
        const int id = int(tracker_notifier_event_get_id(event));
        auto it = pending.find(id);
        if (it == pending.end()) {
            pendingOrder.append(id);
            it = pending.insert(id, Pending());
        }
        // Only the last state of a resource counts.
        it->deleted = tracker_notifier_event_get_event_type(event) == TRACKER_NOTIFIER_EVENT_DELETE;
        if (const char *urn = tracker_notifier_event_get_urn(event))
            it->urn = QString::fromUtf8(urn);
    }
    if (!pendingOrder.isEmpty() && !flushTimer->isActive())
        flushTimer->start();
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
    if (!touched.isEmpty() && !resourcesOfClass(touched, &current))
        current.clear();

    QList<TrackerChangeNotifier::Quad> deletes;
    QList<TrackerChangeNotifier::Quad> inserts;
    lastDeleted.clear();
    for (int id : order) {
        const Pending event = events.value(id);
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
    d->flushTimer->setInterval(50);
    connect(d->flushTimer, &QTimer::timeout, this, [this] { d->flush(); });
    d->connection = new QSparqlConnection(QStringLiteral("QTRACKER"));
    auto *native = static_cast<TrackerSparqlConnection *>(d->connection->nativeConnection());
    if (!native) {
        qWarning() << "TrackerChangeNotifier: no store, no changes of" << className;
        return;
    }
    if (!d->idsOfClass(&d->known)) {
        // An endpoint that does not answer would not announce anything either.
        return;
    }
    // A notifier of a bus connection subscribes to its endpoint by itself.
    d->notifier = tracker_sparql_connection_create_notifier(native);
    d->handler = g_signal_connect(d->notifier, "events", G_CALLBACK(TrackerChangeNotifierPrivate::onEvents), d);
}

TrackerChangeNotifier::~TrackerChangeNotifier()
{
    if (d->notifier) {
        g_signal_handler_disconnect(d->notifier, d->handler);
        g_object_unref(d->notifier);
    }
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
