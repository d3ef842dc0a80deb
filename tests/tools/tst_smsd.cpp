#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusReply>
#include <QtTest/QtTest>

#include "commhistory.h"
#include "database.h"

using CommHistory::Event;

// halvane-smsd between a private system bus, where python3-dbusmock plays
// oFono, and the session bus, where the history's signals go.
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
    void survivesOfonoComingAndGoing();
    void withoutSystemBusItSaysSo();

private:
    bool startOfono();
    void stopOfono();
    bool startSmsd();
    bool waitForOutput(const QString &text);
    bool sendIncoming(const QString &modem, const QString &text, const QVariantMap &info);

    QTemporaryDir m_busDir;
    QProcess m_systemBus;
    QString m_systemAddress;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcess *m_ofono = nullptr;
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
    m_smsd->setProcessEnvironment(env);
    m_smsd->setProcessChannelMode(QProcess::SeparateChannels);
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

bool TestSmsd::sendIncoming(const QString &modem, const QString &text, const QVariantMap &info)
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.ofono", modem, "org.freedesktop.DBus.Mock", "EmitSignal");
    call << "org.ofono.MessageManager" << "IncomingMessage" << "sa{sv}"
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
    QVERIFY(startSmsd());
    QVERIFY(m_smsdOutput.contains("oFono is running"));

    QVERIFY(sendIncoming("/ril_0", "Dinner at eight?",
                         {{"Sender", "+33612345678"}, {"SentTime", "2026-06-21T10:00:00+0200"},
                          {"LocalSentTime", "2026-06-21T10:00:00+0200"}}));
    QVERIFY(sendIncoming("/ril_1", "Yes, see you",
                         {{"Sender", "+33612345678"}, {"LocalSentTime", "2026-06-21T10:05:00+02:00"}}));
    QTRY_COMPARE(m_added.size(), 2);

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
}

void TestSmsd::survivesOfonoComingAndGoing()
{
    QVERIFY(startSmsd());
    QVERIFY(m_smsdOutput.contains("waiting for oFono"));

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
    env.insert("HALVANE_COMMHISTORY_DB", m_dir->filePath("commhistory.db"));
    smsd.setProcessEnvironment(env);
    smsd.start(HVTEST_SMSD_PROGRAM, QStringList());
    QVERIFY(smsd.waitForFinished(30000));
    QCOMPARE(smsd.exitCode(), 1);
    QVERIFY(smsd.readAllStandardError().contains("no system bus"));
}

QTEST_GUILESS_MAIN(TestSmsd)
#include "tst_smsd.moc"
