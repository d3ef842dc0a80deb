#include "smsrecorder.h"

#include <QtCore/QDateTime>
#include <QtCore/QDebug>
#include <QtCore/QRegularExpression>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusServiceWatcher>

#include <cstdio>

#include "event.h"
#include "group.h"
#include "historywriter.h"

namespace {

const QString OfonoService = QStringLiteral("org.ofono");
const QString MessageManagerInterface = QStringLiteral("org.ofono.MessageManager");
constexpr int InboxFolder = 4098;

void report(const QString &line)
{
    std::fputs((QStringLiteral("halvane-smsd: ") + line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// oFono writes ISO 8601 times with a "+hhmm" offset, which Qt reads only as "+hh:mm".
QDateTime parseOfonoTime(const QVariant &value)
{
    QString text = value.toString().trimmed();
    static const QRegularExpression compactOffset(QStringLiteral("([+-]\\d\\d)(\\d\\d)$"));
    if (text.size() > 19)
        text.replace(compactOffset, QStringLiteral("\\1:\\2"));
    return QDateTime::fromString(text, Qt::ISODate);
}

} // namespace

SmsRecorder::SmsRecorder(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
}

SmsRecorder::~SmsRecorder()
{
    delete m_writer;
}

bool SmsRecorder::start()
{
    if (!m_bus.isConnected()) {
        m_error = QStringLiteral("no system bus: ") + m_bus.lastError().message();
        return false;
    }
    m_writer = new CommHistory::HistoryWriter;
    if (!m_writer->isOpen()) {
        m_error = m_writer->errorString();
        return false;
    }

    // Any object path: every modem has its own message manager. Bound to the
    // service name, QtDBus follows oFono as it comes and goes.
    if (!m_bus.connect(OfonoService, QString(), MessageManagerInterface, QStringLiteral("IncomingMessage"), this,
                       SLOT(incomingMessage(QString,QVariantMap,QDBusMessage)))) {
        m_error = QStringLiteral("cannot subscribe to oFono's messages: ") + m_bus.lastError().message();
        return false;
    }

    m_watcher = new QDBusServiceWatcher(OfonoService, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &SmsRecorder::ofonoRegistered);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &SmsRecorder::ofonoUnregistered);

    const bool running = m_bus.interface()->isServiceRegistered(OfonoService);
    report(running ? QStringLiteral("listening; oFono is running") : QStringLiteral("listening; waiting for oFono"));
    return true;
}

void SmsRecorder::ofonoRegistered()
{
    report(QStringLiteral("oFono appeared"));
}

void SmsRecorder::ofonoUnregistered()
{
    report(QStringLiteral("oFono went away; waiting for it"));
}

void SmsRecorder::incomingMessage(const QString &text, const QVariantMap &info, const QDBusMessage &message)
{
    const QString sender = info.value(QStringLiteral("Sender")).toString().trimmed();
    if (sender.isEmpty()) {
        qWarning() << "halvane-smsd: skipped a message without sender from" << message.path();
        return;
    }

    const QDateTime now = QDateTime::currentDateTime();
    QDateTime sent = parseOfonoTime(info.value(QStringLiteral("SentTime")));
    if (!sent.isValid())
        sent = parseOfonoTime(info.value(QStringLiteral("LocalSentTime")));
    if (!sent.isValid())
        sent = now;

    const CommHistory::Group group = m_writer->ensureGroup(sender);
    if (!group.isValid()) {
        qWarning() << "halvane-smsd: cannot record the message from" << sender << ":" << m_writer->errorString();
        return;
    }

    CommHistory::Event event;
    event.setType(CommHistory::Event::SMSEvent);
    event.setDirection(CommHistory::Event::Inbound);
    event.setParentId(InboxFolder);
    event.setGroupId(group.id());
    event.setStartTime(sent);
    // Received now: the history orders and files received messages by this.
    event.setEndTime(now);
    event.setFreeText(text);
    event.setRemoteUid(sender);
    QList<CommHistory::Event> events{event};
    if (!m_writer->addEvents(events)) {
        qWarning() << "halvane-smsd: cannot record the message from" << sender << ":" << m_writer->errorString();
        return;
    }
    report(QStringLiteral("recorded event %1 from %2 (modem %3)").arg(events.first().id()).arg(sender, message.path()));
}
