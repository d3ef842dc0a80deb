// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvtestfixture.h"

#include "qsparqlconnection.h"
#include "qsparqlresult.h"
#include "trackerchangenotifier.h"

namespace {

const QString MessageClass = QStringLiteral("http://tracker.api.gnome.org/ontology/v3/mfo#FeedMessage");
const QString Service = QStringLiteral("org.halvane.TestNotifier");

int trackerId(QSparqlConnection &connection, const QString &uri)
{
    QSparqlQuery query(QStringLiteral("SELECT tracker:id(?:r) {}"));
    query.bindValue(QStringLiteral("r"), QUrl(uri));
    std::unique_ptr<QSparqlResult> result(connection.exec(query));
    return result->next() ? int(result->value(0).toLongLong()) : 0;
}

QSet<int> messagesInStore(QSparqlConnection &connection)
{
    std::unique_ptr<QSparqlResult> result(
        connection.exec(QSparqlQuery(QStringLiteral("SELECT tracker:id(?r) { ?r a mfo:FeedMessage }"))));
    QSet<int> ids;
    while (result->next())
        ids.insert(int(result->value(0).toLongLong()));
    return ids;
}

bool exec(QSparqlConnection &connection, const QString &update)
{
    return !std::unique_ptr<QSparqlResult>(connection.exec(QSparqlQuery(update, QSparqlQuery::InsertStatement)))
                ->hasError();
}

} // namespace

// Change notification from a Tracker endpoint on a private session bus, written
// to by another process, and what a local store offers.
class TestTrackerChangeNotifier : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void otherProcessChangesArriveForTheClassOnly();
    void burstIsReportedTogetherAndComplete();
    void localStoreKnowsItsResources();
    void unreachableEndpointAnnouncesNothing();
    void failedQueryReportsNothingUntilAnswered();

private:
    bool sparql(const QString &update);

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_endpoint;
};

void TestTrackerChangeNotifier::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    QVERIFY(HVTest::startSessionBus(m_bus, m_dir.filePath(QStringLiteral("bus"))));
    QVERIFY(HVTest::startTrackerEndpoint(m_endpoint, m_dir.filePath(QStringLiteral("endpoint")), Service));
    qputenv("HALVANE_TRACKER_SERVICE", Service.toUtf8());
    QTRY_VERIFY_WITH_TIMEOUT(std::unique_ptr<QSparqlResult>(QSparqlConnection().exec(
                                 QSparqlQuery(QStringLiteral("ASK { ?x a rdfs:Resource }"), QSparqlQuery::AskStatement)))->boolValue(),
                             20000);
    QVERIFY(sparql(QStringLiteral("INSERT DATA { <urn:n:old> a mfo:FeedMessage ; nie:title \"old\" }")));
}

void TestTrackerChangeNotifier::cleanupTestCase()
{
    m_endpoint.terminate();
    m_endpoint.waitForFinished();
    m_bus.terminate();
    m_bus.waitForFinished();
}

bool TestTrackerChangeNotifier::sparql(const QString &update)
{
    QProcess writer;
    writer.start(QStringLiteral("tracker3"), {QStringLiteral("sparql"), QStringLiteral("--dbus-service"), Service,
                                              QStringLiteral("--update"), QStringLiteral("--query"), update});
    return writer.waitForFinished(20000) && writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0;
}

void TestTrackerChangeNotifier::otherProcessChangesArriveForTheClassOnly()
{
    QSparqlConnection connection;
    TrackerChangeNotifier notifier(MessageClass);
    QVERIFY(notifier.isValid());
    QCOMPARE(notifier.watchedClass(), MessageClass);
    const int old = trackerId(connection, QStringLiteral("urn:n:old"));
    QVERIFY(old > 0);
    QCOMPARE(notifier.resourceUri(old), QStringLiteral("urn:n:old"));
    QSignalSpy changes(&notifier, &TrackerChangeNotifier::changed);

    // A channel and a contact are other classes that notify too: not ours.
    QVERIFY(sparql(QStringLiteral("INSERT DATA { <urn:n:channel> a mfo:FeedChannel ; nie:title \"c\" . "
                                  "<urn:n:ann> a nco:PersonContact ; nco:nameGiven \"Ann\" }")));
    QVERIFY(sparql(QStringLiteral("INSERT DATA { <urn:n:new> a mfo:FeedMessage ; nie:title \"new\" ; "
                                  "nie:isLogicalPartOf <urn:n:channel> }")));
    QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 1, 20000);
    const int created = trackerId(connection, QStringLiteral("urn:n:new"));
    auto deletes = changes.first().at(0).value<QList<TrackerChangeNotifier::Quad>>();
    auto inserts = changes.first().at(1).value<QList<TrackerChangeNotifier::Quad>>();
    QVERIFY(deletes.isEmpty());
    QCOMPARE(inserts.size(), 1);
    QCOMPARE(inserts.first().subject, created);
    QCOMPARE(inserts.first().graph, 0);
    QCOMPARE(inserts.first().predicate, 0);
    QCOMPARE(inserts.first().object, 0);

    // An update is the resource going and coming back.
    QVERIFY(sparql(QStringLiteral("INSERT OR REPLACE { <urn:n:new> nie:title \"newer\" }")));
    QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 2, 20000);
    deletes = changes.at(1).at(0).value<QList<TrackerChangeNotifier::Quad>>();
    inserts = changes.at(1).at(1).value<QList<TrackerChangeNotifier::Quad>>();
    QCOMPARE(deletes.size(), 1);
    QCOMPARE(deletes.first().subject, created);
    QCOMPARE(inserts.size(), 1);

    // A deleted message's URI is still known after Tracker forgot it.
    QVERIFY(sparql(QStringLiteral("DELETE DATA { <urn:n:old> a rdfs:Resource }")));
    QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 3, 20000);
    deletes = changes.at(2).at(0).value<QList<TrackerChangeNotifier::Quad>>();
    QCOMPARE(deletes.size(), 1);
    QCOMPARE(deletes.first().subject, old);
    QVERIFY(changes.at(2).at(1).value<QList<TrackerChangeNotifier::Quad>>().isEmpty());
    QCOMPARE(notifier.resourceUri(old), QStringLiteral("urn:n:old"));
    std::unique_ptr<QSparqlResult> gone(connection.exec(
        QSparqlQuery(QStringLiteral("ASK { <urn:n:old> a mfo:FeedMessage }"), QSparqlQuery::AskStatement)));
    QVERIFY(!gone->hasError());
    QVERIFY(!gone->boolValue());

    // Deleting a contact says nothing to a feed-message notifier; the next
    // message change is the next signal.
    QVERIFY(sparql(QStringLiteral("DELETE DATA { <urn:n:ann> a rdfs:Resource } ; DELETE DATA { <urn:n:channel> a rdfs:Resource }")));
    QVERIFY(sparql(QStringLiteral("DELETE DATA { <urn:n:new> a rdfs:Resource }")));
    QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 4, 20000);
    deletes = changes.at(3).at(0).value<QList<TrackerChangeNotifier::Quad>>();
    QCOMPARE(deletes.size(), 1);
    QCOMPARE(deletes.first().subject, created);
    QVERIFY(notifier.resourceUri(old).isEmpty());
}

void TestTrackerChangeNotifier::burstIsReportedTogetherAndComplete()
{
    QSparqlConnection connection;
    TrackerChangeNotifier notifier(MessageClass);
    QVERIFY(notifier.isValid());
    // A listener that holds the messages, kept current by the signals alone:
    // a deletion of something it does not hold, or an insertion of something
    // it holds, is a lost or doubled change.
    QSet<int> held = messagesInStore(connection);
    int reports = 0;
    bool consistent = true;
    connect(&notifier, &TrackerChangeNotifier::changed, this,
            [&](const QList<TrackerChangeNotifier::Quad> &deletes, const QList<TrackerChangeNotifier::Quad> &inserts) {
                ++reports;
                for (const TrackerChangeNotifier::Quad &quad : deletes)
                    consistent = held.remove(quad.subject) && consistent;
                for (const TrackerChangeNotifier::Quad &quad : inserts) {
                    consistent = !held.contains(quad.subject) && consistent;
                    held.insert(quad.subject);
                }
            });

    // Commits in a row: inserts, some deleted again at once, some updated.
    int commits = 0;
    for (int n = 0; n < 40; ++n) {
        QVERIFY(exec(connection, QStringLiteral("INSERT DATA { <urn:b:%1> a mfo:FeedMessage ; nie:title \"b%1\" }").arg(n)));
        ++commits;
        if (n % 4 == 3) {
            QVERIFY(exec(connection, QStringLiteral("DELETE DATA { <urn:b:%1> a rdfs:Resource }").arg(n - 1)));
            ++commits;
        }
        if (n % 10 == 9) {
            QVERIFY(exec(connection, QStringLiteral("INSERT OR REPLACE { <urn:b:%1> nie:title \"again\" }").arg(n - 4)));
            ++commits;
        }
    }
    const QSet<int> stored = messagesInStore(connection);
    QTRY_COMPARE_WITH_TIMEOUT(held, stored, 20000);
    QVERIFY(consistent);
    QVERIFY2(reports < commits, qPrintable(QStringLiteral("%1 reports for %2 commits").arg(reports).arg(commits)));

    // The deleted ones are forgotten, the others known by their URIs.
    QCOMPARE(notifier.resourceUri(trackerId(connection, QStringLiteral("urn:b:39"))), QStringLiteral("urn:b:39"));
    for (int n = 0; n < 40; ++n) {
        QSignalSpy more(&notifier, &TrackerChangeNotifier::changed);
        QVERIFY(exec(connection, QStringLiteral("DELETE DATA { <urn:b:%1> a rdfs:Resource }").arg(n)));
        if (n % 4 == 2)
            continue;
        QVERIFY(more.wait(20000));
    }
    QTRY_COMPARE_WITH_TIMEOUT(held, messagesInStore(connection), 20000);
    QVERIFY(consistent);
}

void TestTrackerChangeNotifier::localStoreKnowsItsResources()
{
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
    {
        QSparqlConnection connection;
        std::unique_ptr<QSparqlResult> inserted(connection.exec(QSparqlQuery(
            QStringLiteral("INSERT DATA { <urn:l:one> a mfo:FeedMessage }"), QSparqlQuery::InsertStatement)));
        QVERIFY(!inserted->hasError());
    }
    QSparqlConnection connection;
    TrackerChangeNotifier notifier(MessageClass);
    QVERIFY(notifier.isValid());
    QCOMPARE(notifier.resourceUri(trackerId(connection, QStringLiteral("urn:l:one"))), QStringLiteral("urn:l:one"));
    QVERIFY(notifier.resourceUri(123456).isEmpty());
    qputenv("HALVANE_TRACKER_SERVICE", Service.toUtf8());
}

void TestTrackerChangeNotifier::unreachableEndpointAnnouncesNothing()
{
    qputenv("HALVANE_TRACKER_SERVICE", "org.halvane.NobodyHere");
    TrackerChangeNotifier notifier(MessageClass);
    QVERIFY(!notifier.isValid());
    QVERIFY(notifier.resourceUri(1).isEmpty());
    qputenv("HALVANE_TRACKER_SERVICE", Service.toUtf8());
}

void TestTrackerChangeNotifier::failedQueryReportsNothingUntilAnswered()
{
    QSparqlConnection connection;
    QVERIFY(exec(connection, QStringLiteral("INSERT DATA { <urn:f:kept> a mfo:FeedMessage ; nie:title \"kept\" }")));
    const int kept = trackerId(connection, QStringLiteral("urn:f:kept"));
    TrackerChangeNotifier notifier(MessageClass);
    QVERIFY(notifier.isValid());
    QSignalSpy changes(&notifier, &TrackerChangeNotifier::changed);
    // The notifier holds events back for a moment; the endpoint dies within it.
    auto *reportTimer = notifier.findChild<QTimer *>();
    QVERIFY(reportTimer);
    QVERIFY(sparql(QStringLiteral("INSERT OR REPLACE { <urn:f:kept> nie:title \"changed\" }")));
    QDeadlineTimer deadline(20000);
    while (!reportTimer->isActive() && !deadline.hasExpired())
        QCoreApplication::processEvents();
    QVERIFY(reportTimer->isActive());
    m_endpoint.kill();
    QVERIFY(m_endpoint.waitForFinished());

    // Nothing is known about the message, so nothing is said about it.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot read the resources of"));
    QTRY_VERIFY_WITH_TIMEOUT(!reportTimer->isActive(), 5000);
    QCOMPARE(changes.size(), 0);

    // Back on the bus, the change is reported as what it was: an update.
    QVERIFY(HVTest::startTrackerEndpoint(m_endpoint, m_dir.filePath(QStringLiteral("endpoint")), Service));
    QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 1, 20000);
    const auto deletes = changes.first().at(0).value<QList<TrackerChangeNotifier::Quad>>();
    const auto inserts = changes.first().at(1).value<QList<TrackerChangeNotifier::Quad>>();
    QCOMPARE(deletes.size(), 1);
    QCOMPARE(deletes.first().subject, kept);
    QCOMPARE(inserts.size(), 1);
    QCOMPARE(inserts.first().subject, kept);
    QCOMPARE(notifier.resourceUri(kept), QStringLiteral("urn:f:kept"));

    // And it listens again.
    QVERIFY(sparql(QStringLiteral("DELETE DATA { <urn:f:kept> a rdfs:Resource }")));
    QTRY_COMPARE_WITH_TIMEOUT(changes.size(), 2, 20000);
    QCOMPARE(changes.at(1).at(0).value<QList<TrackerChangeNotifier::Quad>>().first().subject, kept);
}

QTEST_GUILESS_MAIN(TestTrackerChangeNotifier)
#include "tst_trackerchangenotifier.moc"
