// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtTest/QtTest>

#include <memory>

#include "feedsservice.h"
#include "hvfeed.h"
#include "hvservicesource.h"
#include "hvtestfixture.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

using namespace Halvane;

namespace {

const QString EndpointService = QStringLiteral("org.halvane.TestFeedsFaults");

} // namespace

// The feeds source on a Tracker endpoint that goes away under it: killed and
// started again on the same database, and the session bus itself gone.
class TestFeedsFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void endpointKilledAndRestarted();
    void sessionBusGone();

private:
    bool startEndpoint();
    bool insertMessage(const QString &urn, const QString &title);
    int todaysItems();

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_endpoint;
    std::unique_ptr<FeedsService> m_service;
};

void TestFeedsFaults::initTestCase()
{
    qRegisterMetaType<QList<HVItem>>("QList<HVItem>");
    QVERIFY(m_dir.isValid());
    QVERIFY(HVTest::startSessionBus(m_bus, m_dir.filePath("bus")));
    QVERIFY(startEndpoint());
    qputenv("HALVANE_TRACKER_SERVICE", EndpointService.toUtf8());
    QVERIFY(insertMessage("urn:test:fault:1", "First"));
    m_service = std::make_unique<FeedsService>();
    QCOMPARE(todaysItems(), 1);
}

void TestFeedsFaults::cleanupTestCase()
{
    m_service.reset();
    m_endpoint.kill();
    m_endpoint.waitForFinished();
    m_bus.kill();
    m_bus.waitForFinished();
}

bool TestFeedsFaults::startEndpoint()
{
    return HVTest::startTrackerEndpoint(m_endpoint, m_dir.filePath("endpoint"), EndpointService);
}

bool TestFeedsFaults::insertMessage(const QString &urn, const QString &title)
{
    QSparqlConnection connection;
    QSparqlQuery insert("INSERT DATA { <urn:test:channel> a mfo:FeedChannel ; nie:title \"Channel\" . "
                        "?:m a mfo:FeedMessage ; nie:title ?:t ; nie:description \"d\" ; mfo:downloadedTime ?:when ; "
                        "nie:isLogicalPartOf <urn:test:channel> }",
                        QSparqlQuery::InsertStatement);
    insert.bindValue("m", QUrl(urn));
    insert.bindValue("t", title);
    insert.bindValue("when", QDateTime::currentDateTimeUtc());
    std::unique_ptr<QSparqlResult> result(connection.exec(insert));
    if (result->hasError())
        qWarning() << result->lastError().message();
    return !result->hasError();
}

int TestFeedsFaults::todaysItems()
{
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    return m_service->source()->retrieveItemList(today, today.addDays(1)).size();
}

void TestFeedsFaults::endpointKilledAndRestarted()
{
    QSignalSpy added(m_service->source(), &HVServiceSource::itemsAdded);

    m_endpoint.kill();
    QVERIFY(m_endpoint.waitForFinished());
    // No store: empty answers, at once and every time.
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 3; ++i)
        QCOMPARE(todaysItems(), 0);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

    // Back on the same database: retrievals find what was stored before.
    QVERIFY(startEndpoint());
    QTRY_COMPARE_WITH_TIMEOUT(todaysItems(), 1, 20000);

    // And what is stored now.
    QVERIFY(insertMessage("urn:test:fault:2", "Second"));
    QCOMPARE(todaysItems(), 2);
    // Live changes need the endpoint's signals: the restarted endpoint sends
    // them under the same name, and the notifier still follows that name.
    QTRY_VERIFY_WITH_TIMEOUT(!added.isEmpty(), 20000);
    bool seen = false;
    for (const QList<QVariant> &emission : qAsConst(added)) {
        for (const HVItem &item : emission.at(0).value<QList<HVItem>>())
            seen = seen || HVFeed(item).title() == QLatin1String("Second");
    }
    QVERIFY(seen);
}

void TestFeedsFaults::sessionBusGone()
{
    QCOMPARE(todaysItems(), 2);
    m_bus.kill();
    QVERIFY(m_bus.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().isConnected(), 10000);

    // Nothing to read from: empty answers without waiting, and no crash when
    // the source and its notifiers go.
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(todaysItems(), 0);
    QCOMPARE(todaysItems(), 0);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    m_service.reset();

    // A new source without a bus starts and answers nothing.
    m_service = std::make_unique<FeedsService>();
    QCOMPARE(todaysItems(), 0);
}

QTEST_GUILESS_MAIN(TestFeedsFaults)
#include "tst_feedsfaults.moc"
