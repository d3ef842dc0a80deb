// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtTest/QtTest>

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QMetaMethod>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include "hvitemmanager.h"
#include "hvitemmodel.h"
#include "hvretrieveserviceaction.h"
#include "hvservicehandler.h"
#include "hvtestfixture.h"

using namespace Halvane;

namespace {

// Set in the environment of the copy of this program that checks process exit.
const char ExitChildVariable[] = "HVTEST_ITEMMANAGER_EXIT_CHILD";

const QString EventKey = QStringLiteral("halvanetestevent");
const QString MessageKey = QStringLiteral("halvanetestmessage");
const QString WeatherKey = QStringLiteral("halvanetestweather");

QJsonObject item(const char *id, const char *date, const char *label)
{
    return QJsonObject{{QStringLiteral("id"), QLatin1String(id)},
                       {QStringLiteral("date"), QLatin1String(date)},
                       {QStringLiteral("displayLabel"), QLatin1String(label)}};
}

const QJsonArray EventItems{item("e1", "today 09:00", "Stand-up"), item("e2", "today 14:00", "Review"),
                            item("e3", "tomorrow 10:00", "Dentist")};
const QJsonArray MessageItems{item("m1", "today 08:00", "Hello"), item("m2", "yesterday 23:00", "Late")};
const QJsonArray WeatherItems{item("w1", "today 12:00", "Sunny"), item("w2", "today 18:00", "Rain")};

// Items of today, in the order the handler asks the services (by key).
const QStringList TodayIds{QStringLiteral("halvanetestevent/e1"), QStringLiteral("halvanetestevent/e2"),
                           QStringLiteral("halvanetestmessage/m1"), QStringLiteral("halvanetestweather/w1"),
                           QStringLiteral("halvanetestweather/w2")};

QStringList ids(const QList<HVItem> &items)
{
    QStringList list;
    for (const HVItem &item : items)
        list.append(item.id().managerUri() + QLatin1Char('/') + item.id().localId());
    return list;
}

QList<HVItem> itemsOf(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).value<QList<HVItem>>();
}

// Process-exit check, run in a child process.
HVRetrieveServiceAction *s_leftoverAction = nullptr;

void reportAfterExit()
{
    std::printf("instance after exit: %s\n", HVItemManager::instance() ? "alive" : "null");
    // The action outlived the manager: it must neither start nor reach it when deleted.
    std::printf("start after exit: %s\n", s_leftoverAction->start() ? "true" : "false");
    delete s_leftoverAction;
    std::printf("action deleted\n");
    std::fflush(stdout);
}

int runExitChild(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Registered before the singleton exists, so it runs after the singleton's own handler.
    std::atexit(&reportAfterExit);
    HVItemManager *manager = HVItemManager::instance();
    s_leftoverAction = new HVRetrieveServiceAction;
    std::printf("instance while running: %s\n", manager && HVItemManager::instance() == manager ? "alive" : "null");
    std::fflush(stdout);
    return 0;
}

} // namespace

class Testhvitemmanager : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_pluginsDir;
    QTemporaryDir m_itemsDir;
    HVItemManager *m_manager = nullptr;

    // Zero-delay shots of startAction() are queued to the manager; dropping them
    // lets a test run dispatchAction() one call at a time.
    void dropScheduledDispatches() { QCoreApplication::removePostedEvents(m_manager, QEvent::MetaCall); }

    bool ensureHandler()
    {
        if (m_manager->handler())
            return true;
        HVRetrieveServiceAction action;
        action.start();
        return QTest::qWaitFor([&] { return action.activity() == HVServiceAction::Finished; })
            && m_manager->handler();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_pluginsDir.isValid());
        QVERIFY(m_itemsDir.isValid());
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), m_pluginsDir.path()));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), m_pluginsDir.path()));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::WeatherPlugin), m_pluginsDir.path()));
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), EventKey, EventItems));
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), MessageKey, MessageItems));
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), WeatherKey, WeatherItems));
        qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir.path()));
        qputenv("HALVANE_TEST_ITEMS_DIR", QFile::encodeName(m_itemsDir.path()));

        m_manager = HVItemManager::instance();
        QVERIFY(m_manager);
        QCOMPARE(HVItemManager::instance(), m_manager);
        QVERIFY(m_manager->handler());
        QCOMPARE(m_manager->handler()->services().keys(), QStringList({EventKey, MessageKey, WeatherKey}));
        QVERIFY(m_manager->pendingActions().isEmpty());
    }

    void cleanup()
    {
        // Let left-over shots run before the next test looks at the queue.
        QCoreApplication::processEvents();
        QVERIFY(m_manager->pendingActions().isEmpty());
    }

    void managerSignals_data()
    {
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QList<QByteArray>>("parameterNames");
        QTest::newRow("itemsAdded") << QByteArray("itemsAdded(QList<HVItem>)") << QList<QByteArray>{"items"};
        QTest::newRow("itemsChanged") << QByteArray("itemsChanged(QList<HVItem>)") << QList<QByteArray>{"items"};
        QTest::newRow("itemsRemoved") << QByteArray("itemsRemoved(QList<HVItem>)") << QList<QByteArray>{"items"};
        QTest::newRow("actionStarted") << QByteArray("actionStarted(HVActionData)") << QList<QByteArray>{""};
        QTest::newRow("synchronizationCompleted") << QByteArray("synchronizationCompleted(HVServiceAction*)")
                                                  << QList<QByteArray>{""};
    }

    void managerSignals()
    {
        QFETCH(QByteArray, signature);
        QFETCH(QList<QByteArray>, parameterNames);
        const QMetaObject &meta = HVItemManager::staticMetaObject;
        const int index = meta.indexOfSignal(signature.constData());
        QVERIFY2(index >= meta.methodOffset(), signature.constData());
        QCOMPARE(meta.method(index).parameterNames(), parameterNames);
    }

    void signalOrder()
    {
        const QMetaObject &meta = HVItemManager::staticMetaObject;
        const QList<int> order{meta.indexOfSignal("itemsAdded(QList<HVItem>)"),
                               meta.indexOfSignal("itemsChanged(QList<HVItem>)"),
                               meta.indexOfSignal("itemsRemoved(QList<HVItem>)"),
                               meta.indexOfSignal("actionStarted(HVActionData)"),
                               meta.indexOfSignal("synchronizationCompleted(HVServiceAction*)")};
        QCOMPARE(order.first(), meta.methodOffset());
        for (int i = 1; i < order.size(); ++i)
            QCOMPARE(order.at(i), order.at(i - 1) + 1);
    }

    void managerSlots_data()
    {
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QList<QByteArray>>("parameterNames");
        QTest::newRow("dispatchAction") << QByteArray("dispatchAction()") << QList<QByteArray>{};
        QTest::newRow("updateActionActivity")
            << QByteArray("updateActionActivity(HVServiceAction*,HVServiceAction::Activity)")
            << QList<QByteArray>{"action", "activity"};
        QTest::newRow("updateActionStatus") << QByteArray("updateActionStatus(HVServiceAction*,HVServiceAction::Status)")
                                            << QList<QByteArray>{"action", "status"};
        QTest::newRow("cleanup") << QByteArray("cleanup()") << QList<QByteArray>{};
    }

    void managerSlots()
    {
        QFETCH(QByteArray, signature);
        QFETCH(QList<QByteArray>, parameterNames);
        const QMetaObject &meta = HVItemManager::staticMetaObject;
        const int index = meta.indexOfSlot(signature.constData());
        QVERIFY2(index >= meta.methodOffset(), signature.constData());
        const QMetaMethod method = meta.method(index);
        QCOMPARE(method.access(), QMetaMethod::Public);
        QCOMPARE(method.parameterNames(), parameterNames);
    }

    void twoActionsInARow()
    {
        HVRetrieveServiceAction first;
        HVRetrieveServiceAction second;
        QSignalSpy firstResults(&first, &HVServiceAction::resultsAvailable);
        QSignalSpy secondResults(&second, &HVServiceAction::resultsAvailable);
        QSignalSpy firstActivity(&first, &HVServiceAction::activityChanged);
        QSignalSpy secondActivity(&second, &HVServiceAction::activityChanged);
        QSignalSpy firstStatus(&first, &HVServiceAction::statusChanged);

        QVERIFY(first.start());
        QVERIFY(second.start());
        // Nothing runs before the event loop does.
        QCOMPARE(m_manager->pendingActions(), QList<HVServiceAction *>({&first, &second}));
        QCOMPARE(first.activity(), HVServiceAction::Idle);
        QCOMPARE(firstResults.count(), 0);

        QTRY_COMPARE(first.activity(), HVServiceAction::Finished);
        QTRY_COMPARE(second.activity(), HVServiceAction::Finished);
        QVERIFY(m_manager->pendingActions().isEmpty());

        for (HVRetrieveServiceAction *action : {&first, &second}) {
            QCOMPARE(action->status(), HVServiceAction::NoError);
            QCOMPARE(ids(action->items()), TodayIds);
        }
        // One retrieval per action.
        QCOMPARE(firstResults.count(), 1);
        QCOMPARE(secondResults.count(), 1);
        QCOMPARE(firstActivity.count(), 1);
        QCOMPARE(firstActivity.first().first().value<HVServiceAction::Activity>(), HVServiceAction::Finished);
        QCOMPARE(secondActivity.count(), 1);
        QCOMPARE(firstStatus.count(), 0);
        QCOMPARE(first.items().first().displayLabel(), QStringLiteral("Stand-up"));
    }

    void eachDispatchTakesOneAction()
    {
        HVRetrieveServiceAction first;
        HVRetrieveServiceAction second;
        QVERIFY(first.start());
        QVERIFY(second.start());
        dropScheduledDispatches();

        m_manager->dispatchAction();
        QCOMPARE(first.activity(), HVServiceAction::Finished);
        QCOMPARE(second.activity(), HVServiceAction::Idle);
        QCOMPARE(m_manager->pendingActions(), QList<HVServiceAction *>({&second}));

        m_manager->dispatchAction();
        QCOMPARE(second.activity(), HVServiceAction::Finished);
        QCOMPARE(ids(second.items()), TodayIds);
        QVERIFY(m_manager->pendingActions().isEmpty());

        // A shot that finds the queue empty does nothing.
        QSignalSpy results(&second, &HVServiceAction::resultsAvailable);
        m_manager->dispatchAction();
        QCOMPARE(results.count(), 0);
    }

    void dispatchesNestInsideRetrieval()
    {
        HVRetrieveServiceAction first;
        HVRetrieveServiceAction second;
        QStringList finished;
        connect(&first, &HVServiceAction::resultsAvailable, this, [&finished] { finished << QStringLiteral("first"); });
        connect(&second, &HVServiceAction::resultsAvailable, this, [&finished] { finished << QStringLiteral("second"); });
        QVERIFY(first.start());
        QVERIFY(second.start());

        // Called from outside the event loop, the retrieval's own event processing
        // runs both scheduled shots nested inside it: the first must find the
        // second action, not the one being retrieved.
        m_manager->dispatchAction();
        QCOMPARE(finished, QStringList({QStringLiteral("second"), QStringLiteral("first")}));
        QCOMPARE(ids(first.items()), TodayIds);
        QCOMPARE(ids(second.items()), TodayIds);
        QVERIFY(m_manager->pendingActions().isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(finished.size(), 2);
    }

    void startTwiceBeforeLoop()
    {
        HVRetrieveServiceAction action;
        QSignalSpy results(&action, &HVServiceAction::resultsAvailable);
        QVERIFY(action.start());
        QVERIFY(action.start());
        QCOMPARE(m_manager->pendingActions(), QList<HVServiceAction *>({&action}));

        // Both shots run nested inside this retrieval; neither finds the action again.
        m_manager->dispatchAction();
        QCOMPARE(action.activity(), HVServiceAction::Finished);
        QCoreApplication::processEvents();
        QCOMPARE(results.count(), 1);
        QCOMPARE(ids(action.items()), TodayIds);
        QVERIFY(m_manager->pendingActions().isEmpty());
    }

    void restartFinishedAction()
    {
        HVRetrieveServiceAction action;
        QSignalSpy results(&action, &HVServiceAction::resultsAvailable);
        QSignalSpy activity(&action, &HVServiceAction::activityChanged);
        QVERIFY(action.start());
        QTRY_COMPARE(results.count(), 1);
        QCOMPARE(activity.count(), 1);

        // A new range shows that the second start retrieves anew, with the action's range.
        const QDate tomorrow = QDate::currentDate().addDays(1);
        action.setFromDateTime(QDateTime(tomorrow, QTime(0, 0)));
        action.setToDateTime(QDateTime(tomorrow.addDays(1), QTime(0, 0)));
        QVERIFY(action.start());
        QTRY_COMPARE(results.count(), 2);
        QCOMPARE(ids(action.items()), QStringList(QStringLiteral("halvanetestevent/e3")));
        QCOMPARE(action.activity(), HVServiceAction::Finished);
        QCOMPARE(action.status(), HVServiceAction::NoError);
        // Already Finished: no second activityChanged.
        QCOMPARE(activity.count(), 1);
    }

    void deleteBeforeLoop()
    {
        auto *deleted = new HVRetrieveServiceAction;
        HVRetrieveServiceAction kept;
        QVERIFY(deleted->start());
        QVERIFY(kept.start());
        QCOMPARE(m_manager->pendingActions().size(), 2);
        dropScheduledDispatches();

        delete deleted;
        QCOMPARE(m_manager->pendingActions(), QList<HVServiceAction *>({&kept}));
        // The next dispatch goes to the remaining action.
        m_manager->dispatchAction();
        QCOMPARE(kept.activity(), HVServiceAction::Finished);
        QVERIFY(m_manager->pendingActions().isEmpty());

        // Also with the scheduled shots left in place.
        deleted = new HVRetrieveServiceAction;
        QVERIFY(deleted->start());
        delete deleted;
        QVERIFY(m_manager->pendingActions().isEmpty());
        QCoreApplication::processEvents();
    }

    void deletedActionIsForgotten()
    {
        // A plain action is dropped at dispatch, but only if still alive by then.
        auto *plain = new HVServiceAction;
        QVERIFY(plain->start());
        delete plain;
        QVERIFY(m_manager->pendingActions().isEmpty());

        QTest::ignoreMessage(QtWarningMsg, "HVItemManager::startAction: no action given");
        QVERIFY(!m_manager->startAction(nullptr));
        QVERIFY(m_manager->pendingActions().isEmpty());

        // Deleted by its owner while the retrieval runs the event loop.
        auto *retrieve = new HVRetrieveServiceAction;
        QVERIFY(retrieve->start());
        dropScheduledDispatches();
        QPointer<HVRetrieveServiceAction> guard(retrieve);
        QMetaObject::invokeMethod(this, [retrieve] { delete retrieve; }, Qt::QueuedConnection);
        m_manager->dispatchAction();
        QVERIFY(!guard);
        QVERIFY(m_manager->pendingActions().isEmpty());
    }

    void droppedActions()
    {
        HVServiceAction plain;
        QSignalSpy plainResults(&plain, &HVServiceAction::resultsAvailable);
        QSignalSpy plainActivity(&plain, &HVServiceAction::activityChanged);

        HVRetrieveServiceAction cancelled;
        m_manager->updateActionStatus(&cancelled, HVServiceAction::Cancelled);
        QCOMPARE(cancelled.status(), HVServiceAction::Cancelled);
        QSignalSpy cancelledResults(&cancelled, &HVServiceAction::resultsAvailable);
        QSignalSpy cancelledActivity(&cancelled, &HVServiceAction::activityChanged);

        // Started last: once it has finished, the shots of the others have run.
        HVRetrieveServiceAction marker;

        QVERIFY(plain.start());
        QVERIFY(cancelled.start());
        QVERIFY(marker.start());
        QCOMPARE(m_manager->pendingActions(), QList<HVServiceAction *>({&plain, &cancelled, &marker}));
        QTRY_COMPARE(marker.activity(), HVServiceAction::Finished);
        QVERIFY(m_manager->pendingActions().isEmpty());

        QCOMPARE(plain.activity(), HVServiceAction::Idle);
        QCOMPARE(plain.status(), HVServiceAction::NoError);
        QCOMPARE(plainResults.count(), 0);
        QCOMPARE(plainActivity.count(), 0);

        QCOMPARE(cancelled.activity(), HVServiceAction::Idle);
        QCOMPARE(cancelled.status(), HVServiceAction::Cancelled);
        QVERIFY(cancelled.items().isEmpty());
        QCOMPARE(cancelledResults.count(), 0);
        QCOMPARE(cancelledActivity.count(), 0);
    }

    void updateStatusAndActivity()
    {
        HVRetrieveServiceAction action;
        QSignalSpy status(&action, &HVServiceAction::statusChanged);
        QSignalSpy activity(&action, &HVServiceAction::activityChanged);
        QSignalSpy results(&action, &HVServiceAction::resultsAvailable);

        m_manager->updateActionStatus(&action, HVServiceAction::NoError);
        QCOMPARE(status.count(), 0);
        m_manager->updateActionStatus(&action, HVServiceAction::Failed);
        QCOMPARE(action.status(), HVServiceAction::Failed);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.last().first().value<HVServiceAction::Status>(), HVServiceAction::Failed);
        m_manager->updateActionStatus(&action, HVServiceAction::Failed);
        QCOMPARE(status.count(), 1);
        m_manager->updateActionStatus(&action, HVServiceAction::NoError);
        QCOMPARE(status.count(), 2);
        QCOMPARE(status.last().first().value<HVServiceAction::Status>(), HVServiceAction::NoError);

        m_manager->updateActionActivity(&action, HVServiceAction::Idle);
        QCOMPARE(activity.count(), 0);
        m_manager->updateActionActivity(&action, HVServiceAction::Running);
        QCOMPARE(action.activity(), HVServiceAction::Running);
        QCOMPARE(activity.count(), 1);
        QCOMPARE(activity.last().first().value<HVServiceAction::Activity>(), HVServiceAction::Running);
        m_manager->updateActionActivity(&action, HVServiceAction::Running);
        QCOMPARE(activity.count(), 1);

        // A running action cannot be started again.
        QVERIFY(!action.start());
        QVERIFY(m_manager->pendingActions().isEmpty());

        m_manager->updateActionActivity(&action, HVServiceAction::Aborted);
        QCOMPARE(activity.count(), 2);
        QCOMPARE(activity.last().first().value<HVServiceAction::Activity>(), HVServiceAction::Aborted);

        // Null actions are ignored.
        m_manager->updateActionStatus(nullptr, HVServiceAction::Failed);
        m_manager->updateActionActivity(nullptr, HVServiceAction::Finished);

        // Storing a result announces it, and the activity only if it changed; never the status.
        HVItem stored(QStringLiteral("event"));
        stored.setId(HVItemId(QStringLiteral("x"), QStringLiteral("manual")));
        m_manager->updateRetrieveItemsAction(&action, {stored}, HVServiceAction::Failed, HVServiceAction::Aborted);
        QCOMPARE(results.count(), 1);
        QCOMPARE(activity.count(), 2);
        QCOMPARE(status.count(), 2);
        QCOMPARE(action.status(), HVServiceAction::Failed);
        QCOMPARE(ids(action.items()), QStringList(QStringLiteral("manual/x")));
        m_manager->updateRetrieveItemsAction(&action, {}, HVServiceAction::NoError, HVServiceAction::Finished);
        QCOMPARE(results.count(), 2);
        QCOMPARE(activity.count(), 3);
        QCOMPARE(status.count(), 2);
        QVERIFY(action.items().isEmpty());

        // Only retrieve actions carry items.
        HVServiceAction plain;
        QSignalSpy plainResults(&plain, &HVServiceAction::resultsAvailable);
        m_manager->updateRetrieveItemsAction(&plain, {stored}, HVServiceAction::Failed, HVServiceAction::Finished);
        QCOMPARE(plainResults.count(), 0);
        QCOMPARE(plain.activity(), HVServiceAction::Idle);
        QCOMPARE(plain.status(), HVServiceAction::NoError);
        m_manager->updateRetrieveItemsAction(nullptr, {}, HVServiceAction::NoError, HVServiceAction::Finished);
    }

    void handlerReportsReachTheAction()
    {
        QVERIFY(ensureHandler());
        HVServiceHandler *handler = m_manager->handler();

        HVServiceAction sync;
        QSignalSpy started(m_manager, SIGNAL(actionStarted(HVActionData)));
        QVERIFY(started.isValid());
        QSignalSpy activity(&sync, &HVServiceAction::activityChanged);
        QVERIFY(handler->synchronize(&sync));
        QTRY_COMPARE(sync.activity(), HVServiceAction::Finished);
        QCOMPARE(started.count(), 1);
        const HVActionData data = started.first().first().value<HVActionData>();
        QCOMPARE(data.first, &sync);
        QCOMPARE(data.second, HVServiceAction::SynchronizeAction);
        QCOMPARE(activity.count(), 2);
        QCOMPARE(activity.at(0).first().value<HVServiceAction::Activity>(), HVServiceAction::Running);
        QCOMPARE(activity.at(1).first().value<HVServiceAction::Activity>(), HVServiceAction::Finished);

        HVServiceAction failing;
        QSignalSpy status(&failing, &HVServiceAction::statusChanged);
        handler->reportError(&failing, HVServiceAction::Cancelled, QStringLiteral("cancelled by the test"));
        QCOMPARE(failing.status(), HVServiceAction::Cancelled);
        QCOMPARE(failing.activity(), HVServiceAction::Aborted);
        QCOMPARE(status.count(), 1);
    }

    void itemChangesAreRelayed()
    {
        QVERIFY(ensureHandler());
        QSignalSpy added(m_manager, &HVItemManager::itemsAdded);
        QSignalSpy changed(m_manager, &HVItemManager::itemsChanged);
        QSignalSpy removed(m_manager, &HVItemManager::itemsRemoved);

        // w1 changed, w2 removed, w3 added.
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), WeatherKey,
                                   QJsonArray{item("w1", "today 12:00", "Cloudy"), item("w3", "today 20:00", "Clear")}));
        QTRY_COMPARE(added.count(), 1);
        QTRY_COMPARE(changed.count(), 1);
        QTRY_COMPARE(removed.count(), 1);
        QCOMPARE(ids(itemsOf(added, 0)), QStringList(QStringLiteral("halvanetestweather/w3")));
        QCOMPARE(ids(itemsOf(changed, 0)), QStringList(QStringLiteral("halvanetestweather/w1")));
        QCOMPARE(itemsOf(changed, 0).first().displayLabel(), QStringLiteral("Cloudy"));
        QCOMPARE(ids(itemsOf(removed, 0)), QStringList(QStringLiteral("halvanetestweather/w2")));

        // What the signal carried is what a retrieval now answers.
        HVRetrieveServiceAction action;
        QVERIFY(action.start());
        QTRY_COMPARE(action.activity(), HVServiceAction::Finished);
        const QList<HVItem> items = action.items();
        QCOMPARE(ids(items), QStringList({QStringLiteral("halvanetestevent/e1"), QStringLiteral("halvanetestevent/e2"),
                                          QStringLiteral("halvanetestmessage/m1"),
                                          QStringLiteral("halvanetestweather/w1"),
                                          QStringLiteral("halvanetestweather/w3")}));
        QCOMPARE(items.at(4), itemsOf(added, 0).first());
        QCOMPARE(items.at(3), itemsOf(changed, 0).first());

        // Back to the original items for the other tests.
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), WeatherKey, WeatherItems));
        QTRY_COMPARE(removed.count(), 2);
        QTRY_COMPARE(added.count(), 2);
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(ids(itemsOf(added, 1)), QStringList(QStringLiteral("halvanetestweather/w2")));
    }

    void anotherDayKeepsTodaysChangesComing()
    {
        // As the real sources do: changes outside the range last asked for go unreported.
        qputenv("HALVANE_TEST_FOLLOW_RANGE", "1");
        HVRetrieveServiceAction today;
        QVERIFY(today.start());
        QTRY_COMPARE(today.activity(), HVServiceAction::Finished);
        // A second model, on yesterday's page.
        HVItemModel model;
        QTRY_COMPARE(model.retrieveAction()->activity(), HVServiceAction::Finished);
        HVRetrieveServiceAction *yesterday = model.retrieveAction();
        yesterday->setFromDateTime(today.fromDateTime().addDays(-1));
        yesterday->setToDateTime(today.fromDateTime());
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY(yesterday->start());
        QTRY_COMPARE(reset.count(), 1);
        const int rows = model.rowCount();

        QSignalSpy added(m_manager, &HVItemManager::itemsAdded);
        QJsonArray events = EventItems;
        events.append(item("e4", "today 16:00", "Added"));
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), EventKey, events));
        const bool heard = QTest::qWaitFor([&] { return added.count() > 0; }, 5000);
        const int rowsAfter = model.rowCount();
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), EventKey, EventItems));
        QTest::qWait(200);
        qunsetenv("HALVANE_TEST_FOLLOW_RANGE");
        QVERIFY(heard);
        QCOMPARE(ids(itemsOf(added, 0)), QStringList(QStringLiteral("halvanetestevent/e4")));
        // Yesterday's model keeps to its day.
        QCOMPARE(rowsAfter, rows);
    }

    void cleanupThenStart()
    {
        QVERIFY(ensureHandler());
        const QStringList keys = m_manager->handler()->services().keys();

        m_manager->cleanup();
        QCOMPARE(m_manager->handler(), static_cast<HVServiceHandler *>(nullptr));
        m_manager->cleanup();
        QCOMPARE(m_manager->handler(), static_cast<HVServiceHandler *>(nullptr));

        // A plug-in installed now is not seen: the plug-ins are not scanned again.
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::FeedPlugin), m_pluginsDir.path()));

        HVRetrieveServiceAction action;
        QSignalSpy results(&action, &HVServiceAction::resultsAvailable);
        QVERIFY(action.start());
        QTRY_COMPARE(action.activity(), HVServiceAction::Finished);
        QCOMPARE(results.count(), 1);
        QCOMPARE(action.status(), HVServiceAction::NoError);
        QCOMPARE(ids(action.items()), TodayIds);
        QVERIFY(m_manager->handler());
        QCOMPARE(m_manager->handler()->services().keys(), keys);

        // The new handler's sources are relayed too.
        QSignalSpy added(m_manager, &HVItemManager::itemsAdded);
        QSignalSpy removed(m_manager, &HVItemManager::itemsRemoved);
        QJsonArray more = MessageItems;
        more.append(item("m3", "today 16:00", "News"));
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), MessageKey, more));
        QTRY_COMPARE(added.count(), 1);
        QCOMPARE(ids(itemsOf(added, 0)), QStringList(QStringLiteral("halvanetestmessage/m3")));
        QVERIFY(HVTest::writeItems(m_itemsDir.path(), MessageKey, MessageItems));
        QTRY_COMPARE(removed.count(), 1);
        QCOMPARE(added.count(), 1);
    }

    void instanceIsNullAfterExit()
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QLatin1String(ExitChildVariable), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY2(child.waitForFinished(60000), qPrintable(child.errorString()));
        const QByteArray errors = child.readAllStandardError();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, errors.constData());

        const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
        QVERIFY(lines.contains("instance while running: alive"));
        QVERIFY(lines.contains("instance after exit: null"));
        QVERIFY(lines.contains("start after exit: false"));
        QVERIFY(lines.contains("action deleted"));
    }
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(ExitChildVariable))
        return runExitChild(argc, argv);
    QCoreApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    Testhvitemmanager test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hvitemmanager.moc"
