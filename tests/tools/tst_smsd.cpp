// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <algorithm>

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusReply>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlQuery>
#include <QtTest/QtTest>

#include "commhistory.h"
#include "database.h"
#include "hvtestfixture.h"

using CommHistory::Event;

namespace {

const char ModemManager[] = "org.freedesktop.ModemManager1";
const char ModemManagerPath[] = "/org/freedesktop/ModemManager1";
const char Modem[] = "/org/freedesktop/ModemManager1/Modem/0";
const char Messaging[] = "org.freedesktop.ModemManager1.Modem.Messaging";

} // namespace

// halvane-smsd between a private system bus, where python3-dbusmock plays
// oFono or ModemManager, and the session bus, where the history's signals go.
class TestSmsd : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void eventsAdded(const QList<CommHistory::Event> &events) { m_added << events; }

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void recordsMessagesOfEveryModem();
    void skipsMessagesItCannotRecord();
    void keepsAMessageWhileTheHistoryIsLocked();
    void survivesOfonoComingAndGoing();
    void withoutSystemBusItSaysSo();
    void modemManagerMessagesAreRecordedOnce();
    void modemManagerMessageIsRecordedWhenComplete();
    void modemManagerMessageDeletedBeforeReadIsAWarning();

private:
    bool startOfono();
    void stopOfono();
    bool startModemManager(bool withModem = true);
    void stopModemManager();
    bool mock(const QString &path, const QString &method, const QVariantList &arguments, QDBusMessage *reply = nullptr);
    QString addSms(const QVariantMap &properties, bool vanish = false);
    bool startSmsd();
    bool waitForOutput(const QString &text);
    bool sendIncoming(const QString &modem, const QString &text, const QVariantMap &info,
                      const QString &signal = QStringLiteral("IncomingMessage"));
    void sortAdded();

    QTemporaryDir m_busDir;
    QProcess m_systemBus;
    QString m_systemAddress;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess *m_ofono = nullptr;
    QProcess *m_modemManager = nullptr;
    QProcess *m_smsd = nullptr;
    QString m_smsdOutput;
    QList<Event> m_added;
};

void TestSmsd::initTestCase()
{
    CommHistory::registerTypes();
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "the test runs on a private session bus");
    QVERIFY(QDBusConnection::sessionBus().connect(QString(), QString(), CommHistory::dbusInterface(), "eventsAdded", this,
                                                  SLOT(eventsAdded(QList<CommHistory::Event>))));

    // A "system" bus of our own, in a fresh directory.
    QVERIFY(m_busDir.isValid());
    QFile config(m_busDir.filePath("system.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                 "<busconfig><type>system</type><listen>unix:dir=" + QFile::encodeName(m_busDir.path()) + "</listen>"
                 "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                 "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy></busconfig>\n");
    config.close();
    m_systemBus.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork", "--nopidfile", "--print-address=1"});
    QVERIFY(m_systemBus.waitForStarted());
    while (!m_systemBus.canReadLine() && m_systemBus.waitForReadyRead(10000)) {
    }
    m_systemAddress = QString::fromUtf8(m_systemBus.readLine()).trimmed();
    QVERIFY2(!m_systemAddress.isEmpty(), "the private system bus did not start");
    QVERIFY(QDBusConnection::connectToBus(m_systemAddress, "system").isConnected());
}

void TestSmsd::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus("system");
    m_systemBus.terminate();
    m_systemBus.waitForFinished(5000);
}

void TestSmsd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_added.clear();
    m_smsdOutput.clear();
}

void TestSmsd::cleanup()
{
    if (m_smsd) {
        m_smsd->kill();
        m_smsd->waitForFinished(5000);
        delete m_smsd;
        m_smsd = nullptr;
    }
    stopOfono();
    stopModemManager();
}

bool TestSmsd::startOfono()
{
    m_ofono = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_systemAddress);
    m_ofono->setProcessEnvironment(env);
    m_ofono->setProcessChannelMode(QProcess::ForwardedChannels);
    m_ofono->start("/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", "ofono"});
    QDBusConnectionInterface *bus = QDBusConnection("system").interface();
    for (int i = 0; i < 200 && m_ofono->state() != QProcess::NotRunning; ++i) {
        if (bus->isServiceRegistered("org.ofono"))
            return true;
        m_ofono->waitForFinished(50);
    }
    qWarning() << "the oFono mock did not start" << m_ofono->errorString();
    return false;
}

void TestSmsd::stopOfono()
{
    if (!m_ofono)
        return;
    m_ofono->terminate();
    if (!m_ofono->waitForFinished(5000))
        m_ofono->kill();
    delete m_ofono;
    m_ofono = nullptr;
}

bool TestSmsd::startSmsd()
{
    m_smsd = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_systemAddress);
    env.insert("HALVANE_COMMHISTORY_DB", m_dir->filePath("commhistory.db"));
    env.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
    env.insert("XDG_DATA_HOME", m_dir->filePath("data"));
    m_smsd->setProcessEnvironment(env);
    // Warnings too: some of them are what a test looks for.
    m_smsd->setProcessChannelMode(QProcess::MergedChannels);
    m_smsd->start(HVTEST_SMSD_PROGRAM, QStringList());
    return waitForOutput("listening");
}

bool TestSmsd::waitForOutput(const QString &text)
{
    m_smsdOutput += QString::fromUtf8(m_smsd->readAllStandardOutput());
    while (!m_smsdOutput.contains(text)) {
        if (m_smsd->state() == QProcess::NotRunning && m_smsd->bytesAvailable() == 0) {
            qWarning() << "halvane-smsd ended:" << m_smsdOutput << m_smsd->readAllStandardError();
            return false;
        }
        if (!m_smsd->waitForReadyRead(10000) && m_smsd->bytesAvailable() == 0) {
            qWarning() << "halvane-smsd did not say" << text << "but:" << m_smsdOutput;
            return false;
        }
        m_smsdOutput += QString::fromUtf8(m_smsd->readAllStandardOutput());
    }
    return true;
}

// Signals sent at once may reach QtDBus's receivers in either order.
void TestSmsd::sortAdded()
{
    std::sort(m_added.begin(), m_added.end(),
              [](const Event &a, const Event &b) { return a.startTime() < b.startTime(); });
}

bool TestSmsd::sendIncoming(const QString &modem, const QString &text, const QVariantMap &info, const QString &signal)
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.ofono", modem, "org.freedesktop.DBus.Mock", "EmitSignal");
    call << "org.ofono.MessageManager" << signal << "sa{sv}"
         << QVariant::fromValue(QVariantList{text, QVariant::fromValue(info)});
    const QDBusMessage reply = QDBusConnection("system").call(call);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qWarning() << "EmitSignal failed:" << reply.errorMessage();
    return reply.type() == QDBusMessage::ReplyMessage;
}

void TestSmsd::recordsMessagesOfEveryModem()
{
    QVERIFY(startOfono());
    QDBusMessage addModem = QDBusMessage::createMethodCall("org.ofono", "/", "org.freedesktop.DBus.Mock", "AddModem");
    addModem << "ril_1" << QVariantMap();
    QCOMPARE(QDBusConnection("system").call(addModem).type(), QDBusMessage::ReplyMessage);
    // The sender is in the address book, written as people write numbers.
    QFile card(m_dir->filePath("claire.vcf"));
    QVERIFY(card.open(QIODevice::WriteOnly));
    card.write("BEGIN:VCARD\nVERSION:3.0\nN:Martin;Claire;;;\nTEL:+33 6 12 34 56 78\nEND:VCARD\n");
    card.close();
    QProcess contacts;
    QProcessEnvironment contactsEnv = QProcessEnvironment::systemEnvironment();
    contactsEnv.insert("XDG_DATA_HOME", m_dir->filePath("data"));
    contacts.setProcessEnvironment(contactsEnv);
    contacts.start(HVTEST_CONTACTS_PROGRAM, {"import", card.fileName()});
    QVERIFY(contacts.waitForFinished(30000));
    QCOMPARE(contacts.exitCode(), 0);
    QVERIFY(startSmsd());
    QVERIFY(m_smsdOutput.contains("oFono is running"));
    // A second one on the same history would record every message again.
    QProcess second;
    second.setProcessEnvironment(m_smsd->processEnvironment());
    second.start(HVTEST_SMSD_PROGRAM, QStringList());
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(second.readAllStandardError().contains("another halvane-smsd"));

    QVERIFY(sendIncoming("/ril_0", "Dinner at eight?",
                         {{"Sender", "+33612345678"}, {"SentTime", "2026-06-21T10:00:00+0200"},
                          {"LocalSentTime", "2026-06-21T10:00:00+0200"}}));
    QVERIFY(sendIncoming("/ril_1", "Yes, see you",
                         {{"Sender", "+33612345678"}, {"LocalSentTime", "2026-06-21T10:05:00+02:00"}}));
    QTRY_COMPARE(m_added.size(), 2);
    sortAdded();

    QCOMPARE(m_added.at(0).freeText(), QString("Dinner at eight?"));
    QCOMPARE(m_added.at(1).freeText(), QString("Yes, see you"));
    QCOMPARE(m_added.at(0).startTime(), QDateTime(QDate(2026, 6, 21), QTime(8, 0), Qt::UTC));
    QCOMPARE(m_added.at(1).startTime(), QDateTime(QDate(2026, 6, 21), QTime(8, 5), Qt::UTC));
    QVERIFY(waitForOutput("(modem /ril_1)"));
    for (const Event &event : qAsConst(m_added)) {
        QCOMPARE(event.type(), Event::SMSEvent);
        QCOMPARE(event.direction(), Event::Inbound);
        QCOMPARE(event.parentId(), 4098);
        QCOMPARE(event.remoteUid(), QString("+33612345678"));
        QVERIFY(event.endTime().isValid());
    }
    // One conversation for the sender, found again for the second message.
    QCOMPARE(m_added.at(0).groupId(), m_added.at(1).groupId());
    CommHistory::Database history(m_dir->filePath("commhistory.db"));
    QCOMPARE(history.event(m_added.at(1).id()), m_added.at(1));
    const QList<CommHistory::Group> groups = history.groups();
    QCOMPARE(groups.size(), 1);
    QCOMPARE(groups.first().remoteUids(), QStringList{"+33612345678"});
    QCOMPARE(groups.first().contactName(), QString("Claire Martin"));

    // Her card removed, her next message no longer bears her name.
    contacts.start(HVTEST_CONTACTS_PROGRAM, {"list"});
    QVERIFY(contacts.waitForFinished(30000));
    const QByteArray id = contacts.readAllStandardOutput().split('\t').value(0);
    contacts.start(HVTEST_CONTACTS_PROGRAM, {"remove", QString::fromUtf8(id)});
    QVERIFY(contacts.waitForFinished(30000));
    QCOMPARE(contacts.exitCode(), 0);
    QVERIFY(sendIncoming("/ril_0", "New phone, who's this?", {{"Sender", "+33612345678"}}));
    QTRY_COMPARE(m_added.size(), 3);
    QCOMPARE(history.groups().first().contactName(), QString());

    // Cards with a number in Arabic-Indic digits, and as a tel: URI with an extension.
    QVERIFY(card.open(QIODevice::WriteOnly | QIODevice::Truncate));
    card.write("BEGIN:VCARD\nVERSION:3.0\nFN:Ivo\nTEL:+\xd9\xa3\xd9\xa3\xd9\xa6\xd9\xa5\xd9\xa5\xd9\xa4\xd9\xa4"
               "\xd9\xa3\xd9\xa3\xd9\xa2\xd9\xa2\nEND:VCARD\nBEGIN:VCARD\nVERSION:4.0\nFN:Una\n"
               "TEL;VALUE=uri:tel:+33-6-11-22-33-44;ext=5\nEND:VCARD\n");
    card.close();
    contacts.start(HVTEST_CONTACTS_PROGRAM, {"import", card.fileName()});
    QVERIFY(contacts.waitForFinished(30000));
    QCOMPARE(contacts.exitCode(), 0);
    QVERIFY(sendIncoming("/ril_0", "Hi", {{"Sender", "+33655443322"}}));
    QVERIFY(sendIncoming("/ril_0", "Hello", {{"Sender", "+33611223344"}}));
    QTRY_COMPARE(m_added.size(), 5);
    QStringList names;
    for (const CommHistory::Group &group : history.groups())
        names.append(group.contactName());
    names.sort();
    QCOMPARE(names, QStringList({"", "Ivo", "Una"}));
}

void TestSmsd::skipsMessagesItCannotRecord()
{
    QVERIFY(startOfono());
    QVERIFY(startSmsd());
    QVERIFY(sendIncoming("/ril_0", "who sent me?", {{"SentTime", "2026-06-21T10:00:00+0200"}}));
    // Not from oFono: the same signal from another name is no SMS.
    QDBusConnection::connectToBus(m_systemAddress, "impostor")
        .send(QDBusMessage::createSignal("/ril_0", "org.ofono.MessageManager", "IncomingMessage")
              << "fake" << QVariantMap{{"Sender", "+1"}});
    QVERIFY(sendIncoming("/ril_0", "bad time", {{"Sender", "+4477"}, {"SentTime", "yesterday-ish"}}));
    QTRY_COMPARE(m_added.size(), 1);
    QDBusConnection::disconnectFromBus("impostor");

    // Signals keep their order: the ones before it were skipped.
    QCOMPARE(m_added.first().freeText(), QString("bad time"));
    // A time oFono did not give is the time it arrived.
    QVERIFY(m_added.first().startTime().isValid());
    QCOMPARE(CommHistory::Database(m_dir->filePath("commhistory.db")).events({}).size(), 1);
    QVERIFY(m_smsd->state() == QProcess::Running);

    // One message handed over twice is one; a flash message is recorded;
    // two alike from a modem whose clock says 1970 are two.
    const QVariantMap once{{"Sender", "+4478"}, {"SentTime", "2026-06-21T10:00:00+0200"}};
    QVERIFY(sendIncoming("/ril_0", "twice", once));
    QVERIFY(sendIncoming("/ril_0", "twice", once));
    QVERIFY(sendIncoming("/ril_0", "flash", {{"Sender", "+4479"}}, "ImmediateMessage"));
    const QVariantMap epoch{{"Sender", "+4480"}, {"SentTime", "1970-01-01T00:00:00+0000"}};
    QVERIFY(sendIncoming("/ril_0", "Yes", epoch));
    QVERIFY(sendIncoming("/ril_0", "Yes", epoch));
    QTRY_COMPARE(m_added.size(), 5);
    QVERIFY(waitForOutput("is recorded already"));
    QStringList texts;
    for (const Event &event : qAsConst(m_added))
        texts.append(event.freeText());
    QCOMPARE(texts, QStringList({"bad time", "twice", "flash", "Yes", "Yes"}));
}

void TestSmsd::keepsAMessageWhileTheHistoryIsLocked()
{
    QVERIFY(startOfono());
    QVERIFY(startSmsd());
    {
        // Another program writes the history for longer than a writer waits.
        QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
        locker.setDatabaseName(m_dir->filePath("commhistory.db"));
        QVERIFY(locker.open());
        QVERIFY(QSqlQuery(locker).exec("BEGIN EXCLUSIVE"));
        QVERIFY(sendIncoming("/ril_0", "while locked", {{"Sender", "+4481"}}));
        // Each try waits for the lock a while, the check for a copy too.
        QTRY_VERIFY_WITH_TIMEOUT((m_smsdOutput += QString::fromUtf8(m_smsd->readAllStandardOutput())).contains("trying again"),
                                 40000);
        QVERIFY(QSqlQuery(locker).exec("COMMIT"));
        locker.close();
    }
    QSqlDatabase::removeDatabase("locker");
    QTRY_COMPARE_WITH_TIMEOUT(m_added.size(), 1, 15000);
    QCOMPARE(m_added.first().freeText(), QString("while locked"));
}

void TestSmsd::survivesOfonoComingAndGoing()
{
    QVERIFY(startSmsd());
    QVERIFY(m_smsdOutput.contains("waiting for oFono"));
    QVERIFY(m_smsdOutput.contains("no telephony stack on the system bus"));

    QVERIFY(startOfono());
    QVERIFY(waitForOutput("oFono appeared"));
    QVERIFY(sendIncoming("/ril_0", "first", {{"Sender", "+1"}}));
    QTRY_COMPARE(m_added.size(), 1);

    stopOfono();
    QVERIFY(waitForOutput("oFono went away"));
    m_smsdOutput.clear();
    QVERIFY(startOfono());
    QVERIFY(waitForOutput("oFono appeared"));
    QVERIFY(sendIncoming("/ril_0", "second", {{"Sender", "+1"}}));
    QTRY_COMPARE(m_added.size(), 2);
    QCOMPARE(m_added.at(1).freeText(), QString("second"));
    QCOMPARE(m_added.at(1).groupId(), m_added.at(0).groupId());
}

void TestSmsd::withoutSystemBusItSaysSo()
{
    QProcess smsd;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + m_dir->filePath("no-such-socket"));
    // On a fresh profile, whose history's folder does not exist yet.
    env.insert("HALVANE_COMMHISTORY_DB", m_dir->filePath("fresh/halvane/commhistory.db"));
    smsd.setProcessEnvironment(env);
    smsd.start(HVTEST_SMSD_PROGRAM, QStringList());
    QVERIFY(smsd.waitForFinished(30000));
    QCOMPARE(smsd.exitCode(), 1);
    QVERIFY(smsd.readAllStandardError().contains("no system bus"));
}

bool TestSmsd::startModemManager(bool withModem)
{
    m_modemManager = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SYSTEM_BUS_ADDRESS", m_systemAddress);
    m_modemManager->setProcessEnvironment(env);
    m_modemManager->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{"-m", "dbusmock", "--system", "--template", HVTEST_MODEMMANAGER_TEMPLATE};
    if (!withModem)
        arguments << "--parameters" << "{\"no_modem\": true}";
    m_modemManager->start("/usr/bin/python3", arguments);
    QDBusConnectionInterface *bus = QDBusConnection("system").interface();
    for (int i = 0; i < 200 && m_modemManager->state() != QProcess::NotRunning; ++i) {
        // The mock answers once its template has loaded.
        if (bus->isServiceRegistered(ModemManager))
            return mock(ModemManagerPath, "GetCalls", {});
        m_modemManager->waitForFinished(50);
    }
    qWarning() << "the ModemManager mock did not start" << m_modemManager->errorString();
    return false;
}

void TestSmsd::stopModemManager()
{
    if (!m_modemManager)
        return;
    m_modemManager->terminate();
    if (!m_modemManager->waitForFinished(5000))
        m_modemManager->kill();
    delete m_modemManager;
    m_modemManager = nullptr;
}

bool TestSmsd::mock(const QString &path, const QString &method, const QVariantList &arguments, QDBusMessage *reply)
{
    QDBusMessage call = QDBusMessage::createMethodCall(ModemManager, path, "org.freedesktop.DBus.Mock", method);
    call.setArguments(arguments);
    const QDBusMessage answer = QDBusConnection("system").call(call);
    if (answer.type() != QDBusMessage::ReplyMessage)
        qWarning() << method << "failed:" << answer.errorMessage();
    if (reply)
        *reply = answer;
    return answer.type() == QDBusMessage::ReplyMessage;
}

// A message on the modem, announced with Messaging.Added.
QString TestSmsd::addSms(const QVariantMap &properties, bool vanish)
{
    QDBusMessage reply;
    if (!mock(ModemManagerPath, "AddSms", {QVariant::fromValue(QDBusObjectPath(Modem)), properties, true, vanish}, &reply))
        return QString();
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

void TestSmsd::modemManagerMessagesAreRecordedOnce()
{
    QVERIFY(startModemManager());
    QVERIFY(startSmsd());
    QVERIFY(m_smsdOutput.contains("ModemManager is running"));

    // The overview follows the history as the phone's user interface would.
    QVERIFY(QDir().mkpath(m_dir->filePath("plugins-base/plugins")));
    QVERIFY(QFile::copy(HVTEST_SMS_PLUGIN, m_dir->filePath("plugins-base/plugins/libhalvanesmsplugin.so")));
    QProcess overview;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HALVANE_COMMHISTORY_DB", m_dir->filePath("commhistory.db"));
    env.insert("HALVANE_PLUGINS_PATH", m_dir->filePath("plugins-base") + "/");
    env.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
    overview.setProcessEnvironment(env);
    overview.start(HVTEST_OVERVIEW_PROGRAM, {"--json", "--settle=0", "--follow=0"});
    auto readLine = [&overview]() { return HVTest::readJsonLine(overview); };
    QVERIFY(readLine().contains("message"));

    const QString sms = addSms({{"Number", "+33611111111"}, {"Text", "Train is late"},
                                {"Timestamp", "2026-06-21T10:00:00+02:00"}});
    QVERIFY(!sms.isEmpty());
    // Announced twice, as a modem that stores the message first may do.
    QVERIFY(mock(Modem, "EmitSignal", {Messaging, "Added", "ob",
                                       QVariant::fromValue(QVariantList{QVariant::fromValue(QDBusObjectPath(sms)), true})}));
    // Older ModemManager writes the offset in hours only.
    QVERIFY(!addSms({{"Number", "+33611111111"}, {"Text", "Now on time"}, {"Timestamp", "2026-06-21T10:05:00+02"}})
                 .isEmpty());
    QTRY_COMPARE(m_added.size(), 2);
    sortAdded();
    QCOMPARE(m_added.at(0).freeText(), QString("Train is late"));
    QCOMPARE(m_added.at(1).freeText(), QString("Now on time"));
    QCOMPARE(m_added.at(0).remoteUid(), QString("+33611111111"));
    QCOMPARE(m_added.at(0).startTime(), QDateTime(QDate(2026, 6, 21), QTime(8, 0), Qt::UTC));
    QCOMPARE(m_added.at(1).startTime(), QDateTime(QDate(2026, 6, 21), QTime(8, 5), Qt::UTC));
    QCOMPARE(m_added.at(0).direction(), Event::Inbound);
    QCOMPARE(m_added.at(0).parentId(), 4098);
    QCOMPARE(m_added.at(0).groupId(), m_added.at(1).groupId());

    const QJsonObject shown = readLine();
    QCOMPARE(shown.value("type").toString(), QString("message"));
    QCOMPARE(shown.value("item").toObject().value("body").toString(), QString("Train is late"));
    QCOMPARE(shown.value("item").toObject().value("phoneNumber").toString(), QString("+33611111111"));
    overview.terminate();
    QVERIFY(overview.waitForFinished(10000));

    // Restarted while both messages are still on the modem: found, not
    // doubled; the one the user deleted meanwhile does not come back.
    m_smsd->kill();
    m_smsd->waitForFinished(5000);
    delete m_smsd;
    m_smsdOutput.clear();
    CommHistory::Database history(m_dir->filePath("commhistory.db"));
    QVERIFY(history.removeEvent(m_added.at(0).id()));
    QVERIFY(startSmsd());
    QVERIFY(waitForOutput(QString(Modem) + " has 2 message(s)"));
    QCOMPARE(m_smsdOutput.count("is recorded already"), 2);
    QCOMPARE(history.events({}).size(), 1);

    // ModemManager restarts: its modem comes back empty, and new messages go on.
    stopModemManager();
    QVERIFY(waitForOutput("ModemManager went away"));
    QVERIFY(startModemManager());
    QVERIFY(waitForOutput(QString(Modem) + " has 0 message(s)"));
    QVERIFY(!addSms({{"Number", "+33622222222"}, {"Text", "After the restart"}}).isEmpty());
    QTRY_COMPARE(m_added.size(), 3);
    QCOMPARE(m_added.at(2).freeText(), QString("After the restart"));
    QCOMPARE(history.events({}).size(), 2);
}

void TestSmsd::modemManagerMessageIsRecordedWhenComplete()
{
    QVERIFY(startModemManager());
    QVERIFY(startSmsd());

    // Sent from the phone: not a received message.
    QVERIFY(!addSms({{"Number", "+4411"}, {"Text", "sent by me"}, {"PduType", 2u}, {"State", 5u}}).isEmpty());
    QVERIFY(!addSms({{"Number", "+4412"}, {"Data", QByteArray("\x01\x02\x03")}}).isEmpty());
    QVERIFY(waitForOutput("skipped a binary message of 3 bytes from +4412"));

    const QString sms = addSms({{"Number", "+4413"}, {"Text", "The first part, "}, {"State", 2u},
                                {"Timestamp", "2026-06-21T10:00:00+02:00"}});
    QVERIFY(waitForOutput(sms + " waits for its other parts"));
    CommHistory::Database history(m_dir->filePath("commhistory.db"));
    QCOMPARE(history.events({}).size(), 0);
    QDBusMessage update = QDBusMessage::createMethodCall(ModemManager, sms, "org.freedesktop.DBus.Mock", "UpdateProperties");
    update << "org.freedesktop.ModemManager1.Sms"
           << QVariantMap{{"Text", "The first part, and the second."}, {"State", 3u}};
    QCOMPARE(QDBusConnection("system").call(update).type(), QDBusMessage::ReplyMessage);
    // Changed again once complete: still one message.
    update.setArguments({"org.freedesktop.ModemManager1.Sms", QVariantMap{{"State", 3u}}});
    QCOMPARE(QDBusConnection("system").call(update).type(), QDBusMessage::ReplyMessage);
    QVERIFY(!addSms({{"Number", "+4414"}, {"Text", "last"}, {"Timestamp", "2026-06-21T10:01:00+02:00"}}).isEmpty());

    QTRY_COMPARE(m_added.size(), 2);
    sortAdded();
    QCOMPARE(m_added.at(0).freeText(), QString("The first part, and the second."));
    QCOMPARE(m_added.at(0).remoteUid(), QString("+4413"));
    QCOMPARE(m_added.at(1).freeText(), QString("last"));
    QCOMPARE(history.events({}).size(), 2);
}

void TestSmsd::modemManagerMessageDeletedBeforeReadIsAWarning()
{
    QVERIFY(startModemManager(false));
    QVERIFY(startSmsd());
    QVERIFY(waitForOutput("ModemManager has no modem with messaging yet"));
    QVERIFY(mock(ModemManagerPath, "AddModem", {}));
    QVERIFY(waitForOutput(QString(Modem) + " appeared"));

    const QString gone = addSms({{"Number", "+4415"}, {"Text", "read me quick"}}, true);
    QVERIFY(waitForOutput("the message \"" + gone + "\" vanished before it could be read"));
    QVERIFY(!addSms({{"Number", "+4415"}, {"Text", "still here"}}).isEmpty());
    QTRY_COMPARE(m_added.size(), 1);
    QCOMPARE(m_added.first().freeText(), QString("still here"));

    QVERIFY(mock(ModemManagerPath, "RemoveModem", {QVariant::fromValue(QDBusObjectPath(Modem))}));
    QVERIFY(waitForOutput(QString(Modem) + " went away"));
    QVERIFY(m_smsd->state() == QProcess::Running);
}

QTEST_GUILESS_MAIN(TestSmsd)
#include "tst_smsd.moc"
