// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "smsrecorder.h"

#include <QtContacts/QContactDetailFilter>
#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactName>
#include <QtContacts/QContactPhoneNumber>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDebug>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QSaveFile>
#include <QtCore/QTimer>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusError>
#include <QtDBus/QDBusServiceWatcher>

#include <algorithm>
#include <cstdio>

#include "commhistory.h"
#include "event.h"
#include "group.h"
#include "historywriter.h"
#include "modemmanagermessages.h"

namespace {

const QString MessageManagerInterface = QStringLiteral("org.ofono.MessageManager");
// Before it, a sending time is a modem's clock that was never set: it tells
// one message from another no more than no time does.
const QDateTime PlausibleSmsTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
constexpr int InboxFolder = 4098;
// How soon a message the history could not take is tried again.
constexpr int RetryMs = 5000;

// The sender's name in the address book: empty when no card has the number,
// null when the address book cannot be asked (the name stays as it was).
QString addressBookName(const QString &number)
{
    using namespace QtContacts;
    QContactManager manager(QStringLiteral("tracker"));
    if (manager.managerName() != QLatin1String("tracker"))
        return QString();
    QContactDetailFilter byNumber;
    byNumber.setDetailType(QContactPhoneNumber::Type, QContactPhoneNumber::FieldNumber);
    byNumber.setMatchFlags(QContactFilter::MatchPhoneNumber);
    byNumber.setValue(number);
    const QList<QContact> contacts = manager.contacts(byNumber);
    for (const QContact &contact : contacts) {
        const QList<QContactPhoneNumber> phones = contact.details<QContactPhoneNumber>();
        if (std::none_of(phones.cbegin(), phones.cend(), [&number](const QContactPhoneNumber &phone) {
                return CommHistory::sameNumber(phone.number(), number);
            }))
            continue;
        // The name as the card writes it, else given and family name.
        const QString label = contact.detail<QContactDisplayLabel>().label().trimmed();
        if (!label.isEmpty())
            return label;
        const QContactName name = contact.detail<QContactName>();
        return QString(name.firstName() + QLatin1Char(' ') + name.lastName()).trimmed();
    }
    return manager.error() == QContactManager::NoError ? QStringLiteral("") : QString();
}

void report(const QString &line)
{
    std::fputs((QStringLiteral("halvane-smsd: ") + line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// ISO 8601 times with an offset. oFono writes "+hhmm" and older ModemManager
// "+hh", which Qt reads only as "+hh:mm".
QDateTime parseSmsTime(const QVariant &value)
{
    QString text = value.toString().trimmed();
    static const QRegularExpression compactOffset(QStringLiteral("([+-]\\d\\d)(\\d\\d)$"));
    static const QRegularExpression hourOffset(QStringLiteral("(T\\d\\d:\\d\\d:\\d\\d(?:\\.\\d+)?[+-]\\d\\d)$"));
    if (text.size() > 19) {
        text.replace(compactOffset, QStringLiteral("\\1:\\2"));
        text.replace(hourOffset, QStringLiteral("\\1:00"));
    }
    return QDateTime::fromString(text, Qt::ISODate);
}

// The messages recorded from ModemManager's store, kept beside the history:
// one the user deleted from the history stays deleted when the modem lists
// it again at the next start. The newest ones are enough; a SIM holds a few dozen.
QString takenFromModemFile()
{
    return QFileInfo(CommHistory::databasePath()).absolutePath() + QStringLiteral("/smsd-modem-messages");
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

bool SmsRecorder::start(TelephonyStack::Setting setting)
{
    m_setting = setting;
    if (!m_bus.isConnected()) {
        m_error = QStringLiteral("no system bus: ") + m_bus.lastError().message();
        return false;
    }
    m_writer = new CommHistory::HistoryWriter;
    if (!m_writer->isOpen()) {
        m_error = m_writer->errorString();
        return false;
    }

    const bool ofono = setting != TelephonyStack::ForceModemManager;
    const bool modemManager = setting != TelephonyStack::ForceOfono;
    if (ofono && !startOfono())
        return false;
    const bool ofonoRunning = m_bus.interface()->isServiceRegistered(TelephonyStack::ofonoService());
    if (modemManager) {
        m_modemManager = new ModemManagerMessages(m_bus, this);
        connect(m_modemManager, &ModemManagerMessages::received, this, &SmsRecorder::modemManagerMessage);
        connect(m_modemManager, &ModemManagerMessages::status, this, &report);
        // oFono goes first where both run.
        m_modemManager->setActive(!(ofono && ofonoRunning));
        if (!m_modemManager->start(&m_error))
            return false;
    }

    if (ofono && ofonoRunning) {
        report(QStringLiteral("listening; oFono is running"));
    } else if (m_modemManager && m_modemManager->isRunning()) {
        report(QStringLiteral("listening; ModemManager is running"));
    } else {
        const QString waited = !modemManager ? QStringLiteral("oFono")
            : !ofono                         ? QStringLiteral("ModemManager")
                                             : QStringLiteral("oFono or ModemManager");
        qWarning().noquote() << "halvane-smsd: no telephony stack on the system bus yet; waiting for" << waited;
        report(QStringLiteral("listening; waiting for ") + waited);
    }
    return true;
}

bool SmsRecorder::startOfono()
{
    const QString service = TelephonyStack::ofonoService();
    // Any object path: every modem has its own message manager. Bound to the
    // service name, QtDBus follows oFono as it comes and goes.
    // A flash message (class 0, "ImmediateMessage") is a message too: the
    // ModemManager side records it as any other.
    if (!m_bus.connect(service, QString(), MessageManagerInterface, QStringLiteral("IncomingMessage"), this,
                       SLOT(incomingMessage(QString,QVariantMap,QDBusMessage)))
        || !m_bus.connect(service, QString(), MessageManagerInterface, QStringLiteral("ImmediateMessage"), this,
                          SLOT(incomingMessage(QString,QVariantMap,QDBusMessage)))) {
        m_error = QStringLiteral("cannot subscribe to oFono's messages: ") + m_bus.lastError().message();
        return false;
    }
    m_watcher = new QDBusServiceWatcher(service, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &SmsRecorder::ofonoRegistered);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &SmsRecorder::ofonoUnregistered);
    return true;
}

void SmsRecorder::ofonoRegistered()
{
    report(QStringLiteral("oFono appeared"));
    if (m_modemManager)
        m_modemManager->setActive(false);
}

void SmsRecorder::ofonoUnregistered()
{
    report(QStringLiteral("oFono went away; waiting for it"));
    if (m_modemManager)
        m_modemManager->setActive(true);
}

void SmsRecorder::incomingMessage(const QString &text, const QVariantMap &info, const QDBusMessage &message)
{
    const QString sender = info.value(QStringLiteral("Sender")).toString().trimmed();
    if (sender.isEmpty()) {
        qWarning() << "halvane-smsd: skipped a message without sender from" << message.path();
        return;
    }
    QDateTime sent = parseSmsTime(info.value(QStringLiteral("SentTime")));
    if (!sent.isValid())
        sent = parseSmsTime(info.value(QStringLiteral("LocalSentTime")));
    // A modem that did not see its acknowledgement through hands the same
    // message over again.
    if (isRecorded(sender, sent, text)) {
        report(QStringLiteral("message from %1 sent at %2 is recorded already (modem %3)")
                   .arg(sender, sent.toString(Qt::ISODate), message.path()));
        return;
    }
    record(sender, text, sent, QStringLiteral("modem ") + message.path());
}

void SmsRecorder::modemManagerMessage(const QString &number, const QString &text, const QString &timestamp,
                                      const QString &smsPath)
{
    const QDateTime sent = parseSmsTime(timestamp);
    // Known by its sender, time and text: the message's path on the bus is
    // another after ModemManager restarts.
    const QString key = sent.isValid() && sent >= PlausibleSmsTime
        ? QString::fromLatin1(QCryptographicHash::hash((number + QLatin1Char('\x1f') + sent.toString(Qt::ISODate)
                                                        + QLatin1Char('\x1f') + text)
                                                           .toUtf8(),
                                                       QCryptographicHash::Sha1)
                                  .toHex())
        : QString();
    if ((!key.isEmpty() && wasTakenFromModem(key)) || isRecorded(number, sent, text)) {
        report(QStringLiteral("message %1 from %2 is recorded already").arg(smsPath, number));
        if (!key.isEmpty())
            noteTakenFromModem(key);
        return;
    }
    record(number, text, sent, smsPath);
    if (!key.isEmpty())
        noteTakenFromModem(key);
}

bool SmsRecorder::wasTakenFromModem(const QString &key)
{
    if (!m_takenLoaded) {
        m_takenLoaded = true;
        QFile file(takenFromModemFile());
        if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            for (const QByteArray &line : file.readAll().split('\n')) {
                if (line.size() == 40)
                    m_takenFromModem.append(QString::fromLatin1(line));
            }
        }
    }
    return m_takenFromModem.contains(key);
}

void SmsRecorder::noteTakenFromModem(const QString &key)
{
    wasTakenFromModem(key);
    if (m_takenFromModem.contains(key))
        return;
    m_takenFromModem.append(key);
    constexpr int Kept = 1000;
    if (m_takenFromModem.size() > Kept)
        m_takenFromModem.erase(m_takenFromModem.begin(), m_takenFromModem.end() - Kept);
    QSaveFile file(takenFromModemFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)
        || file.write(m_takenFromModem.join(QLatin1Char('\n')).toLatin1() + '\n') < 0 || !file.commit())
        qWarning() << "halvane-smsd: cannot note the messages taken from the modem in" << file.fileName();
}

bool SmsRecorder::isRecorded(const QString &sender, const QDateTime &sent, const QString &text)
{
    // Only a time the network plausibly gave tells one message from another:
    // a modem whose clock says 1970 stamps every message alike, and two
    // "Yes" from one person are two messages.
    if (!sent.isValid() || sent < PlausibleSmsTime)
        return false;
    // Received after it was sent; a day of slack for a network clock that is off.
    CommHistory::Database::EventQuery query;
    query.type = CommHistory::Event::SMSEvent;
    query.direction = CommHistory::Event::Inbound;
    query.parentId = InboxFolder;
    query.from = sent.addDays(-1);
    const QList<CommHistory::Event> events = m_writer->database().events(query);
    for (const CommHistory::Event &event : events) {
        if (event.remoteUid() == sender && event.startTime() == sent && event.freeText() == text)
            return true;
    }
    return false;
}

void SmsRecorder::record(const QString &sender, const QString &text, const QDateTime &sentTime, const QString &origin)
{
    const QDateTime now = QDateTime::currentDateTime();
    // A time the network did not give is the time it arrived.
    m_waiting.append({sender, text, sentTime.isValid() ? sentTime : now, now, origin});
    writeWaiting();
}

void SmsRecorder::writeWaiting()
{
    while (!m_waiting.isEmpty()) {
        if (!write(m_waiting.first())) {
            if (!m_retry) {
                m_retry = new QTimer(this);
                m_retry->setSingleShot(true);
                m_retry->setInterval(RetryMs);
                connect(m_retry, &QTimer::timeout, this, &SmsRecorder::writeWaiting);
            }
            m_retry->start();
            return;
        }
        m_waiting.removeFirst();
    }
}

bool SmsRecorder::write(Received &message)
{
    const auto failed = [&message](const QString &error) {
        if (!message.warned)
            qWarning().nospace() << "halvane-smsd: cannot record the message from " << message.sender << " yet: "
                                 << error << "; trying again every " << RetryMs / 1000 << " s";
        message.warned = true;
        return false;
    };
    const CommHistory::Group group = m_writer->ensureGroup(message.sender, addressBookName(message.sender));
    if (!group.isValid())
        return failed(m_writer->errorString());

    CommHistory::Event event;
    event.setType(CommHistory::Event::SMSEvent);
    event.setDirection(CommHistory::Event::Inbound);
    event.setParentId(InboxFolder);
    event.setGroupId(group.id());
    event.setStartTime(message.sent);
    // Received when it came: the history orders and files received messages by this.
    event.setEndTime(message.arrived);
    event.setFreeText(message.text);
    event.setRemoteUid(message.sender);
    QList<CommHistory::Event> events{event};
    if (!m_writer->addEvents(events))
        return failed(m_writer->errorString());
    report(QStringLiteral("recorded event %1 from %2 (%3)").arg(events.first().id()).arg(message.sender, message.origin));
    return true;
}
