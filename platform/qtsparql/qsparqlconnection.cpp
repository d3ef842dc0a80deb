// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qsparqlconnection.h"
#include "qtsparql_debug.h"

#include <QtCore/QDateTime>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QLockFile>
#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryFile>

#include <libtracker-sparql/tracker-sparql.h>

#include "qsparqlresult.h"

class QSparqlConnectionPrivate
{
public:
    QString driver;
    TrackerSparqlConnection *connection = nullptr;
    // The shared store the connection uses.
    QString storeKey;
    QSparqlError error;
};

namespace {

// Opening a store costs tens of milliseconds and two connections to one local
// store in a process trip over each other, while callers open a connection per
// query. So the native connections are shared per store and stay open until
// the process ends (or closeUnusedStores()); a QSparqlConnection holds a reference.
class NativeConnections
{
public:
    ~NativeConnections()
    {
        for (const Store &store : qAsConst(m_open))
            close(store.connection);
    }

    template <typename Open>
    TrackerSparqlConnection *acquire(const QString &key, Open open, GError **error)
    {
        QMutexLocker locker(&m_mutex);
        Store &store = m_open[key];
        if (!store.connection) {
            store.connection = open(error);
            if (!store.connection) {
                m_open.remove(key);
                return nullptr;
            }
        }
        ++store.users;
        return static_cast<TrackerSparqlConnection *>(g_object_ref(store.connection));
    }

    void release(const QString &key)
    {
        QMutexLocker locker(&m_mutex);
        const auto it = m_open.find(key);
        if (it != m_open.end() && it->users > 0)
            --it->users;
    }

    void closeUnused()
    {
        QMutexLocker locker(&m_mutex);
        for (auto it = m_open.begin(); it != m_open.end();) {
            if (it->users == 0) {
                close(it->connection);
                it = m_open.erase(it);
            } else {
                ++it;
            }
        }
    }

private:
    struct Store
    {
        TrackerSparqlConnection *connection = nullptr;
        int users = 0;
    };

    static void close(TrackerSparqlConnection *connection)
    {
        tracker_sparql_connection_close(connection);
        g_object_unref(connection);
    }

    QMutex m_mutex;
    QHash<QString, Store> m_open;
};

NativeConnections &nativeConnections()
{
    static NativeConnections connections;
    return connections;
}

QString takeMessage(GError *error)
{
    const QString message = error ? QString::fromUtf8(error->message) : QStringLiteral("unknown error");
    if (error)
        g_error_free(error);
    return message;
}

QUrl xsd(const char *type)
{
    return QUrl(QLatin1String("http://www.w3.org/2001/XMLSchema#") + QLatin1String(type));
}

// Results run to 100,000 rows: the names and type URIs are made once, not per cell.
QSparqlBinding cursorBinding(TrackerSparqlCursor *cursor, int column, const QString &name)
{
    static const QUrl integerType = xsd("integer");
    static const QUrl doubleType = xsd("double");
    static const QUrl booleanType = xsd("boolean");
    static const QUrl dateTimeType = xsd("dateTime");
    static const QUrl stringType = xsd("string");

    const auto text = [cursor, column] {
        glong length = 0;
        const gchar *raw = tracker_sparql_cursor_get_string(cursor, column, &length);
        return raw ? QString::fromUtf8(raw, int(length)) : QString();
    };
    switch (tracker_sparql_cursor_get_value_type(cursor, column)) {
    case TRACKER_SPARQL_VALUE_TYPE_UNBOUND:
        return QSparqlBinding(name, QVariant());
    case TRACKER_SPARQL_VALUE_TYPE_URI:
        return QSparqlBinding(name, QUrl(text()));
    case TRACKER_SPARQL_VALUE_TYPE_BLANK_NODE:
        return QSparqlBinding(name, text(), QUrl(), true);
    case TRACKER_SPARQL_VALUE_TYPE_INTEGER:
        return QSparqlBinding(name, qlonglong(tracker_sparql_cursor_get_integer(cursor, column)), integerType);
    case TRACKER_SPARQL_VALUE_TYPE_DOUBLE:
        return QSparqlBinding(name, tracker_sparql_cursor_get_double(cursor, column), doubleType);
    case TRACKER_SPARQL_VALUE_TYPE_BOOLEAN:
        return QSparqlBinding(name, bool(tracker_sparql_cursor_get_boolean(cursor, column)), booleanType);
    case TRACKER_SPARQL_VALUE_TYPE_DATETIME: {
        const QString value = text();
        QDateTime dateTime = QDateTime::fromString(value, Qt::ISODateWithMs);
        if (!dateTime.isValid())
            dateTime = QDateTime::fromString(value, Qt::ISODate);
        return QSparqlBinding(name, dateTime, dateTimeType);
    }
    case TRACKER_SPARQL_VALUE_TYPE_STRING:
    default:
        return QSparqlBinding(name, text(), stringType);
    }
}

// The endpoint every program shares once it is installed (its D-Bus service
// file and user unit come with this library).
constexpr char SharedService[] = "org.halvane.Tracker";

// Whether the session bus can start the service (it is installed) or it runs.
bool sessionBusOffers(const char *service)
{
    GError *error = nullptr;
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        qCDebug(HALVANE_TRACKER) << "QSparqlConnection: no session bus, so no shared endpoint:" << takeMessage(error);
        return false;
    }
    const auto ask = [bus](const char *method, GVariant *arguments, const char *replyType) {
        GError *error = nullptr;
        GVariant *reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                      "org.freedesktop.DBus", method, arguments,
                                                      G_VARIANT_TYPE(replyType), G_DBUS_CALL_FLAGS_NONE, -1,
                                                      nullptr, &error);
        if (!reply)
            qWarning() << "QSparqlConnection: the session bus did not answer" << method << ':' << takeMessage(error);
        return reply;
    };

    bool found = false;
    if (GVariant *reply = ask("ListActivatableNames", nullptr, "(as)")) {
        GVariant *names = g_variant_get_child_value(reply, 0);
        gsize count = 0;
        const gchar **list = g_variant_get_strv(names, &count);
        for (gsize i = 0; i < count && !found; ++i)
            found = qstrcmp(list[i], service) == 0;
        g_free(list);
        g_variant_unref(names);
        g_variant_unref(reply);
    }
    if (!found) {
        if (GVariant *reply = ask("NameHasOwner", g_variant_new("(s)", service), "(b)")) {
            gboolean owned = false;
            g_variant_get(reply, "(b)", &owned);
            found = owned;
            g_variant_unref(reply);
        }
    }
    g_object_unref(bus);
    return found;
}

// Whether the store's directory takes the few pages SQLite's write-ahead log
// and shared index need to open it.
bool hasRoom(const QString &path)
{
    QTemporaryFile probe(path + QLatin1String("/.halvane-room-XXXXXX"));
    if (!probe.open())
        return false;
    const QByteArray page(64 * 1024, '\0');
    return probe.write(page) == page.size() && probe.flush();
}

} // namespace

QString QSparqlConnection::endpointService()
{
    // Read each time: a program may choose its store after it started.
    if (qEnvironmentVariableIsSet("HALVANE_TRACKER_SERVICE"))
        return qEnvironmentVariable("HALVANE_TRACKER_SERVICE");
    // Every query opens a connection: the bus is asked once.
    static const QString shared = [] {
        if (!sessionBusOffers(SharedService))
            return QString();
        qCDebug(HALVANE_TRACKER) << "QSparqlConnection: using the shared Tracker endpoint" << SharedService;
        return QString::fromLatin1(SharedService);
    }();
    return shared;
}

QSparqlConnection::QSparqlConnection(const QString &type, QObject *parent)
    : QObject(parent)
    , d(new QSparqlConnectionPrivate)
{
    d->driver = type;
    if (type != QLatin1String("QTRACKER") && type != QLatin1String("QTRACKER_DIRECT")) {
        d->error = QSparqlError(QStringLiteral("no such driver: ") + type, QSparqlError::ConnectionError);
        qWarning() << "QSparqlConnection:" << d->error.message();
        return;
    }

    GError *error = nullptr;
    const QByteArray service = endpointService().toUtf8();
    if (!service.isEmpty()) {
        d->storeKey = QLatin1String("bus:") + QString::fromUtf8(service);
        d->connection = nativeConnections().acquire(
            d->storeKey,
            [&service](GError **e) { return tracker_sparql_connection_bus_new(service.constData(), nullptr, nullptr, e); },
            &error);
    } else {
        const QString path = localStorePath();
        d->storeKey = QLatin1String("local:") + path;
        d->connection = nativeConnections().acquire(
            d->storeKey,
            [&path](GError **e) {
                QDir().mkpath(path);
                // Two processes making a new store at once: the second found
                // it half made ("Database version is too old: got version 0").
                // Without room a lock left by a killed process cannot be
                // broken, and waiting for it would stall the caller a minute.
                QLockFile making(path + QLatin1String("/.halvane-open-lock"));
                if (!making.tryLock(0) && hasRoom(path))
                    making.tryLock(60000);
                GFile *store = g_file_new_for_path(QFile::encodeName(path).constData());
                GFile *ontology = tracker_sparql_get_ontology_nepomuk();
                TrackerSparqlConnection *connection = tracker_sparql_connection_new(
                    TRACKER_SPARQL_CONNECTION_FLAGS_NONE, store, ontology, nullptr, e);
                g_object_unref(ontology);
                g_object_unref(store);
                // Tracker opens even a store it only reads for writing, and
                // then blames the store's version; say what is wrong.
                if (!connection && !hasRoom(path)) {
                    g_clear_error(e);
                    g_set_error_literal(e, G_IO_ERROR, G_IO_ERROR_NO_SPACE,
                                        "the disk is full or read-only: the Tracker store cannot be opened");
                }
                return connection;
            },
            &error);
    }
    if (!d->connection) {
        d->error = QSparqlError(takeMessage(error), QSparqlError::ConnectionError);
        qWarning() << "QSparqlConnection: no Tracker store:" << d->error.message();
    } else if (error) {
        g_error_free(error);
    }
}

QSparqlConnection::~QSparqlConnection()
{
    if (d->connection) {
        g_object_unref(d->connection);
        nativeConnections().release(d->storeKey);
    }
    delete d;
}

void QSparqlConnection::closeUnusedStores()
{
    nativeConnections().closeUnused();
}

bool QSparqlConnection::isValid() const
{
    return d->connection != nullptr;
}

QSparqlError QSparqlConnection::lastError() const
{
    return d->error;
}

QString QSparqlConnection::driverName() const
{
    return d->driver;
}

void *QSparqlConnection::nativeConnection() const
{
    return d->connection;
}

QString QSparqlConnection::localStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1String("/halvane/tracker");
}

QSparqlResult *QSparqlConnection::exec(const QSparqlQuery &query)
{
    auto *result = new QSparqlResult(query.preparedQueryText());
    if (!d->connection) {
        result->m_error = QSparqlError(QStringLiteral("no connection to the Tracker store"), QSparqlError::ConnectionError);
        return result;
    }

    const QByteArray text = result->query().toUtf8();
    GError *error = nullptr;
    if (query.isUpdate()) {
        tracker_sparql_connection_update(d->connection, text.constData(), nullptr, &error);
        if (error)
            result->m_error = QSparqlError(takeMessage(error), QSparqlError::StatementError);
        return result;
    }

    TrackerSparqlCursor *cursor = tracker_sparql_connection_query(d->connection, text.constData(), nullptr, &error);
    if (!cursor) {
        result->m_error = QSparqlError(takeMessage(error), QSparqlError::StatementError);
        return result;
    }
    while (tracker_sparql_cursor_next(cursor, nullptr, &error)) {
        const int columns = tracker_sparql_cursor_get_n_columns(cursor);
        if (result->m_names.isEmpty()) {
            for (int column = 0; column < columns; ++column)
                result->m_names.append(QString::fromUtf8(tracker_sparql_cursor_get_variable_name(cursor, column)));
        }
        QVector<QSparqlBinding> row;
        row.reserve(columns);
        for (int column = 0; column < columns; ++column)
            row.append(cursorBinding(cursor, column, result->m_names.value(column)));
        result->m_rows.append(row);
    }
    if (error)
        result->m_error = QSparqlError(takeMessage(error), QSparqlError::StatementError);
    g_object_unref(cursor);
    if (query.type() == QSparqlQuery::AskStatement && !result->m_rows.isEmpty())
        result->m_boolValue = result->m_rows.first().value(0).value().toBool();
    return result;
}

QSparqlResult *QSparqlConnection::exec(const QVector<QSparqlQuery> &updates)
{
    auto *result = new QSparqlResult(QString());
    if (!d->connection) {
        result->m_error = QSparqlError(QStringLiteral("no connection to the Tracker store"), QSparqlError::ConnectionError);
        return result;
    }
    TrackerBatch *batch = tracker_sparql_connection_create_batch(d->connection);
    for (const QSparqlQuery &update : updates) {
        if (!update.isUpdate()) {
            result->m_error = QSparqlError(QStringLiteral("a batch holds updates only"), QSparqlError::StatementError);
            g_object_unref(batch);
            return result;
        }
        tracker_batch_add_sparql(batch, update.preparedQueryText().toUtf8().constData());
    }
    GError *error = nullptr;
    if (!tracker_batch_execute(batch, nullptr, &error))
        result->m_error = QSparqlError(takeMessage(error), QSparqlError::StatementError);
    g_object_unref(batch);
    return result;
}
