#include "hvcallservice.h"

#include <QtCore/QDebug>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusPendingReply>

namespace {

const QString OfonoService = QStringLiteral("org.ofono");
const QString VoiceCallManager = QStringLiteral("org.ofono.VoiceCallManager");

// The path of the first modem that offers voice calls, from GetModems' a(oa{sv}).
QString voiceModem(const QDBusArgument &modems)
{
    QString found;
    modems.beginArray();
    while (!modems.atEnd()) {
        QDBusObjectPath path;
        QVariantMap properties;
        modems.beginStructure();
        modems >> path >> properties;
        modems.endStructure();
        const QVariant interfaces = properties.value(QStringLiteral("Interfaces"));
        const QStringList list = interfaces.userType() == qMetaTypeId<QDBusArgument>()
            ? qdbus_cast<QStringList>(interfaces.value<QDBusArgument>())
            : interfaces.toStringList();
        if (found.isEmpty() && list.contains(VoiceCallManager))
            found = path.path();
    }
    modems.endArray();
    return found;
}

} // namespace

HVCallService::HVCallService(QObject *parent)
    : QObject(parent)
{
}

void HVCallService::fail(const QString &number, const QString &reason)
{
    qWarning() << "HVCallService: no call to" << number << "-" << reason;
    Q_EMIT dialFailed(number, reason);
}

void HVCallService::dial(const QString &number)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        fail(number, QStringLiteral("no system bus"));
        return;
    }
    const QDBusMessage getModems = QDBusMessage::createMethodCall(OfonoService, QStringLiteral("/"),
                                                                  QStringLiteral("org.ofono.Manager"),
                                                                  QStringLiteral("GetModems"));
    auto *modemsWatcher = new QDBusPendingCallWatcher(bus.asyncCall(getModems), this);
    connect(modemsWatcher, &QDBusPendingCallWatcher::finished, this, [this, number, bus](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            fail(number, QStringLiteral("oFono does not answer: ") + reply.errorMessage());
            return;
        }
        const QString modem = voiceModem(reply.arguments().first().value<QDBusArgument>());
        if (modem.isEmpty()) {
            fail(number, QStringLiteral("no modem offers voice calls"));
            return;
        }
        QDBusMessage dialCall = QDBusMessage::createMethodCall(OfonoService, modem, VoiceCallManager,
                                                               QStringLiteral("Dial"));
        dialCall << number << QStringLiteral("default");
        auto *dialWatcher = new QDBusPendingCallWatcher(QDBusConnection(bus).asyncCall(dialCall), this);
        connect(dialWatcher, &QDBusPendingCallWatcher::finished, this, [this, number](QDBusPendingCallWatcher *dw) {
            dw->deleteLater();
            const QDBusPendingReply<QDBusObjectPath> dialReply = *dw;
            if (dialReply.isError()) {
                fail(number, QStringLiteral("the modem refused the call: ") + dialReply.error().message());
                return;
            }
            Q_EMIT dialed(number, dialReply.value().path());
        });
    });
}
