// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The history's change signals as another process on the session bus can
// send them: any member, any signature, any values. The input is the member
// name on the first line and the body in GVariant text form after it, e.g.
//   eventsAdded
//   ([(7, 2, 1, 1, int64 1714550400000, int64 1714550400000, int64 0, 'Hi', '+1555', 4098)],)
// GDBus sends it over a peer connection to a QDBusServer of this process,
// where QtDBus demarshals it for the SMS source's slots exactly as it does
// for signals from the bus.
#include <gio/gio.h>

#include <QtCore/QDateTime>

#include <cstring>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusServer>

#include "commhistory.h"
#include "database.h"
#include "fuzzsupport.h"
#include "hvservicesource.h"
#include "smsservice.h"
#include "smsservicesource.h"

using namespace Halvane;

namespace {

const char Path[] = "/CommHistoryModel";
const char MarkerMember[] = "fuzzInputDone";

class Marker : public QObject
{
    Q_OBJECT
public:
    int received = 0;
public Q_SLOTS:
    void done() { ++received; }
};

struct Peer
{
    QDBusServer *server = nullptr;
    QDBusConnection *connection = nullptr;
    GDBusConnection *client = nullptr;
    SmsService *service = nullptr;
    Marker marker;
};

void fillHistory()
{
    CommHistory::Database db(CommHistory::databasePath());
    if (!db.isOpen() || !db.begin())
        abort();
    CommHistory::Group group;
    group.setContactName(QStringLiteral("Ada"));
    group.setRemoteUids({QStringLiteral("+15550001")});
    db.insertGroup(group);
    CommHistory::Event event;
    event.setType(CommHistory::Event::SMSEvent);
    event.setDirection(CommHistory::Event::Inbound);
    event.setGroupId(group.id());
    event.setEndTime(QDateTime::currentDateTime());
    event.setLastModified(event.endTime());
    event.setParentId(4098);
    event.setFreeText(QStringLiteral("Hello"));
    db.insertEvent(event);
    if (!db.commit())
        abort();
}

// A new GDBus client of the server; the server side connects the source.
void connectClient(Peer *peer)
{
    if (peer->client)
        g_object_unref(peer->client);
    delete peer->connection;
    peer->connection = nullptr;
    GError *error = nullptr;
    peer->client = g_dbus_connection_new_for_address_sync(peer->server->address().toUtf8().constData(),
                                                          G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT, nullptr,
                                                          nullptr, &error);
    if (!peer->client) {
        fprintf(stderr, "no peer connection: %s\n", error->message);
        abort();
    }
    QDeadlineTimer deadline(10000);
    while (!peer->connection && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (!peer->connection)
        abort();
}

Peer &peer()
{
    static Peer *peer = nullptr;
    if (peer)
        return *peer;
    peer = new Peer;
    CommHistory::registerTypes();
    peer->service = new SmsService;
    // What a retrieval does first: the models read the history.
    peer->service->source()->retrieveItemList(QDateTime::currentDateTime(), QDateTime::currentDateTime().addDays(1));

    peer->server = new QDBusServer(QStringLiteral("unix:dir=") + HVFuzz::scratchDirectory());
    peer->server->setAnonymousAuthenticationAllowed(true);
    QObject::connect(peer->server, &QDBusServer::newConnection, [](const QDBusConnection &connection) {
        peer->connection = new QDBusConnection(connection);
        // The source's own connections, as it makes them on the session bus.
        static_cast<SmsServiceSource *>(peer->service->source())->connectChangeSignals(*peer->connection);
        const QString interface = CommHistory::dbusInterface();
        peer->connection->connect(QString(), QString(), interface, QString::fromLatin1(MarkerMember), &peer->marker,
                                  SLOT(done()));
    });
    connectClient(peer);
    return *peer;
}

// Reads one complete type of a signature; false past D-Bus's nesting limits
// (32 arrays, 32 structures), which a bus refuses to pass on.
bool completeType(const char *&p, int arrays, int structs, bool inArray = false)
{
    switch (*p) {
    case 'a':
        ++p;
        return arrays < 32 && completeType(p, arrays + 1, structs, true);
    case '(': {
        ++p;
        if (structs >= 32 || *p == ')')
            return false;
        while (*p && *p != ')') {
            if (!completeType(p, arrays, structs + 1))
                return false;
        }
        if (*p != ')')
            return false;
        ++p;
        return true;
    }
    case '{': {
        // Only as the element of an array, with a basic key and one value.
        ++p;
        if (!inArray || structs >= 32 || !strchr("ybnqiuxtdsogh", *p))
            return false;
        ++p;
        if (!completeType(p, arrays, structs + 1) || *p != '}')
            return false;
        ++p;
        return true;
    }
    case '\0':
        return false;
    default:
        return strchr("ybnqiuxtdsoghv", *p++) != nullptr;
    }
}

bool withinBusLimits(GVariant *body)
{
    const char *signature = g_variant_get_type_string(body);
    if (strlen(signature) > 255 + 2)
        return false;
    // The body is a tuple: its members are the message's arguments.
    const char *p = signature + 1;
    while (*p && *p != ')') {
        if (!completeType(p, 0, 0))
            return false;
    }
    return *p == ')' && p[1] == '\0';
}

bool send(GDBusConnection *client, const char *member, GVariant *body)
{
    GDBusMessage *message = g_dbus_message_new_signal(Path, "com.corvant.commhistory", member);
    if (body)
        g_dbus_message_set_body(message, body);
    GError *error = nullptr;
    const bool sent = g_dbus_connection_send_message(client, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, &error);
    if (error)
        g_error_free(error);
    g_object_unref(message);
    return sent;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("HALVANE_COMMHISTORY_DB", QFile::encodeName(HVFuzz::scratchDirectory() + QStringLiteral("/commhistory.db")));
    HVFuzz::application();
    fillHistory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Peer &p = peer();
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const int newline = input.indexOf('\n');
    if (newline < 0)
        return 0;
    const QByteArray member = input.left(newline);
    if (!g_dbus_is_member_name(member.constData()) || member == MarkerMember)
        return 0;

    GVariant *body = g_variant_parse(nullptr, input.mid(newline + 1).constData(), nullptr, nullptr, nullptr);
    if (!body)
        return 0;
    g_variant_ref_sink(body);
    if (!g_variant_is_of_type(body, G_VARIANT_TYPE_TUPLE)) {
        GVariant *single = body;
        body = g_variant_ref_sink(g_variant_new_tuple(&single, 1));
        g_variant_unref(single);
    }
    // D-Bus has no maybe type; GDBus refuses those bodies. Nor does a bus
    // pass on what nests deeper than its limits.
    const bool sent = withinBusLimits(body) && send(p.client, member.constData(), body);
    g_variant_unref(body);
    if (!sent)
        return 0;

    // Signals arrive in order: once the marker is in, the input was handled.
    const int expected = p.marker.received + 1;
    if (!send(p.client, MarkerMember, nullptr)) {
        // The bus dropped the peer for what it sent (a member name longer
        // than the bus allows, say): that input reached no one.
        if (g_dbus_connection_is_closed(p.client)) {
            connectClient(&p);
            return 0;
        }
        abort();
    }
    QDeadlineTimer deadline(10000);
    while (p.marker.received < expected) {
        // libdbus drops a peer that sends what no bus would pass on; GDBus
        // does not check everything a bus does. Such an input reaches no one.
        if (g_dbus_connection_is_closed(p.client)) {
            connectClient(&p);
            return 0;
        }
        if (deadline.hasExpired()) {
            fprintf(stderr, "the signal was not handled within 10 s\n");
            abort();
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return 0;
}

#include "commhistory_dbus_fuzzer.moc"
