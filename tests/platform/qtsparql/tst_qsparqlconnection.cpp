// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvtestfixture.h"
#include "hvteststorage.h"
#include "qsparqlbinding.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

namespace {

const QString Insert = QStringLiteral(
    "INSERT DATA { <urn:test:ann> a nco:PersonContact ; nco:nameGiven \"Ann \\\"A\\\"\" ; nco:nameFamily \"Lee\" . "
    "<urn:test:msg> a mfo:FeedMessage ; nie:title \"News\" ; mfo:downloadedTime \"2026-12-07T08:30:00Z\"^^xsd:dateTime . }");

std::unique_ptr<QSparqlResult> run(QSparqlConnection &connection, const QString &text,
                                   QSparqlQuery::StatementType type = QSparqlQuery::SelectStatement)
{
    return std::unique_ptr<QSparqlResult>(connection.exec(QSparqlQuery(text, type)));
}

} // namespace

// The Tracker store through the QtSparql-style API: a local store, and an
// endpoint shared with another process over a private session bus.
class TestQSparqlConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void localStoreTypedValues();
    void errorsAreReported();
    void unknownDriverIsInvalid();
    void boundValuesStayValues();
    void endpointSharesTheStore();
    void unreachableEndpoint();
    void fullDiskIsSaidAtOnce();

private:
    void checkStore(QSparqlConnection &connection);

    QTemporaryDir m_dir;
    QProcess m_bus;
};

void TestQSparqlConnection::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());

    // A private session bus for the endpoint, set before anything connects.
    QVERIFY(HVTest::startSessionBus(m_bus, m_dir.filePath(QStringLiteral("bus"))));
}

void TestQSparqlConnection::cleanupTestCase()
{
    m_bus.terminate();
    m_bus.waitForFinished();
}

void TestQSparqlConnection::checkStore(QSparqlConnection &connection)
{
    QVERIFY2(connection.isValid(), qPrintable(connection.lastError().message()));
    auto inserted = run(connection, Insert, QSparqlQuery::InsertStatement);
    QVERIFY2(!inserted->hasError(), qPrintable(inserted->lastError().message()));

    auto people = run(connection, QStringLiteral(
        "SELECT ?c ?given tracker:id(?c) WHERE { ?c a nco:PersonContact ; nco:nameGiven ?given } ORDER BY ?given"));
    QVERIFY2(!people->hasError(), qPrintable(people->lastError().message()));
    QCOMPARE(people->size(), 1);
    QCOMPARE(people->pos(), -1);
    QVERIFY(people->next());
    QCOMPARE(people->binding(0).value(), QVariant(QUrl(QStringLiteral("urn:test:ann"))));
    QCOMPARE(people->binding(0).toString(), QStringLiteral("<urn:test:ann>"));
    QCOMPARE(people->binding(1).value().toString(), QStringLiteral("Ann \"A\""));
    QCOMPARE(people->binding(1).toString(), QStringLiteral("\"Ann \\\"A\\\"\""));
    QCOMPARE(people->binding(QStringLiteral("given")).value().toString(), QStringLiteral("Ann \"A\""));
    QCOMPARE(people->binding(2).value().userType(), int(QMetaType::LongLong));
    QVERIFY(people->binding(2).value().toLongLong() > 0);
    QVERIFY(!people->next());
    QVERIFY(!people->binding(0).isValid());

    auto messages = run(connection, QStringLiteral(
        "SELECT ?t ?d WHERE { ?m a mfo:FeedMessage ; nie:title ?t ; mfo:downloadedTime ?d . "
        "FILTER(?d >= \"2026-12-07T00:00:00Z\"^^xsd:dateTime) }"));
    QVERIFY(messages->next());
    const QDateTime downloaded = messages->value(1).toDateTime();
    QCOMPARE(downloaded, QDateTime(QDate(2026, 12, 7), QTime(8, 30), Qt::UTC));
    QVERIFY(messages->binding(1).toString().endsWith(QLatin1String("^^<http://www.w3.org/2001/XMLSchema#dateTime>")));

    auto ask = run(connection, QStringLiteral("ASK { <urn:test:ann> a nco:PersonContact }"), QSparqlQuery::AskStatement);
    QVERIFY(ask->boolValue());

    auto removed = run(connection, QStringLiteral("DELETE { <urn:test:ann> a rdfs:Resource } WHERE { <urn:test:ann> a rdfs:Resource }"),
                       QSparqlQuery::DeleteStatement);
    QVERIFY2(!removed->hasError(), qPrintable(removed->lastError().message()));
    auto gone = run(connection, QStringLiteral("ASK { <urn:test:ann> a nco:PersonContact }"), QSparqlQuery::AskStatement);
    QVERIFY(!gone->hasError());
    QVERIFY(!gone->boolValue());

    // A batch is one transaction: a refused update takes the others back.
    const auto contact = [](const char *urn) {
        QSparqlQuery update(QStringLiteral("INSERT DATA { ?:c a nco:PersonContact }"), QSparqlQuery::InsertStatement);
        update.bindValue(QStringLiteral("c"), QUrl(QString::fromLatin1(urn)));
        return update;
    };
    const QSparqlQuery refused(QStringLiteral("INSERT DATA { <urn:test:x> a nco:NoSuchClass }"), QSparqlQuery::InsertStatement);
    auto failed = std::unique_ptr<QSparqlResult>(connection.exec(QVector<QSparqlQuery>{contact("urn:test:cy"), refused}));
    QVERIFY(failed->hasError());
    QVERIFY(!run(connection, QStringLiteral("ASK { <urn:test:cy> a nco:PersonContact }"), QSparqlQuery::AskStatement)->boolValue());
    auto batch = std::unique_ptr<QSparqlResult>(connection.exec(QVector<QSparqlQuery>{contact("urn:test:cy"), contact("urn:test:di")}));
    QVERIFY2(!batch->hasError(), qPrintable(batch->lastError().message()));
    QCOMPARE(run(connection, QStringLiteral("SELECT ?c WHERE { VALUES ?c { <urn:test:cy> <urn:test:di> } ?c a nco:PersonContact }"))->size(), 2);
}

void TestQSparqlConnection::localStoreTypedValues()
{
    {
        QSparqlConnection connection;
        checkStore(connection);
    }
    // The store is a directory under the data location and outlives the connection.
    QVERIFY(QSparqlConnection::localStorePath().startsWith(m_dir.filePath(QStringLiteral("data"))));
    {
        QSparqlConnection again;
        // A store in use stays open.
        QSparqlConnection::closeUnusedStores();
        QCOMPARE(run(again, QStringLiteral("SELECT ?m WHERE { ?m a mfo:FeedMessage }"))->size(), 1);
    }
    // Closed when unused, and opened again on demand.
    QSparqlConnection::closeUnusedStores();
    QSparqlConnection reopened;
    QCOMPARE(run(reopened, QStringLiteral("SELECT ?m WHERE { ?m a mfo:FeedMessage }"))->size(), 1);
}

void TestQSparqlConnection::errorsAreReported()
{
    QSparqlConnection connection;
    auto broken = run(connection, QStringLiteral("SELECT ?x WHERE { ?x a }"));
    QVERIFY(broken->hasError());
    QCOMPARE(broken->lastError().type(), QSparqlError::StatementError);
    QVERIFY(!broken->next());
    auto badUpdate = run(connection, QStringLiteral("INSERT DATA { <urn:x> a nco:NoSuchClass }"),
                         QSparqlQuery::InsertStatement);
    QVERIFY(badUpdate->hasError());
}

void TestQSparqlConnection::unknownDriverIsInvalid()
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no such driver")));
    QSparqlConnection connection(QStringLiteral("QVIRTUOSO"));
    QVERIFY(!connection.isValid());
    QCOMPARE(connection.lastError().type(), QSparqlError::ConnectionError);
    auto result = run(connection, QStringLiteral("SELECT ?x WHERE { ?x a rdfs:Resource }"));
    QVERIFY(result->hasError());
}

void TestQSparqlConnection::boundValuesStayValues()
{
    QSparqlConnection connection;
    // Text that would end the literal and the statement if pasted in.
    const QString hostile = QStringLiteral("x\" } ; DELETE WHERE { ?s ?p ?o } ; INSERT DATA { <urn:a> a nco:Contact . '\\\n\t");
    QSparqlQuery insert(QStringLiteral("INSERT DATA { ?:contact a nco:PersonContact ; nco:nameGiven ?:name ; "
                                       "nco:nameFamily ?:name }"),
                        QSparqlQuery::InsertStatement);
    insert.bindValue(QStringLiteral("contact"), QUrl(QStringLiteral("urn:test:hostile")));
    insert.bindValue(QStringLiteral("name"), hostile);
    auto inserted = std::unique_ptr<QSparqlResult>(connection.exec(insert));
    QVERIFY2(!inserted->hasError(), qPrintable(inserted->lastError().message()));

    QSparqlQuery select(QStringLiteral("SELECT ?n WHERE { ?:contact nco:nameFamily ?n }"));
    select.bindValue(QStringLiteral("contact"), QUrl(QStringLiteral("urn:test:hostile")));
    auto read = std::unique_ptr<QSparqlResult>(connection.exec(select));
    QVERIFY(read->next());
    QCOMPARE(read->value(0).toString(), hostile);
    QCOMPARE(run(connection, QStringLiteral("SELECT ?m WHERE { ?m a mfo:FeedMessage }"))->size(), 1);

    // IRIs are written encoded, so they cannot break out of their brackets.
    QCOMPARE(QSparqlQuery::term(QVariant::fromValue(QUrl::fromEncoded("urn:a%3Eb"))), QStringLiteral("<urn:a%3Eb>"));
    QCOMPARE(QSparqlQuery::term(QUrl(QStringLiteral("mailto:a b"))), QStringLiteral("<mailto:a%20b>"));
    QCOMPARE(QSparqlQuery::term(42), QStringLiteral("42"));
    QCOMPARE(QSparqlQuery::term(QDateTime(QDate(2026, 1, 2), QTime(3, 4), Qt::UTC)),
             QStringLiteral("\"2026-01-02T03:04:00.000Z\"^^xsd:dateTime"));
    // Placeholders are matched whole.
    QSparqlQuery names(QStringLiteral("?:id ?:identity"));
    names.bindValue(QStringLiteral("id"), 1);
    names.bindValue(QStringLiteral("identity"), 2);
    QCOMPARE(names.preparedQueryText(), QStringLiteral("1 2"));
    // A value that reads like a placeholder stays text.
    QSparqlQuery pair(QStringLiteral("?:a ?:b"));
    pair.bindValue(QStringLiteral("a"), QStringLiteral("?:b"));
    pair.bindValue(QStringLiteral("b"), QStringLiteral("x\""));
    QCOMPARE(pair.preparedQueryText(), QStringLiteral("\"?:b\" \"x\\\"\""));

    // A NUL (as a broken feed can carry) would end the query text where it
    // stands: the value is stored without it.
    QSparqlQuery withNul(QStringLiteral("INSERT DATA { ?:contact a nco:PersonContact ; nco:nameGiven ?:name }"),
                         QSparqlQuery::InsertStatement);
    withNul.bindValue(QStringLiteral("contact"), QUrl(QStringLiteral("urn:test:nul")));
    withNul.bindValue(QStringLiteral("name"), QString::fromUtf8("Caf\0e\0", 6));
    auto storedNul = std::unique_ptr<QSparqlResult>(connection.exec(withNul));
    QVERIFY2(!storedNul->hasError(), qPrintable(storedNul->lastError().message()));
    QSparqlQuery readNul(QStringLiteral("SELECT ?n WHERE { ?:contact nco:nameGiven ?n }"));
    readNul.bindValue(QStringLiteral("contact"), QUrl(QStringLiteral("urn:test:nul")));
    auto readBack = std::unique_ptr<QSparqlResult>(connection.exec(readNul));
    QVERIFY(readBack->next());
    QCOMPARE(readBack->value(0).toString(), QStringLiteral("Cafe"));
}

void TestQSparqlConnection::endpointSharesTheStore()
{
    const QString service = QStringLiteral("org.halvane.TestStore");
    QProcess endpoint;
    QVERIFY(HVTest::startTrackerEndpoint(endpoint, m_dir.filePath(QStringLiteral("endpoint")), service));
    qputenv("HALVANE_TRACKER_SERVICE", service.toUtf8());

    // Wait until the endpoint owns its name.
    QDeadlineTimer deadline(20000);
    std::unique_ptr<QSparqlConnection> connection;
    while (!deadline.hasExpired()) {
        connection = std::make_unique<QSparqlConnection>();
        if (connection->isValid() && !run(*connection, QStringLiteral("ASK { ?x a rdfs:Resource }"))->hasError())
            break;
        QTest::qWait(100);
    }
    checkStore(*connection);

    // Another process's write is seen through the endpoint.
    QProcess writer;
    writer.start(QStringLiteral("tracker3"), {QStringLiteral("sparql"), QStringLiteral("--dbus-service"), service,
                                              QStringLiteral("--update"), QStringLiteral("--query"),
                                              QStringLiteral("INSERT DATA { <urn:test:bob> a nco:PersonContact ; "
                                                             "nco:nameGiven \"Bob\" }")});
    QVERIFY(writer.waitForFinished(20000));
    QCOMPARE(writer.exitCode(), 0);
    auto people = run(*connection, QStringLiteral("SELECT ?g WHERE { ?c nco:nameGiven ?g }"));
    QVERIFY(people->next());
    QCOMPARE(people->value(0).toString(), QStringLiteral("Bob"));

    connection.reset();
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
    endpoint.terminate();
    QVERIFY(endpoint.waitForFinished(10000));
}

void TestQSparqlConnection::unreachableEndpoint()
{
    qputenv("HALVANE_TRACKER_SERVICE", "org.halvane.NobodyHere");
    QSparqlConnection connection;
    // Either refused at once or at the first query; never a crash, never results.
    auto result = run(connection, QStringLiteral("SELECT ?x WHERE { ?x a rdfs:Resource }"));
    QVERIFY(!connection.isValid() || result->hasError());
    QCOMPARE(result->size(), 0);
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
}


// A store that exists but has no room to open: the caller hears so at once,
// also while another program's lock on the store cannot be broken.
void TestQSparqlConnection::fullDiskIsSaidAtOnce()
{
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("full"))));
    QVERIFY(QSparqlConnection().isValid());
    QSparqlConnection::closeUnusedStores();
    QLockFile held(QSparqlConnection::localStorePath() + QLatin1String("/.halvane-open-lock"));
    QVERIFY(held.tryLock(0));
    {
        HVTest::FileSizeLimit full(16);
        QVERIFY(full.isSet());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no Tracker store: .*disk is full")));
        QElapsedTimer opening;
        opening.start();
        QSparqlConnection connection;
        QVERIFY(!connection.isValid());
        QVERIFY2(connection.lastError().message().startsWith(QLatin1String("the disk is full or read-only")),
                 qPrintable(connection.lastError().message()));
        QVERIFY2(opening.elapsed() < 20000, "waited for a lock it could never take");
    }
    held.unlock();
    QVERIFY(QSparqlConnection().isValid());
    qputenv("XDG_DATA_HOME", home);
}

QTEST_GUILESS_MAIN(TestQSparqlConnection)
#include "tst_qsparqlconnection.moc"
