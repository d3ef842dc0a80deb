// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvitemmanager.h"
#include "hvretrieveserviceaction.h"
#include "hvserviceaction.h"

using namespace Halvane;

class Testhvserviceaction : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void newRetrieveAction();
    void rangeAccessors();
    void cancelWhenNotRunning();
    void startTwiceQueuesOnce();
    void restartFinishedAction();
    void runningActionCannotStart();
    void deletedActionIsNotDispatched();
    void plainAction();
    void signalSignatures();
    void metaTypeNames();

private:
    QTemporaryDir m_pluginsDir;
};

void Testhvserviceaction::initTestCase()
{
    // No plug-ins: retrievals run against an empty framework.
    QVERIFY(m_pluginsDir.isValid());
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir.path()));
    QVERIFY(HVItemManager::instance());
}

void Testhvserviceaction::newRetrieveAction()
{
    const QDate today = QDate::currentDate();
    HVRetrieveServiceAction action(nullptr);
    QCOMPARE(action.actionType(), HVServiceAction::RetrieveAction);
    QCOMPARE(action.status(), HVServiceAction::NoError);
    QCOMPARE(action.activity(), HVServiceAction::Idle);
    QCOMPARE(action.fromDateTime(), QDateTime(today, QTime(0, 0)));
    QCOMPARE(action.toDateTime(), QDateTime(today.addDays(1), QTime(0, 0)));
    QCOMPARE(action.fromDateTime().timeSpec(), Qt::LocalTime);
    QVERIFY(action.items().isEmpty());

    QCOMPARE(int(HVServiceAction::NoActionType), 0);
    QCOMPARE(int(HVServiceAction::SynchronizeAction), 1);
    QCOMPARE(int(HVServiceAction::RetrieveAction), 2);
    QCOMPARE(int(HVServiceAction::Cancelled), 1);
    QCOMPARE(int(HVServiceAction::Failed), 2);
    QCOMPARE(int(HVServiceAction::Running), 1);
    QCOMPARE(int(HVServiceAction::Finished), 2);
    QCOMPARE(int(HVServiceAction::Aborted), 3);
}

void Testhvserviceaction::rangeAccessors()
{
    HVRetrieveServiceAction action(nullptr);
    const QDateTime from(QDate(2023, 5, 1), QTime(6, 0));
    const QDateTime to(QDate(2023, 5, 3), QTime(18, 30));
    action.setFromDateTime(from);
    action.setToDateTime(to);
    QCOMPARE(action.fromDateTime(), from);
    QCOMPARE(action.toDateTime(), to);
}

void Testhvserviceaction::cancelWhenNotRunning()
{
    HVRetrieveServiceAction retrieve(nullptr);
    HVServiceAction plain(nullptr);
    for (HVServiceAction *action : {static_cast<HVServiceAction *>(&retrieve), &plain}) {
        QSignalSpy statusSpy(action, &HVServiceAction::statusChanged);
        QSignalSpy activitySpy(action, &HVServiceAction::activityChanged);
        const HVServiceAction::Type type = action->actionType();
        QCOMPARE(action->cancel(), false);
        QCOMPARE(action->status(), HVServiceAction::NoError);
        QCOMPARE(action->activity(), HVServiceAction::Idle);
        QCOMPARE(action->actionType(), type);
        QVERIFY(statusSpy.isEmpty());
        QVERIFY(activitySpy.isEmpty());
        QVERIFY(!HVItemManager::instance()->pendingActions().contains(action));
    }

    // A finished retrieval is not running either.
    QSignalSpy results(&retrieve, &HVServiceAction::resultsAvailable);
    QVERIFY(retrieve.start());
    QTRY_COMPARE(results.count(), 1);
    QCOMPARE(retrieve.activity(), HVServiceAction::Finished);
    QCOMPARE(retrieve.cancel(), false);
    QCOMPARE(retrieve.activity(), HVServiceAction::Finished);
    QCOMPARE(retrieve.status(), HVServiceAction::NoError);
}

void Testhvserviceaction::startTwiceQueuesOnce()
{
    HVRetrieveServiceAction action(nullptr);
    QSignalSpy results(&action, &HVServiceAction::resultsAvailable);
    QSignalSpy activity(&action, &HVServiceAction::activityChanged);
    QSignalSpy status(&action, &HVServiceAction::statusChanged);

    QCOMPARE(action.start(), true);
    QCOMPARE(action.start(), true);
    QCOMPARE(HVItemManager::instance()->pendingActions().count(&action), 1);
    QCOMPARE(action.activity(), HVServiceAction::Idle);
    QVERIFY(results.isEmpty());

    QTRY_COMPARE(results.count(), 1);
    QTRY_VERIFY(HVItemManager::instance()->pendingActions().isEmpty());
    // The second shot found nothing to do; a later retrieval shows it ran only once.
    HVRetrieveServiceAction marker(nullptr);
    QSignalSpy markerResults(&marker, &HVServiceAction::resultsAvailable);
    QVERIFY(marker.start());
    QTRY_COMPARE(markerResults.count(), 1);

    QCOMPARE(results.count(), 1);
    QCOMPARE(activity.count(), 1);
    QCOMPARE(activity.at(0).at(0).value<HVServiceAction::Activity>(), HVServiceAction::Finished);
    QVERIFY(status.isEmpty());
    QCOMPARE(action.activity(), HVServiceAction::Finished);
    QCOMPARE(action.status(), HVServiceAction::NoError);
    QVERIFY(action.items().isEmpty());
}

void Testhvserviceaction::restartFinishedAction()
{
    HVRetrieveServiceAction action(nullptr);
    QSignalSpy results(&action, &HVServiceAction::resultsAvailable);
    QSignalSpy activity(&action, &HVServiceAction::activityChanged);
    QVERIFY(action.start());
    QTRY_COMPARE(results.count(), 1);
    QCOMPARE(activity.count(), 1);

    QVERIFY(action.start());
    QTRY_COMPARE(results.count(), 2);
    // Already Finished: no second activity change.
    QCOMPARE(activity.count(), 1);
    QCOMPARE(action.activity(), HVServiceAction::Finished);
}

void Testhvserviceaction::runningActionCannotStart()
{
    HVItemManager *manager = HVItemManager::instance();
    HVServiceAction action(nullptr);
    QSignalSpy activity(&action, &HVServiceAction::activityChanged);
    manager->updateActionActivity(&action, HVServiceAction::Running);
    QCOMPARE(action.activity(), HVServiceAction::Running);
    QCOMPARE(activity.count(), 1);

    QCOMPARE(action.start(), false);
    QVERIFY(!manager->pendingActions().contains(&action));
    // Running: the request goes to the item manager, which accepts it.
    QCOMPARE(action.cancel(), true);
    QCOMPARE(action.activity(), HVServiceAction::Running);

    manager->updateActionActivity(&action, HVServiceAction::Aborted);
    QCOMPARE(action.cancel(), false);
    QCOMPARE(action.start(), true);
    QTRY_VERIFY(!manager->pendingActions().contains(&action));
    // Not a retrieval: dropped without touching the action.
    QCOMPARE(action.activity(), HVServiceAction::Aborted);
    QCOMPARE(action.status(), HVServiceAction::NoError);
}

void Testhvserviceaction::deletedActionIsNotDispatched()
{
    HVItemManager *manager = HVItemManager::instance();
    auto *action = new HVRetrieveServiceAction(nullptr);
    QVERIFY(action->start());
    QVERIFY(manager->pendingActions().contains(action));
    delete action;
    QVERIFY(!manager->pendingActions().contains(action));

    // Runs the shot scheduled for the deleted action before this one.
    HVRetrieveServiceAction marker(nullptr);
    QSignalSpy markerResults(&marker, &HVServiceAction::resultsAvailable);
    QVERIFY(marker.start());
    QTRY_COMPARE(markerResults.count(), 1);
}

void Testhvserviceaction::plainAction()
{
    QObject parent;
    auto *action = new HVServiceAction(&parent);
    QCOMPARE(action->parent(), &parent);
    QCOMPARE(action->actionType(), HVServiceAction::NoActionType);
    QCOMPARE(action->status(), HVServiceAction::NoError);
    QCOMPARE(action->activity(), HVServiceAction::Idle);

    QSignalSpy results(action, &HVServiceAction::resultsAvailable);
    QSignalSpy activity(action, &HVServiceAction::activityChanged);
    QSignalSpy status(action, &HVServiceAction::statusChanged);
    action->start();
    QVERIFY(!action->cancel());

    HVRetrieveServiceAction marker(nullptr);
    QSignalSpy markerResults(&marker, &HVServiceAction::resultsAvailable);
    QVERIFY(marker.start());
    QTRY_COMPARE(markerResults.count(), 1);

    QVERIFY(!HVItemManager::instance()->pendingActions().contains(action));
    QVERIFY(results.isEmpty());
    QVERIFY(activity.isEmpty());
    QVERIFY(status.isEmpty());
    QCOMPARE(action->activity(), HVServiceAction::Idle);
    QCOMPARE(action->status(), HVServiceAction::NoError);
}

void Testhvserviceaction::signalSignatures()
{
    struct Expected {
        const char *signature;
        QList<QByteArray> names;
    };
    const QList<Expected> expected{
        {"statusChanged(HVServiceAction::Status)", {"status"}},
        {"activityChanged(HVServiceAction::Activity)", {"activity"}},
        {"resultsAvailable()", {}},
    };
    for (const QMetaObject *mo : {&HVServiceAction::staticMetaObject, &HVRetrieveServiceAction::staticMetaObject}) {
        for (const Expected &e : expected) {
            const int index = mo->indexOfSignal(e.signature);
            QVERIFY2(index >= 0, e.signature);
            QCOMPARE(mo->method(index).parameterNames(), e.names);
        }
    }
    const QMetaObject &mo = HVServiceAction::staticMetaObject;
    QVERIFY(mo.indexOfSlot("start()") >= 0);
    QVERIFY(mo.indexOfSlot("cancel()") >= 0);
    QCOMPARE(QByteArray(mo.method(mo.indexOfSlot("start()")).typeName()), QByteArrayLiteral("bool"));

    // Connections by signature, as clients make them, reach the signals.
    HVRetrieveServiceAction action(nullptr);
    QSignalSpy spy(&action, SIGNAL(activityChanged(HVServiceAction::Activity)));
    QVERIFY(spy.isValid());
    QVERIFY(action.start());
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<HVServiceAction::Activity>(), HVServiceAction::Finished);
}

void Testhvserviceaction::metaTypeNames()
{
    // The declared names, and the short names signal signatures use.
    const QList<QPair<int, QByteArray>> declared{
        {qMetaTypeId<HVServiceAction::Type>(), "HALVANE_NAMESPACE::HVServiceAction::Type"},
        {qMetaTypeId<HVServiceAction::Status>(), "HALVANE_NAMESPACE::HVServiceAction::Status"},
        {qMetaTypeId<HVServiceAction::Activity>(), "HALVANE_NAMESPACE::HVServiceAction::Activity"},
        {qMetaTypeId<HVServiceAction *>(), "HALVANE_NAMESPACE::HVServiceAction*"},
        {qMetaTypeId<HVActionData>(), "HALVANE_NAMESPACE::HVActionData"},
    };
    for (const auto &type : declared)
        QCOMPARE(QByteArray(QMetaType::typeName(type.first)), type.second);

    QCOMPARE(QMetaType::type("HVServiceAction::Type"), qMetaTypeId<HVServiceAction::Type>());
    QCOMPARE(QMetaType::type("HVServiceAction::Status"), qMetaTypeId<HVServiceAction::Status>());
    QCOMPARE(QMetaType::type("HVServiceAction::Activity"), qMetaTypeId<HVServiceAction::Activity>());
    QCOMPARE(QMetaType::type("HVServiceAction*"), qMetaTypeId<HVServiceAction *>());
    QCOMPARE(QMetaType::type("HVActionData"), qMetaTypeId<HVActionData>());
}

QTEST_GUILESS_MAIN(Testhvserviceaction)
#include "tst_hvserviceaction.moc"
