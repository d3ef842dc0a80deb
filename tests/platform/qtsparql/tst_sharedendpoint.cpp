// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtTest/QtTest>

#include <csignal>

#include "hvtestfixture.h"

#include "qsparqlconnection.h"
#include "trackerchangenotifier.h"

namespace {

const QString MessageClass = QStringLiteral("http://tracker.api.gnome.org/ontology/v3/mfo#FeedMessage");
const QString SharedService = QStringLiteral("org.halvane.Tracker");
const QByteArray Rss = R"(<?xml version="1.0"?>
<rss version="2.0"><channel><title>Town News</title><link>https://news.example.org/</link><description>d</description>
<item><title>Market opens</title><guid>https://news.example.org/market</guid><description>At seven.</description></item>
</channel></rss>
)";

} // namespace

// Which store the programs use: the shared endpoint when the session bus can
// start it (its service file installed), else each its local store.
class TestSharedEndpoint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void installedEndpointIsEveryProgramsStore();
    void withoutItProgramsKeepTheLocalStore();

private:
    // Runs halvane-feeds with no store chosen, in its own data directory and
    // on the given session bus.
    int feeds(const QStringList &arguments, const QString &dataDir, const QByteArray &busAddress,
              QByteArray *output = nullptr);

    QTemporaryDir m_dir;
    QProcess m_bus;
    QByteArray m_busAddress;
};

void TestSharedEndpoint::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString services = m_dir.filePath(QStringLiteral("services"));
    QVERIFY(QDir().mkpath(services));
    QVERIFY(QFile::copy(QStringLiteral(HVTEST_TRACKER_DBUS_SERVICE),
                        services + QLatin1String("/org.halvane.Tracker.service")));
    QFile rss(m_dir.filePath(QStringLiteral("news.rss")));
    QVERIFY(rss.open(QIODevice::WriteOnly) && rss.write(Rss) == Rss.size());
    rss.close();

    // What the bus starts gets the bus's environment: the endpoint's store
    // is the one of that session's data directory.
    QProcessEnvironment busEnvironment = QProcessEnvironment::systemEnvironment();
    busEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("session-data")));
    m_bus.setProcessEnvironment(busEnvironment);
    QVERIFY(HVTest::startSessionBus(m_bus, m_dir.filePath(QStringLiteral("bus")), services));
    m_busAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("test-data"))));
    qunsetenv("HALVANE_TRACKER_SERVICE");
}

void TestSharedEndpoint::cleanupTestCase()
{
    QSparqlConnection::closeUnusedStores();
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    if (bus && bus->isServiceRegistered(SharedService)) {
        const uint pid = bus->servicePid(SharedService);
        if (pid > 0)
            ::kill(pid_t(pid), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(!bus->isServiceRegistered(SharedService), 20000);
    }
    m_bus.terminate();
    m_bus.waitForFinished();
}

int TestSharedEndpoint::feeds(const QStringList &arguments, const QString &dataDir, const QByteArray &busAddress,
                              QByteArray *output)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("HALVANE_TRACKER_SERVICE"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataDir);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(busAddress));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(HVTEST_FEEDS_PROGRAM), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitCode();
}

void TestSharedEndpoint::installedEndpointIsEveryProgramsStore()
{
    QCOMPARE(QSparqlConnection::endpointService(), SharedService);
    // Listening starts the endpoint.
    TrackerChangeNotifier notifier(MessageClass);
    QVERIFY(notifier.isValid());
    QVERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(SharedService));
    QSignalSpy changed(&notifier, &TrackerChangeNotifier::changed);

    // Another program writes to the same store, and this one hears of it.
    const QString programData = m_dir.filePath(QStringLiteral("program-data"));
    QCOMPARE(feeds({QStringLiteral("import"), m_dir.filePath(QStringLiteral("news.rss"))}, programData, m_busAddress),
             0);
    QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), 20000);
    const auto inserts = changed.first().at(1).value<QList<TrackerChangeNotifier::Quad>>();
    QCOMPARE(inserts.size(), 1);
    QVERIFY(!notifier.resourceUri(inserts.first().subject).isEmpty());

    // The store lives in the session's data directory; the program opened none of its own.
    QVERIFY(QFileInfo::exists(m_dir.filePath(QStringLiteral("session-data/halvane/tracker/meta.db"))));
    QVERIFY(!QFileInfo::exists(programData + QLatin1String("/halvane")));
}

void TestSharedEndpoint::withoutItProgramsKeepTheLocalStore()
{
    // A bus that cannot start the endpoint, and no bus at all.
    const QString services = m_dir.filePath(QStringLiteral("no-services"));
    QVERIFY(QDir().mkpath(services));
    QProcess bareBus;
    QVERIFY(HVTest::startSessionBus(bareBus, m_dir.filePath(QStringLiteral("bare-bus")), services));
    const QByteArray bareAddress = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress);
    const QByteArray noBus = "unix:path=" + QFile::encodeName(m_dir.filePath(QStringLiteral("no-bus")));

    const QList<QPair<QByteArray, QString>> sessions{{bareAddress, QStringLiteral("bare-bus-data")},
                                                     {noBus, QStringLiteral("no-bus-data")}};
    for (const auto &session : sessions) {
        const QByteArray &address = session.first;
        const QString data = m_dir.filePath(session.second);
        QCOMPARE(feeds({QStringLiteral("import"), m_dir.filePath(QStringLiteral("news.rss"))}, data, address), 0);
        QVERIFY(QFileInfo::exists(data + QLatin1String("/halvane/tracker/meta.db")));
        QByteArray output;
        QCOMPARE(feeds({QStringLiteral("list")}, data, address, &output), 0);
        QVERIFY2(output.contains("Market opens"), output.constData());
    }
    bareBus.terminate();
    bareBus.waitForFinished();
}

QTEST_GUILESS_MAIN(TestSharedEndpoint)
#include "tst_sharedendpoint.moc"
