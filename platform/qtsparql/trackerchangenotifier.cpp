#include "trackerchangenotifier.h"

#include <QtCore/QDebug>
#include <QtCore/QHash>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

#include <memory>

#include <libtracker-sparql/tracker-sparql.h>

#include "qsparqlconnection.h"
#include "qsparqlresult.h"

class TrackerChangeNotifierPrivate
{
public:
    static void onEvents(TrackerNotifier *notifier, const gchar *service, const gchar *graph, GPtrArray *events,
                         gpointer data);

    // The ids and URIs of the given resources (all of the class when ids is
    // null) that are of the watched class now.
    bool resourcesOfClass(const QList<int> *ids, QHash<int, QString> *found) const;
    void handle(GPtrArray *events);

    TrackerChangeNotifier *q = nullptr;
    QString className;
    QSparqlConnection *connection = nullptr;
    TrackerNotifier *notifier = nullptr;
    gulong handler = 0;
    // Tracker's deletion events do not say the class: remember our resources.
    QHash<int, QString> known;
    QHash<int, QString> lastDeleted;
};

bool TrackerChangeNotifierPrivate::resourcesOfClass(const QList<int> *ids, QHash<int, QString> *found) const
{
    QString text = QStringLiteral("SELECT tracker:id(?r) ?r WHERE { ?r a ?:class");
    if (ids) {
        QStringList numbers;
        numbers.reserve(ids->size());
        for (int id : *ids)
            numbers.append(QString::number(id));
        text += QLatin1String(" . FILTER(tracker:id(?r) IN (") + numbers.join(QLatin1Char(',')) + QLatin1String("))");
    }
    text += QLatin1String(" }");
    QSparqlQuery query(text);
    query.bindValue(QStringLiteral("class"), QUrl(className));
    std::unique_ptr<QSparqlResult> result(connection->exec(query));
    if (result->hasError()) {
        qWarning() << "TrackerChangeNotifier: cannot read the resources of" << className << ':'
                   << result->lastError().message();
        return false;
    }
    while (result->next())
        found->insert(int(result->value(0).toLongLong()), result->binding(1).value().toUrl().toString());
    return true;
}

void TrackerChangeNotifierPrivate::onEvents(TrackerNotifier *, const gchar *, const gchar *, GPtrArray *events,
                                            gpointer data)
{
    static_cast<TrackerChangeNotifierPrivate *>(data)->handle(events);
}

void TrackerChangeNotifierPrivate::handle(GPtrArray *events)
{
    // Which of the created or updated resources are of our class?
    QList<int> touched;
    for (guint i = 0; i < events->len; ++i) {
        auto *event = static_cast<TrackerNotifierEvent *>(g_ptr_array_index(events, i));
        if (tracker_notifier_event_get_event_type(event) != TRACKER_NOTIFIER_EVENT_DELETE)
            touched.append(int(tracker_notifier_event_get_id(event)));
    }
    QHash<int, QString> current;
    if (!touched.isEmpty() && !resourcesOfClass(&touched, &current))
        current.clear();

    QList<TrackerChangeNotifier::Quad> deletes;
    QList<TrackerChangeNotifier::Quad> inserts;
    lastDeleted.clear();
    for (guint i = 0; i < events->len; ++i) {
        auto *event = static_cast<TrackerNotifierEvent *>(g_ptr_array_index(events, i));
        const int id = int(tracker_notifier_event_get_id(event));
        const char *urn = tracker_notifier_event_get_urn(event);
        TrackerChangeNotifier::Quad quad;
        quad.subject = id;

        const bool wasOurs = known.contains(id);
        const bool isOurs = current.contains(id);
        if (tracker_notifier_event_get_event_type(event) == TRACKER_NOTIFIER_EVENT_DELETE || (wasOurs && !isOurs)) {
            if (!wasOurs)
                continue;
            lastDeleted.insert(id, urn ? QString::fromUtf8(urn) : known.value(id));
            known.remove(id);
            deletes.append(quad);
            continue;
        }
        if (!isOurs)
            continue;
        // An update reaches the listeners as the old resource going and the new coming.
        if (wasOurs)
            deletes.append(quad);
        known.insert(id, current.value(id));
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
    d->connection = new QSparqlConnection(QStringLiteral("QTRACKER"));
    auto *native = static_cast<TrackerSparqlConnection *>(d->connection->nativeConnection());
    if (!native) {
        qWarning() << "TrackerChangeNotifier: no store, no changes of" << className;
        return;
    }
    if (!d->resourcesOfClass(nullptr, &d->known)) {
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
    const QString uri = d->known.value(id);
    return uri.isEmpty() ? d->lastDeleted.value(id) : uri;
}
