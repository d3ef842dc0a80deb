// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtTest/QtTest>

#include <memory>

#include "historywriter.h"
#include "hvmessage.h"
#include "hvservicesource.h"
#include "hvtestfixture.h"
#include "smsservice.h"

using namespace Halvane;

// The SMS source when the session bus it follows the history on goes away:
// retrievals still read the history, and nothing crashes.
class TestSmsFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void wrongSignalShapesAreIgnored();
    void sessionBusGone();

private:
    bool addSms(const QString &text);

    QTemporaryDir m_dir;
    QProcess m_bus;
};

void TestSmsFaults::initTestCase()
{
    qRegisterMetaType<QList<HVItem>>("QList<HVItem>");
    QVERIFY(m_dir.isValid());
    qputenv("HALVANE_COMMHISTORY_DB", QFile::encodeName(m_dir.filePath("commhistory.db")));
    QVERIFY(HVTest::startSessionBus(m_bus, m_dir.filePath("bus")));
}

bool TestSmsFaults::addSms(const QString &text)
{
    CommHistory::HistoryWriter writer;
    const CommHistory::Group group = writer.ensureGroup("+15550001", "Ada");
    CommHistory::Event event;
    event.setType(CommHistory::Event::SMSEvent);
    event.setDirection(CommHistory::Event::Inbound);
    event.setParentId(4098);
    event.setGroupId(group.id());
    event.setEndTime(QDateTime::currentDateTime().addSecs(-60));
    event.setFreeText(text);
    QList<CommHistory::Event> events{event};
    return group.isValid() && writer.addEvents(events);
}

void TestSmsFaults::wrongSignalShapesAreIgnored()
{
    QVERIFY(addSms("first"));
    SmsService service;
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    QCOMPARE(service.source()->retrieveItemList(today, today.addDays(1)).size(), 1);
    QSignalSpy added(service.source(), &HVServiceSource::itemsAdded);
    QSignalSpy changed(service.source(), &HVServiceSource::itemsChanged);

    // Any peer may send these names with any arguments; reading them as
    // events would take the process down.
    const auto send = [](const QString &name, const QVariantList &arguments) {
        QDBusMessage signal = QDBusMessage::createSignal("/CommHistoryModel", "com.corvant.commhistory", name);
        signal.setArguments(arguments);
        QVERIFY(QDBusConnection::sessionBus().send(signal));
    };
    QDBusArgument shortStruct;
    shortStruct.beginStructure();
    shortStruct << 7 << QString("x");
    shortStruct.endStructure();
    send("eventsAdded", {QVariant::fromValue(shortStruct)});
    send("eventsAdded", {QStringList{"a", "b"}});
    send("eventsUpdated", {QVariant::fromValue(QDBusVariant(5))});
    send("eventsAdded", {5});
    send("eventDeleted", {"seven"});

    // Then a real one, which arrives.
    CommHistory::registerTypes();
    CommHistory::Event event;
    event.setId(99);
    event.setType(CommHistory::Event::SMSEvent);
    event.setDirection(CommHistory::Event::Inbound);
    event.setEndTime(QDateTime::currentDateTime());
    event.setFreeText("real");
    send("eventsAdded", {QVariant::fromValue(QList<CommHistory::Event>{event})});
    QTRY_COMPARE_WITH_TIMEOUT(added.count(), 1, 10000);
    QTest::qWait(200);
    QCOMPARE(added.count(), 1);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(HVMessage(added.first().first().value<QList<HVItem>>().value(0)).body(), QStringLiteral("real"));
}

void TestSmsFaults::sessionBusGone()
{
    QVERIFY(addSms("before"));
    auto service = std::make_unique<SmsService>();
    const QDateTime today(QDate::currentDate(), QTime(0, 0));
    const int before = service->source()->retrieveItemList(today, today.addDays(1)).size();
    QVERIFY(before > 0);

    m_bus.kill();
    QVERIFY(m_bus.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::sessionBus().isConnected(), 10000);

    // The history is still read, also what was written since.
    QVERIFY(addSms("after"));
    const QList<HVItem> items = service->source()->retrieveItemList(today, today.addDays(1));
    QCOMPARE(items.size(), before + 1);
    QStringList bodies;
    for (const HVItem &item : items)
        bodies.append(HVMessage(item).body());
    QVERIFY(bodies.contains("before"));
    QVERIFY(bodies.contains("after"));
    service.reset();

    // A source made without a bus answers as well.
    service = std::make_unique<SmsService>();
    QCOMPARE(service->source()->retrieveItemList(today, today.addDays(1)).size(), before + 1);
}

QTEST_GUILESS_MAIN(TestSmsFaults)
#include "tst_smsfaults.moc"
