// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtContacts/QContactEmailAddress>
#include <QtContacts/QContactName>
#include <QtContacts/QContactPhoneNumber>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtTest/QSignalSpy>
#include <QtTest/QtTest>

#include "hvcall.h"
#include "hvtestfixture.h"

using namespace QtContacts;

namespace {

const char CardService[] = "org.halvane.ContactCard";
const char TrackerService[] = "org.halvane.TestContacts";

// Stands in for the contacts application that shows a card.
class CardViewer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.halvane.ContactCard")

public:
    QStringList ids;
    QStringList cards;

public Q_SLOTS:
    void Show(const QString &id, const QString &vcard)
    {
        ids.append(id);
        cards.append(vcard);
    }
};

// Warnings and debug lines, to see what the helper said.
QStringList *capturedMessages = nullptr;
QtMessageHandler previousHandler = nullptr;

void captureMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (capturedMessages)
        capturedMessages->append(message);
    previousHandler(type, context, message);
}

QString startBus(QProcess &process, const QStringList &arguments)
{
    process.start(QStringLiteral("dbus-daemon"), arguments + QStringList{QStringLiteral("--nofork"),
                                                                         QStringLiteral("--print-address=1")});
    if (!process.waitForStarted())
        return QString();
    return QString::fromUtf8(HVTest::readLine(process, 10000).trimmed());
}

const char Contacts[] = R"(BEGIN:VCARD
VERSION:3.0
UID:urn:uuid:00000000-0000-4000-8000-000000000001
N:Lee;Ann;;;
EMAIL:ann@example.org
TEL:+4911111
END:VCARD
BEGIN:VCARD
VERSION:3.0
UID:urn:uuid:00000000-0000-4000-8000-000000000002
N:Moe;Bob;;;
EMAIL:bob@example.org
TEL:+4922222
TEL:+4933333
END:VCARD
BEGIN:VCARD
VERSION:3.0
UID:urn:uuid:00000000-0000-4000-8000-000000000003
N:Ray;Cy;;;
EMAIL:cy@example.org
TEL:+4944444
END:VCARD
BEGIN:VCARD
VERSION:3.0
UID:urn:uuid:00000000-0000-4000-8000-000000000004
N:One;Dee;;;
EMAIL:shared@example.org
TEL:+4955555
END:VCARD
BEGIN:VCARD
VERSION:3.0
UID:urn:uuid:00000000-0000-4000-8000-000000000005
N:Two;Dee;;;
EMAIL:shared@example.org
TEL:+4966666
END:VCARD
)";

} // namespace

// The call helper against real services: contacts in a Tracker endpoint on a
// private session bus, and python-dbusmock's oFono on a private system bus.
class TestHVCall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void detailTypeRules_data();
    void detailTypeRules();
    void phoneNumberIsDialled();
    void contactWithOneNumberIsDialled();
    void emptyNumbersAreSkipped();
    void severalNumbersOpenTheCard();
    void sharedAddressCallsFirstContact();
    void unknownAddressCallsNobody();
    void missingBackEndIsAWarning();
    void missingCardViewerIsAWarning();
    void shortLivedCallIsPlaced();
    void bothStacksTakeOfono();
    void modemManagerDialsWithoutOfono();
    void noCallServiceIsAWarning();

private:
    QStringList dialledNumbers();
    QStringList modemManagerCalls();
    bool tracker(const QStringList &arguments);

    QTemporaryDir m_dir;
    QProcess m_sessionBus;
    QProcess m_systemBus;
    QProcess m_ofono;
    QProcess m_modemManager;
    QProcess m_endpoint;
    CardViewer m_viewer;
    QStringList m_messages;
};

void TestHVCall::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    QCoreApplication::addLibraryPath(QStringLiteral(HVTEST_QT_PLUGINS));

    QVERIFY(HVTest::startSessionBus(m_sessionBus, m_dir.filePath(QStringLiteral("session"))));

    const QString systemDir = m_dir.filePath(QStringLiteral("system"));
    QVERIFY(QDir().mkpath(systemDir));
    QFile config(m_dir.filePath(QStringLiteral("system.conf")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral(
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
        "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig><type>system</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
        "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
        "<allow receive_sender=\"*\"/></policy></busconfig>\n").arg(systemDir).toUtf8());
    config.close();
    const QString system = startBus(m_systemBus, {QStringLiteral("--config-file=") + config.fileName()});
    QVERIFY(!system.isEmpty());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", system.toUtf8());

    m_ofono.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_ofono.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                                                      QStringLiteral("--system"), QStringLiteral("--template"),
                                                      QStringLiteral(HVTEST_OFONO_TEMPLATE)});
    QVERIFY(m_ofono.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::systemBus().interface()->isServiceRegistered(QStringLiteral("org.ofono")),
                             20000);

    QVERIFY(HVTest::startTrackerEndpoint(m_endpoint, m_dir.filePath(QStringLiteral("store")),
                                         QLatin1String(TrackerService)));
    qputenv("HALVANE_TRACKER_SERVICE", TrackerService);

    // The address book comes in as a person brings it: through halvane-contacts.
    QFile vcf(m_dir.filePath(QStringLiteral("contacts.vcf")));
    QVERIFY(vcf.open(QIODevice::WriteOnly));
    vcf.write(Contacts);
    vcf.close();
    QProcess import;
    import.setProcessChannelMode(QProcess::ForwardedChannels);
    import.start(QStringLiteral(HVTEST_CONTACTS_PROGRAM), {QStringLiteral("import"), vcf.fileName()});
    QVERIFY(import.waitForFinished(30000));
    QCOMPARE(import.exitCode(), 0);
    // One of Cy's numbers is empty, as a sync may leave it.
    QVERIFY(tracker({QStringLiteral("--update"), QStringLiteral("--query"),
                     QStringLiteral("INSERT DATA { <urn:halvane:phone:> a nco:PhoneNumber ; nco:phoneNumber \"\" . "
                                    "<urn:uuid:00000000-0000-4000-8000-000000000003> nco:hasPhoneNumber "
                                    "<urn:halvane:phone:> }")}));

    QVERIFY(QDBusConnection::sessionBus().registerService(QLatin1String(CardService)));
    QVERIFY(QDBusConnection::sessionBus().registerObject(QStringLiteral("/org/halvane/ContactCard"), &m_viewer,
                                                         QDBusConnection::ExportAllSlots));

    capturedMessages = &m_messages;
    previousHandler = qInstallMessageHandler(captureMessage);
}

void TestHVCall::cleanupTestCase()
{
    qInstallMessageHandler(previousHandler);
    capturedMessages = nullptr;
    for (QProcess *process : {&m_endpoint, &m_ofono, &m_modemManager, &m_systemBus, &m_sessionBus}) {
        process->terminate();
        process->waitForFinished(5000);
    }
}

void TestHVCall::init()
{
    m_messages.clear();
    m_viewer.ids.clear();
    m_viewer.cards.clear();
    // Hang up whatever the previous case dialled.
    QDBusMessage hangup = QDBusMessage::createMethodCall(QStringLiteral("org.ofono"), QStringLiteral("/ril_0"),
                                                         QStringLiteral("org.ofono.VoiceCallManager"),
                                                         QStringLiteral("HangupAll"));
    if (m_ofono.state() == QProcess::Running)
        QDBusConnection::systemBus().call(hangup);
}

bool TestHVCall::tracker(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("tracker3"),
                  QStringList{QStringLiteral("sparql"), QStringLiteral("--dbus-service"), QLatin1String(TrackerService)}
                      + arguments);
    return process.waitForFinished(20000) && process.exitCode() == 0;
}

QStringList TestHVCall::dialledNumbers()
{
    QDBusMessage getCalls = QDBusMessage::createMethodCall(QStringLiteral("org.ofono"), QStringLiteral("/ril_0"),
                                                           QStringLiteral("org.ofono.VoiceCallManager"),
                                                           QStringLiteral("GetCalls"));
    const QDBusMessage reply = QDBusConnection::systemBus().call(getCalls);
    QStringList numbers;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return numbers;
    const QDBusArgument calls = reply.arguments().first().value<QDBusArgument>();
    calls.beginArray();
    while (!calls.atEnd()) {
        QDBusObjectPath path;
        QVariantMap properties;
        calls.beginStructure();
        calls >> path >> properties;
        calls.endStructure();
        numbers.append(properties.value(QStringLiteral("LineIdentification")).toString());
    }
    calls.endArray();
    return numbers;
}

// "number state" of every call on ModemManager's modem; state 1 (dialing) once started.
QStringList TestHVCall::modemManagerCalls()
{
    const QString service = QStringLiteral("org.freedesktop.ModemManager1");
    auto property = [&service](const QString &path, const QString &interface, const QString &name) {
        QDBusMessage get = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << interface << name;
        return QDBusConnection::systemBus().call(get).arguments().value(0).value<QDBusVariant>().variant();
    };
    QStringList calls;
    const QVariant paths = property(QStringLiteral("/org/freedesktop/ModemManager1/Modem/0"),
                                    QStringLiteral("org.freedesktop.ModemManager1.Modem.Voice"), QStringLiteral("Calls"));
    for (const QDBusObjectPath &path : qdbus_cast<QList<QDBusObjectPath>>(paths.value<QDBusArgument>())) {
        const QString call = QStringLiteral("org.freedesktop.ModemManager1.Call");
        calls.append(property(path.path(), call, QStringLiteral("Number")).toString() + QLatin1Char(' ')
                     + QString::number(property(path.path(), call, QStringLiteral("State")).toInt()));
    }
    return calls;
}

void TestHVCall::detailTypeRules_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("logged");
    QTest::newRow("empty number") << "phone" << "" << "HVCall::makeCall() - No contact's details. Return.";
    QTest::newRow("null detail") << "email" << QString() << "HVCall::makeCall() - No contact's details. Return.";
    QTest::newRow("capitalised type") << "Phone" << "+4900000" << "HVCall::makeCall() - wrong detail's type: ";
    QTest::newRow("unknown type") << "sms" << "+4900000" << "HVCall::makeCall() - wrong detail's type: ";
    QTest::newRow("unknown address") << "email" << "nobody@example.org" << "no matches for";
}

void TestHVCall::detailTypeRules()
{
    QFETCH(QString, type);
    QFETCH(QString, detail);
    QFETCH(QString, logged);
    HVCall call;
    QSignalSpy failed(&call, &HVCall::callFailed);
    call.makeCall(type, detail);
    QVERIFY2(m_messages.join(QLatin1Char('\n')).contains(logged), qPrintable(m_messages.join(QLatin1Char('\n'))));
    QTest::qWait(300);
    QVERIFY(dialledNumbers().isEmpty());
    // Said, not only logged: a caller learns that nothing went out.
    QCOMPARE(failed.size(), 1);
}

void TestHVCall::phoneNumberIsDialled()
{
    HVCall call;
    QVERIFY(call.metaObject()->indexOfSlot("makeCall(QString,QString)") >= 0);
    // Dialled as oFono takes a number: without the spaces and brackets it is
    // written with (the real oFono refuses them as an invalid format).
    QMetaObject::invokeMethod(&call, "makeCall", Q_ARG(QString, QStringLiteral("phone")),
                              Q_ARG(QString, QStringLiteral("+49 (30) 123")));
    QTRY_COMPARE(dialledNumbers(), QStringList{QStringLiteral("+4930123")});

    // The trunk 0 a British number is written with is not dialled; a space
    // of another script is a space. What is no number says so.
    QSignalSpy failed(&call, &HVCall::callFailed);
    call.makeCall(QStringLiteral("phone"), QStringLiteral("+44 (0)20 7946\u202f0958"));
    QTRY_COMPARE(dialledNumbers(), QStringList({QStringLiteral("+4930123"), QStringLiteral("+442079460958")}));
    QVERIFY(failed.isEmpty());
    call.makeCall(QStringLiteral("phone"), QStringLiteral("Anna Smith"));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first(), QVariantList({QStringLiteral("Anna Smith"), QStringLiteral("not a phone number")}));
    // The trunk 0 in other writings; a vCard 4 number with its extension;
    // Arabic-Indic digits and a minus sign for the dash.
    for (const char *written : {"+44-(0)20-7946-0958", "0044 (0)20 7946 0958", "tel:+49-30-1234;ext=5",
                                "+49-30-1234;ext=5", "٠٣٠−٥٥"})
        call.makeCall(QStringLiteral("phone"), QString::fromUtf8(written));
    QTRY_COMPARE(dialledNumbers().mid(2), QStringList({"+442079460958", "00442079460958", "+49301234", "+49301234",
                                                       "03055"}));
    // A footnote mark or circled numbers are no digits to dial.
    call.makeCall(QStringLiteral("phone"), QString::fromUtf8("+49 30 1234567¹"));
    call.makeCall(QStringLiteral("phone"), QString::fromUtf8("① ② ③"));
    QCOMPARE(failed.size(), 3);
    QTest::qWait(200);
    QCOMPARE(dialledNumbers().size(), 7);
}

void TestHVCall::contactWithOneNumberIsDialled()
{
    HVCall call;
    // An address is one in any case.
    call.makeCall(QStringLiteral("email"), QStringLiteral("Ann@Example.ORG"));
    QTRY_COMPARE(dialledNumbers(), QStringList{QStringLiteral("+4911111")});
    QVERIFY(m_viewer.ids.isEmpty());
}

void TestHVCall::emptyNumbersAreSkipped()
{
    HVCall call;
    const QContact cy = call.findContactByEmail(QStringLiteral("cy@example.org"));
    QCOMPARE(cy.details<QContactPhoneNumber>().size(), 2);
    call.makeCall(QStringLiteral("email"), QStringLiteral("cy@example.org"));
    QTRY_COMPARE(dialledNumbers(), QStringList{QStringLiteral("+4944444")});
    QVERIFY(m_viewer.ids.isEmpty());
}

void TestHVCall::severalNumbersOpenTheCard()
{
    HVCall call;
    call.makeCall(QStringLiteral("email"), QStringLiteral("bob@example.org"));
    QTRY_COMPARE(m_viewer.ids.size(), 1);
    QCOMPARE(m_viewer.ids.first(), QStringLiteral("urn:uuid:00000000-0000-4000-8000-000000000002"));
    QVERIFY(m_viewer.cards.first().contains(QLatin1String("BEGIN:VCARD")));
    QVERIFY(m_viewer.cards.first().contains(QLatin1String("+4922222")));
    QVERIFY(m_viewer.cards.first().contains(QLatin1String("+4933333")));
    QTest::qWait(300);
    QVERIFY(dialledNumbers().isEmpty());
    QVERIFY(m_messages.join(QLatin1Char('\n')).contains(QLatin1String("Found multiple numbers")));
}

void TestHVCall::sharedAddressCallsFirstContact()
{
    HVCall call;
    const QContact first = call.findContactByEmail(QStringLiteral("shared@example.org"));
    QCOMPARE(first.detail<QContactName>().lastName(), QStringLiteral("One"));
    call.makeCall(QStringLiteral("email"), QStringLiteral("shared@example.org"));
    QTRY_COMPARE(dialledNumbers(), QStringList{QStringLiteral("+4955555")});
}

void TestHVCall::unknownAddressCallsNobody()
{
    HVCall call;
    // Matching is whole: another domain is another address.
    QVERIFY(call.findContactByEmail(QStringLiteral("ann@example.org.uk")).isEmpty());
    call.makeCall(QStringLiteral("email"), QStringLiteral("nobody@example.org"));
    QVERIFY(m_messages.join(QLatin1Char('\n')).contains(QLatin1String(" no matches for ")));
    QTest::qWait(300);
    QVERIFY(dialledNumbers().isEmpty());
}

void TestHVCall::missingBackEndIsAWarning()
{
    // Plug-ins load once per process: a child without the engine's directory.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HVTEST_CHILD"), QStringLiteral("no-backend"));
    env.remove(QStringLiteral("QT_PLUGIN_PATH"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    const QByteArray output = child.readAllStandardError();
    QVERIFY2(output.contains("Error: contact manager: "), output.constData());
    QVERIFY(child.readAllStandardOutput().contains("empty"));
}

void TestHVCall::missingCardViewerIsAWarning()
{
    QVERIFY(QDBusConnection::sessionBus().unregisterService(QLatin1String(CardService)));
    HVCall call;
    call.makeCall(QStringLiteral("email"), QStringLiteral("bob@example.org"));
    QTRY_VERIFY(m_messages.join(QLatin1Char('\n')).contains(QLatin1String("contact card viewer")));
    QVERIFY(m_viewer.ids.isEmpty());
    QVERIFY(dialledNumbers().isEmpty());
    QVERIFY(QDBusConnection::sessionBus().registerService(QLatin1String(CardService)));
}

void TestHVCall::shortLivedCallIsPlaced()
{
    auto *call = new HVCall;
    call->makeCall(QStringLiteral("phone"), QStringLiteral("+4988888"));
    delete call;
    QTRY_COMPARE(dialledNumbers(), QStringList{QStringLiteral("+4988888")});
}

void TestHVCall::bothStacksTakeOfono()
{
    m_modemManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_modemManager.start(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                          QStringLiteral("--template"), QStringLiteral(HVTEST_MODEMMANAGER_TEMPLATE)});
    QVERIFY(m_modemManager.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::systemBus().interface()->isServiceRegistered(
                                 QStringLiteral("org.freedesktop.ModemManager1")),
                             20000);
    // The mock answers once its template has loaded.
    const QDBusMessage loaded = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ModemManager1"),
                                                               QStringLiteral("/org/freedesktop/ModemManager1"),
                                                               QStringLiteral("org.freedesktop.DBus.Mock"),
                                                               QStringLiteral("GetCalls"));
    QCOMPARE(QDBusConnection::systemBus().call(loaded).type(), QDBusMessage::ReplyMessage);

    HVCall call;
    call.makeCall(QStringLiteral("phone"), QStringLiteral("+4912121"));
    QTRY_COMPARE(dialledNumbers(), QStringList{QStringLiteral("+4912121")});
    QVERIFY(modemManagerCalls().isEmpty());
}

void TestHVCall::modemManagerDialsWithoutOfono()
{
    m_ofono.terminate();
    QVERIFY(m_ofono.waitForFinished(10000));
    QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered(QStringLiteral("org.ofono")));

    auto *call = new HVCall;
    call->makeCall(QStringLiteral("phone"), QStringLiteral("+4934343"));
    delete call;
    QTRY_COMPARE(modemManagerCalls(), QStringList{QStringLiteral("+4934343 1")});

    // The setting overrides what runs.
    const QString config = m_dir.filePath(QStringLiteral("config/halvane"));
    QVERIFY(QDir().mkpath(config));
    QFile settings(config + QStringLiteral("/halvane.conf"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[telephony]\nstack=ofono\n");
    settings.close();
    HVCall forced;
    forced.makeCall(QStringLiteral("phone"), QStringLiteral("+4956565"));
    QVERIFY(settings.remove());
    QVERIFY2(m_messages.join(QLatin1Char('\n')).contains(QLatin1String("oFono does not answer")),
             qPrintable(m_messages.join(QLatin1Char('\n'))));
    QCOMPARE(modemManagerCalls().size(), 1);
}

void TestHVCall::noCallServiceIsAWarning()
{
    for (QProcess *service : {&m_ofono, &m_modemManager}) {
        service->terminate();
        service->waitForFinished(10000);
    }
    QTRY_VERIFY(!QDBusConnection::systemBus().interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.ModemManager1")));
    HVCall call;
    call.makeCall(QStringLiteral("phone"), QStringLiteral("+4977777"));
    const QString said = m_messages.join(QLatin1Char('\n'));
    QVERIFY2(said.contains(QLatin1String("HVCallService: no call to")), qPrintable(said));
    QVERIFY(said.contains(QLatin1String("neither oFono nor ModemManager is on the system bus")));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariable("HVTEST_CHILD") == QLatin1String("no-backend")) {
        HVCall call;
        const QContact contact = call.findContactByEmail(QStringLiteral("ann@example.org"));
        std::printf("%s\n", contact.isEmpty() ? "empty" : "found");
        return 0;
    }
    TestHVCall test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hvcall.moc"
