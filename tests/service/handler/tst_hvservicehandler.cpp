// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvitemtype.h"
#include "hvretrieveserviceaction.h"
#include "hvservice.h"
#include "hvserviceaction.h"
#include "hvservicehandler.h"
#include "hvservicesource.h"
#include "hvtestfixture.h"

using namespace Halvane;

namespace {

class FakeService;

// A source whose answers the test sets.
class FakeSource : public HVServiceSource
{
    Q_OBJECT

public:
    enum Report { ReportAtOnce, ReportLater };

    explicit FakeSource(FakeService *service);

    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override
    {
        ++retrievals;
        lastFrom = fromDateTime;
        lastTo = toDateTime;
        return items;
    }
    bool synchronize() override;

    void emitAdded(const QList<HVItem> &list) { Q_EMIT itemsAdded(list); }
    void emitChanged(const QList<HVItem> &list) { Q_EMIT itemsChanged(list); }
    void emitRemoved(const QList<HVItem> &list) { Q_EMIT itemsRemoved(list); }
    void emitProcessEvents() { Q_EMIT processEvents(); }

    FakeService *service;
    QList<HVItem> items;
    bool synchronizeAnswer = true;
    Report report = ReportAtOnce;
    bool success = true;
    int retrievals = 0;
    int synchronizations = 0;
    QDateTime lastFrom;
    QDateTime lastTo;
};

class FakeService : public HVService
{
    Q_OBJECT

public:
    explicit FakeService(const QString &name, bool withSource = true)
        : m_name(name)
        , m_source(withSource ? new FakeSource(this) : nullptr)
    {
    }
    ~FakeService() override { delete m_source; }

    QString service() const override { return m_name; }
    bool hasSource() const override { return m_source != nullptr; }
    HVServiceSource *source() const override { return m_source; }
    FakeSource *fakeSource() const { return m_source; }

    void report(bool success) { Q_EMIT actionCompleted(success); }

    int cancelCalls = 0;

public Q_SLOTS:
    bool cancelOperation()
    {
        ++cancelCalls;
        return true;
    }

private:
    QString m_name;
    FakeSource *m_source;
};

FakeSource::FakeSource(FakeService *owner)
    : HVServiceSource(owner)
    , service(owner)
{
}

bool FakeSource::synchronize()
{
    ++synchronizations;
    if (report == ReportAtOnce)
        service->report(success);
    return synchronizeAnswer;
}

// A handler with a dispatch function that always fails.
class FailingHandler : public HVServiceHandler
{
    Q_OBJECT

public:
    using HVServiceHandler::HVServiceHandler;

    bool failDispatch(HVServiceAction *action, const QByteArray &method)
    {
        Q_UNUSED(action)
        dispatchedMethods.append(method);
        return false;
    }

    QList<QByteArray> dispatchedMethods;
};

HVItem makeItem(const QString &type, const QString &localId, const QString &uri, const QString &label)
{
    HVItem item(type);
    item.setId(HVItemId(localId, uri));
    item.setDisplayLabel(label);
    return item;
}

QStringList labels(const QList<HVItem> &items)
{
    QStringList result;
    for (const HVItem &item : items)
        result.append(item.displayLabel());
    return result;
}

// The handler's action signals in emission order, as "signal action value".
class SignalLog : public QObject
{
    Q_OBJECT

public:
    explicit SignalLog(HVServiceHandler *handler)
    {
        connect(handler, &HVServiceHandler::actionStarted, this, [this](HVActionData data) {
            add(QStringLiteral("started"), data.first, int(data.second));
        });
        connect(handler, &HVServiceHandler::activityChanged, this,
                [this](HVServiceAction *action, HVServiceAction::Activity activity) {
                    add(QStringLiteral("activity"), action, int(activity));
                });
        connect(handler, &HVServiceHandler::statusChanged, this,
                [this](HVServiceAction *action, HVServiceAction::Status status) {
                    add(QStringLiteral("status"), action, int(status));
                });
        connect(handler, &HVServiceHandler::synchronizationCompleted, this,
                [this](HVServiceAction *action) { add(QStringLiteral("completed"), action, -1); });
        connect(handler, QOverload<HVServiceAction *>::of(&HVServiceHandler::actionCompleted), this,
                [this](HVServiceAction *action) { add(QStringLiteral("actionCompleted"), action, -1); });
    }

    QStringList entries;

private:
    void add(const QString &name, HVServiceAction *action, int value)
    {
        QString entry = name + QLatin1Char(' ') + (action ? action->objectName() : QStringLiteral("null"));
        if (value >= 0)
            entry += QLatin1Char(' ') + QString::number(value);
        entries.append(entry);
    }
};

QString entry(const char *name, const char *action, int value = -1)
{
    QString text = QLatin1String(name) + QLatin1Char(' ') + QLatin1String(action);
    if (value >= 0)
        text += QLatin1Char(' ') + QString::number(value);
    return text;
}

} // namespace

// A service whose source reports the end of a synchronization only when told to.
FakeService *registerLateService(HVServiceHandler &handler, const QString &key)
{
    auto *service = new FakeService(key);
    service->fakeSource()->report = FakeSource::ReportLater;
    handler.registerService(key, service);
    return service;
}

class Testhvservicehandler : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void noServices();
    void retrieveInKeyOrder();
    void registerReplacesByName();
    void synchronizeSignalOrder_data();
    void synchronizeSignalOrder();
    void synchronizeReportedLater();
    void synchronizeWithoutServices();
    void cancelQueued();
    void cancelNeverEnqueued();
    void mixedReports_data();
    void mixedReports();
    void laterRequestTakesOverServices();
    void enqueueNullAction();
    void failedDispatch();
    void cancelDispatched();
    void deletedActionIsForgotten();
    void serviceWithoutSource();
    void sourceSignalsRelayed();
    void sourceAsksForEvents();
    void failureTexts();
    void signatures();

private:
    // Runs the event loop until everything posted so far has been delivered,
    // the handler's scheduled dispatches included.
    bool drain();

    QTemporaryDir m_pluginsDir;
};

void Testhvservicehandler::initTestCase()
{
    QVERIFY(m_pluginsDir.isValid());
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir.path()));
}

bool Testhvservicehandler::drain()
{
    bool delivered = false;
    QMetaObject::invokeMethod(this, [&delivered] { delivered = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&delivered] { return delivered; });
}

void Testhvservicehandler::noServices()
{
    HVServiceHandler handler;
    QVERIFY(handler.services().isEmpty());
    QVERIFY(handler.retrieveItems(QDateTime::currentDateTime().addDays(-1), QDateTime::currentDateTime()).isEmpty());
    QVERIFY(!handler.serviceAction(nullptr));
    QVERIFY(!handler.createService(QStringLiteral("halvaneweatherplugin")));
    QVERIFY(handler.services().isEmpty());
}

void Testhvservicehandler::retrieveInKeyOrder()
{
    HVServiceHandler handler;
    // Registered against key order: the key decides, not the registration.
    auto *weather = new FakeService(QStringLiteral("weather"));
    weather->fakeSource()->items = {makeItem(HVItemType::TypeWeather, QStringLiteral("1"), QStringLiteral("w"),
                                             QStringLiteral("weather 1"))};
    auto *email = new FakeService(QStringLiteral("Email"));
    email->fakeSource()->items = {
        makeItem(HVItemType::TypeMessage, QStringLiteral("9"), QStringLiteral("e"), QStringLiteral("mail 9")),
        makeItem(HVItemType::TypeMessage, QStringLiteral("1"), QStringLiteral("e"), QStringLiteral("mail 1")),
        // A duplicate is passed on as it is.
        makeItem(HVItemType::TypeMessage, QStringLiteral("9"), QStringLiteral("e"), QStringLiteral("mail 9 again")),
    };
    handler.registerService(QStringLiteral("halvaneweatherplugin"), weather);
    handler.registerService(QStringLiteral("halvaneemailplugin"), email);
    QCOMPARE(handler.services().keys(),
             QStringList({QStringLiteral("halvaneemailplugin"), QStringLiteral("halvaneweatherplugin")}));
    QCOMPARE(handler.serviceList(handler.services()), QList<HVService *>({email, weather}));

    const QDateTime from(QDate(2024, 6, 1), QTime(0, 0));
    const QDateTime to(QDate(2024, 6, 2), QTime(0, 0));
    const QList<HVItem> items = handler.retrieveItems(from, to);
    QCOMPARE(labels(items), QStringList({QStringLiteral("mail 9"), QStringLiteral("mail 1"),
                                         QStringLiteral("mail 9 again"), QStringLiteral("weather 1")}));
    QCOMPARE(items.at(3).type(), HVItemType::TypeWeather);
    QCOMPARE(email->fakeSource()->retrievals, 1);
    QCOMPARE(weather->fakeSource()->lastFrom, from);
    QCOMPARE(weather->fakeSource()->lastTo, to);

    // A service deleted elsewhere is skipped.
    delete weather;
    QCOMPARE(labels(handler.retrieveItems(from, to)).size(), 3);
}

void Testhvservicehandler::registerReplacesByName()
{
    HVServiceHandler handler;
    auto *first = new FakeService(QStringLiteral("first"));
    auto *second = new FakeService(QStringLiteral("second"));
    first->fakeSource()->items = {makeItem(HVItemType::TypeFeed, QStringLiteral("1"), QString(), QStringLiteral("a"))};
    second->fakeSource()->items = {makeItem(HVItemType::TypeFeed, QStringLiteral("2"), QString(), QStringLiteral("b"))};
    handler.registerService(QStringLiteral("key"), first);
    handler.registerService(QStringLiteral("key"), second);
    handler.registerService(QStringLiteral("null"), nullptr);
    QCOMPARE(handler.services().size(), 1);
    QCOMPARE(handler.services().value(QStringLiteral("key")).data(), static_cast<HVService *>(second));
    QCOMPARE(labels(handler.retrieveItems(QDateTime(), QDateTime())), QStringList({QStringLiteral("b")}));
    // The replaced service is not deleted by the handler: still ours.
    delete first;
}

void Testhvservicehandler::synchronizeSignalOrder_data()
{
    QTest::addColumn<bool>("synchronizeAnswer");
    QTest::newRow("sources answer true") << true;
    // A false answer is only logged; the report still counts.
    QTest::newRow("sources answer false") << false;
}

void Testhvservicehandler::synchronizeSignalOrder()
{
    QFETCH(bool, synchronizeAnswer);
    HVServiceHandler handler;
    auto *email = new FakeService(QStringLiteral("Email"));
    auto *weather = new FakeService(QStringLiteral("weather"));
    email->fakeSource()->synchronizeAnswer = synchronizeAnswer;
    weather->fakeSource()->synchronizeAnswer = synchronizeAnswer;
    handler.registerService(QStringLiteral("halvaneemailplugin"), email);
    handler.registerService(QStringLiteral("halvaneweatherplugin"), weather);

    SignalLog log(&handler);
    QSignalSpy started(&handler, &HVServiceHandler::actionStarted);
    HVServiceAction action(nullptr);
    action.setObjectName(QStringLiteral("a"));

    QVERIFY(handler.synchronize(&action));
    QCOMPARE(handler.pendingRequestCount(), 1);
    QVERIFY(log.entries.isEmpty());
    QCOMPARE(email->fakeSource()->synchronizations, 0);

    QTRY_COMPARE(log.entries.size(), 4);
    QCOMPARE(log.entries, QStringList({entry("started", "a", HVServiceAction::SynchronizeAction),
                                       entry("activity", "a", HVServiceAction::Running), entry("completed", "a"),
                                       entry("activity", "a", HVServiceAction::Finished)}));
    QCOMPARE(started.count(), 1);
    const HVActionData data = started.at(0).at(0).value<HVActionData>();
    QCOMPARE(data.first, &action);
    QCOMPARE(data.second, HVServiceAction::SynchronizeAction);
    QCOMPARE(handler.runningActionCount(), 0);
    QCOMPARE(handler.busyServiceCount(), 0);
    QCOMPARE(handler.pendingRequestCount(), 0);
    QCOMPARE(email->fakeSource()->synchronizations, 1);
    QCOMPARE(weather->fakeSource()->synchronizations, 1);
    // The handler only announces; the action itself is changed by the item manager.
    QCOMPARE(action.activity(), HVServiceAction::Idle);

    QVERIFY(drain());
    QCOMPARE(log.entries.size(), 4);
}

void Testhvservicehandler::synchronizeReportedLater()
{
    HVServiceHandler handler;
    FakeService *a = registerLateService(handler, QStringLiteral("a"));
    FakeService *b = registerLateService(handler, QStringLiteral("b"));

    SignalLog log(&handler);
    HVServiceAction action(nullptr);
    action.setObjectName(QStringLiteral("s"));
    QVERIFY(handler.synchronize(&action));
    QTRY_COMPARE(log.entries.size(), 2);
    QCOMPARE(handler.runningActionCount(), 1);
    QCOMPARE(handler.busyServiceCount(), 2);
    QCOMPARE(handler.serviceAction(a), &action);
    QCOMPARE(handler.serviceAction(b), &action);

    b->report(true);
    QCOMPARE(log.entries.size(), 2);
    QVERIFY(!handler.serviceAction(b));
    QCOMPARE(handler.runningActionCount(), 1);

    // The same service reporting twice does not stand in for the other.
    b->report(true);
    QCOMPARE(log.entries.size(), 2);

    a->report(true);
    QCOMPARE(log.entries.mid(2),
             QStringList({entry("completed", "s"), entry("activity", "s", HVServiceAction::Finished)}));
    QCOMPARE(handler.runningActionCount(), 0);
    QCOMPARE(handler.busyServiceCount(), 0);
}

void Testhvservicehandler::synchronizeWithoutServices()
{
    HVServiceHandler handler;
    SignalLog log(&handler);
    QSignalSpy status(&handler, &HVServiceHandler::statusChanged);
    HVServiceAction action(nullptr);
    action.setObjectName(QStringLiteral("a"));

    QCOMPARE(handler.synchronize(&action), false);
    QCOMPARE(log.entries, QStringList({entry("status", "a", HVServiceAction::Failed),
                                       entry("activity", "a", HVServiceAction::Aborted)}));
    QCOMPARE(status.count(), 1);
    QCOMPARE(status.at(0).at(0).value<HVServiceAction *>(), &action);
    QCOMPARE(status.at(0).at(1).value<HVServiceAction::Status>(), HVServiceAction::Failed);
    QCOMPARE(handler.pendingRequestCount(), 0);

    QVERIFY(drain());
    QCOMPARE(log.entries.size(), 2);
}

void Testhvservicehandler::cancelQueued()
{
    HVServiceHandler handler;
    auto *service = new FakeService(QStringLiteral("s"));
    handler.registerService(QStringLiteral("s"), service);
    SignalLog log(&handler);

    HVServiceAction first(nullptr);
    first.setObjectName(QStringLiteral("first"));
    HVServiceAction second(nullptr);
    second.setObjectName(QStringLiteral("second"));
    QVERIFY(handler.synchronize(&first));
    QVERIFY(handler.synchronize(&second));
    QCOMPARE(handler.pendingRequestCount(), 2);

    QCOMPARE(handler.cancel(&first), true);
    QCOMPARE(handler.pendingRequestCount(), 1);
    QCOMPARE(log.entries, QStringList({entry("status", "first", HVServiceAction::Cancelled),
                                       entry("activity", "first", HVServiceAction::Aborted)}));

    QTRY_VERIFY(log.entries.contains(entry("activity", "second", HVServiceAction::Finished)));
    QVERIFY(drain());
    QCOMPARE(log.entries.filter(QStringLiteral("first")).size(), 2);
    QCOMPARE(log.entries.size(), 2 + 4);
    QCOMPARE(service->fakeSource()->synchronizations, 1);
    QCOMPARE(handler.runningActionCount(), 0);
}

void Testhvservicehandler::cancelNeverEnqueued()
{
    HVServiceHandler handler;
    handler.registerService(QStringLiteral("s"), new FakeService(QStringLiteral("s")));
    SignalLog log(&handler);
    HVServiceAction action(nullptr);
    action.setObjectName(QStringLiteral("lone"));
    QCOMPARE(handler.cancel(&action), true);
    QCOMPARE(log.entries, QStringList({entry("status", "lone", HVServiceAction::Cancelled),
                                       entry("activity", "lone", HVServiceAction::Aborted)}));
}

void Testhvservicehandler::mixedReports_data()
{
    QTest::addColumn<bool>("firstSuccess");
    QTest::addColumn<int>("finalActivity");
    QTest::newRow("failure, then success") << false << int(HVServiceAction::Finished);
    QTest::newRow("success, then failure") << true << int(HVServiceAction::Aborted);
}

void Testhvservicehandler::mixedReports()
{
    QFETCH(bool, firstSuccess);
    QFETCH(int, finalActivity);

    HVServiceHandler handler;
    FakeService *a = registerLateService(handler, QStringLiteral("a"));
    FakeService *b = registerLateService(handler, QStringLiteral("b"));
    SignalLog log(&handler);
    HVServiceAction action(nullptr);
    action.setObjectName(QStringLiteral("m"));
    QVERIFY(handler.synchronize(&action));
    QTRY_COMPARE(log.entries.size(), 2);

    a->report(firstSuccess);
    QCOMPARE(log.entries.size(), 2);
    QCOMPARE(handler.runningActionCount(), 1);
    b->report(!firstSuccess);
    // The completion runs only if no service failed before the last report.
    QCOMPARE(log.entries.mid(2), QStringList({entry("activity", "m", finalActivity)}));
    QCOMPARE(handler.runningActionCount(), 0);
    QCOMPARE(handler.busyServiceCount(), 0);

    // Both services reporting at once, inside the dispatch.
    a->fakeSource()->report = FakeSource::ReportAtOnce;
    b->fakeSource()->report = FakeSource::ReportAtOnce;
    a->fakeSource()->success = firstSuccess;
    b->fakeSource()->success = !firstSuccess;
    log.entries.clear();
    QVERIFY(handler.synchronize(&action));
    QTRY_COMPARE(log.entries.size(), 3);
    QCOMPARE(log.entries.at(2), entry("activity", "m", finalActivity));
}

void Testhvservicehandler::laterRequestTakesOverServices()
{
    HVServiceHandler handler;
    FakeService *a = registerLateService(handler, QStringLiteral("a"));
    FakeService *b = registerLateService(handler, QStringLiteral("b"));
    SignalLog log(&handler);

    HVServiceAction first(nullptr);
    first.setObjectName(QStringLiteral("first"));
    HVServiceAction second(nullptr);
    second.setObjectName(QStringLiteral("second"));
    QVERIFY(handler.synchronize(&first));
    QTRY_COMPARE(log.entries.size(), 2);
    QVERIFY(handler.synchronize(&second));
    QTRY_COMPARE(log.entries.size(), 4);
    QCOMPARE(handler.runningActionCount(), 2);
    QCOMPARE(handler.busyServiceCount(), 2);
    QCOMPARE(handler.serviceAction(a), &second);
    QCOMPARE(handler.serviceAction(b), &second);

    a->report(true);
    b->report(true);
    QCOMPARE(log.entries.mid(4),
             QStringList({entry("completed", "second"), entry("activity", "second", HVServiceAction::Finished)}));
    // The first keeps waiting for reports that now went to the second.
    QCOMPARE(handler.runningActionCount(), 1);
    QCOMPARE(handler.busyServiceCount(), 0);

    QVERIFY(handler.cancel(&first));
    QCOMPARE(handler.runningActionCount(), 0);
    QCOMPARE(log.entries.size(), 6);
}

void Testhvservicehandler::enqueueNullAction()
{
    HVServiceHandler handler;
    auto *service = new FakeService(QStringLiteral("s"));
    handler.registerService(QStringLiteral("s"), service);
    SignalLog log(&handler);

    handler.enqueueRequest(nullptr, QByteArrayLiteral("x"), {service}, &HVServiceHandler::dispatchSynchronize,
                           &HVServiceHandler::synchronizationCompleted, HVServiceAction::SynchronizeAction);
    QCOMPARE(handler.pendingRequestCount(), 0);
    QVERIFY(drain());
    QVERIFY(log.entries.isEmpty());
    QCOMPARE(service->fakeSource()->synchronizations, 0);
    QCOMPARE(handler.runningActionCount(), 0);
}

void Testhvservicehandler::failedDispatch()
{
    FailingHandler handler;
    auto *a = new FakeService(QStringLiteral("a"));
    handler.registerService(QStringLiteral("a"), a);
    SignalLog log(&handler);
    QSignalSpy status(&handler, &HVServiceHandler::statusChanged);

    HVServiceAction action(nullptr);
    action.setObjectName(QStringLiteral("f"));
    handler.enqueueRequest(&action, QByteArrayLiteral("refresh"), {a, a},
                           static_cast<HVServiceHandler::DispatchFunction>(&FailingHandler::failDispatch),
                           &HVServiceHandler::synchronizationCompleted, HVServiceAction::RetrieveAction);
    QCOMPARE(handler.pendingRequestCount(), 1);
    QTRY_COMPARE(log.entries.size(), 3);
    QCOMPARE(log.entries, QStringList({entry("started", "f", HVServiceAction::RetrieveAction),
                                       entry("activity", "f", HVServiceAction::Running),
                                       entry("activity", "f", HVServiceAction::Aborted)}));
    QCOMPARE(handler.dispatchedMethods, QList<QByteArray>({QByteArrayLiteral("refresh")}));
    QVERIFY(status.isEmpty());
    QCOMPARE(handler.runningActionCount(), 0);
    QCOMPARE(handler.busyServiceCount(), 0);

    // A late report of the service finds nothing to end.
    a->report(true);
    QCOMPARE(log.entries.size(), 3);
}

void Testhvservicehandler::cancelDispatched()
{
    HVServiceHandler handler;
    FakeService *a = registerLateService(handler, QStringLiteral("a"));
    FakeService *b = registerLateService(handler, QStringLiteral("b"));
    SignalLog log(&handler);

    HVServiceAction action(nullptr);
    action.setObjectName(QStringLiteral("c"));
    QVERIFY(handler.synchronize(&action));
    QTRY_COMPARE(log.entries.size(), 2);

    // b has already reported: only a is asked to stop.
    b->report(true);
    QCOMPARE(handler.cancel(&action), true);
    QCOMPARE(a->cancelCalls, 1);
    QCOMPARE(b->cancelCalls, 0);
    QCOMPARE(handler.runningActionCount(), 0);
    QCOMPARE(handler.busyServiceCount(), 0);
    QCOMPARE(log.entries.size(), 2);

    a->report(true);
    QVERIFY(drain());
    QCOMPARE(log.entries.size(), 2);
}

void Testhvservicehandler::deletedActionIsForgotten()
{
    HVServiceHandler handler;
    FakeService *service = registerLateService(handler, QStringLiteral("s"));
    QSignalSpy started(&handler, &HVServiceHandler::actionStarted);
    QSignalSpy activity(&handler, &HVServiceHandler::activityChanged);

    // Queued, then deleted before the event loop runs: never dispatched.
    auto *queued = new HVServiceAction(nullptr);
    QVERIFY(handler.synchronize(queued));
    delete queued;
    QCOMPARE(handler.pendingRequestCount(), 0);
    QVERIFY(drain());
    QCOMPARE(started.count(), 0);

    // Dispatched, then deleted: the service's later report finds nothing.
    auto *running = new HVServiceAction(nullptr);
    QVERIFY(handler.synchronize(running));
    QTRY_COMPARE(activity.count(), 1);
    delete running;
    QCOMPARE(handler.runningActionCount(), 0);
    QCOMPARE(handler.busyServiceCount(), 0);
    service->report(true);
    QVERIFY(drain());
    QCOMPARE(activity.count(), 1);
}

void Testhvservicehandler::serviceWithoutSource()
{
    HVServiceHandler handler;
    auto *bare = new FakeService(QStringLiteral("bare"), false);
    auto *full = new FakeService(QStringLiteral("full"));
    full->fakeSource()->items = {makeItem(HVItemType::TypeEvent, QStringLiteral("1"), QString(), QStringLiteral("e"))};
    handler.registerService(QStringLiteral("a-bare"), bare);
    handler.registerService(QStringLiteral("b-full"), full);
    QCOMPARE(handler.services().size(), 2);
    QCOMPARE(labels(handler.retrieveItems(QDateTime(), QDateTime())), QStringList({QStringLiteral("e")}));

    // Its own reports still reach the handler, which finds no action for it.
    QSignalSpy activity(&handler, &HVServiceHandler::activityChanged);
    bare->report(true);
    QVERIFY(activity.isEmpty());
}

void Testhvservicehandler::sourceSignalsRelayed()
{
    HVServiceHandler handler;
    auto *service = new FakeService(QStringLiteral("s"));
    handler.registerService(QStringLiteral("s"), service);
    QSignalSpy added(&handler, &HVServiceHandler::itemsAdded);
    QSignalSpy changed(&handler, &HVServiceHandler::itemsChanged);
    QSignalSpy removed(&handler, &HVServiceHandler::itemsRemoved);

    HVItem one = makeItem(HVItemType::TypeFeed, QStringLiteral("1"), QStringLiteral("f"), QStringLiteral("one"));
    one.setValue(QStringLiteral("title"), QStringLiteral("T"));
    const HVItem two = makeItem(HVItemType::TypeFeed, QStringLiteral("2"), QStringLiteral("f"), QStringLiteral("two"));

    service->fakeSource()->emitAdded({one, two});
    QCOMPARE(added.count(), 1);
    QVERIFY(changed.isEmpty());
    QVERIFY(removed.isEmpty());
    const QList<HVItem> addedItems = added.at(0).at(0).value<QList<HVItem>>();
    QCOMPARE(labels(addedItems), QStringList({QStringLiteral("one"), QStringLiteral("two")}));
    QCOMPARE(addedItems.at(0).id(), one.id());
    QCOMPARE(addedItems.at(0).value(QStringLiteral("title")).toString(), QStringLiteral("T"));

    service->fakeSource()->emitChanged({two});
    QCOMPARE(changed.count(), 1);
    QCOMPARE(labels(changed.at(0).at(0).value<QList<HVItem>>()), QStringList({QStringLiteral("two")}));

    service->fakeSource()->emitRemoved({one});
    service->fakeSource()->emitRemoved({});
    QCOMPARE(removed.count(), 2);
    QCOMPARE(labels(removed.at(0).at(0).value<QList<HVItem>>()), QStringList({QStringLiteral("one")}));
    QVERIFY(removed.at(1).at(0).value<QList<HVItem>>().isEmpty());
    QCOMPARE(added.count(), 1);
    QCOMPARE(changed.count(), 1);
}

void Testhvservicehandler::sourceAsksForEvents()
{
    HVServiceHandler handler;
    auto *service = new FakeService(QStringLiteral("s"));
    handler.registerService(QStringLiteral("s"), service);

    bool ran = false;
    QMetaObject::invokeMethod(this, [&ran] { ran = true; }, Qt::QueuedConnection);
    QVERIFY(!ran);
    service->fakeSource()->emitProcessEvents();
    QVERIFY(ran);
}

void Testhvservicehandler::failureTexts()
{
    QVERIFY(HVTest::loadTranslations());
    const QString failed = qtTrId("hv_service_handler_failed_msg");
    const QString cancelled = qtTrId("hv_service_handler_cancel_msg");
    QVERIFY(!failed.isEmpty());
    QVERIFY(!cancelled.isEmpty());
    QVERIFY(failed != QLatin1String("hv_service_handler_failed_msg"));
    QVERIFY(cancelled != QLatin1String("hv_service_handler_cancel_msg"));
    QVERIFY(failed != cancelled);
    QVERIFY2(failed.contains(QLatin1String("fail"), Qt::CaseInsensitive), qPrintable(failed));
    QVERIFY2(cancelled.contains(QLatin1String("cancel"), Qt::CaseInsensitive), qPrintable(cancelled));
}

void Testhvservicehandler::signatures()
{
    const QMetaObject &mo = HVServiceHandler::staticMetaObject;
    QList<QPair<QByteArray, QList<QByteArray>>> signalList;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        const QMetaMethod method = mo.method(i);
        if (method.methodType() == QMetaMethod::Signal)
            signalList.append({method.methodSignature(), method.parameterNames()});
    }
    const QList<QPair<QByteArray, QList<QByteArray>>> expectedSignals{
        {"itemsAdded(QList<HVItem>)", {"items"}},
        {"itemsChanged(QList<HVItem>)", {"items"}},
        {"itemsRemoved(QList<HVItem>)", {"items"}},
        {"actionStarted(HVActionData)", {"action"}},
        {"actionCompleted(HVServiceAction*)", {"action"}},
        {"activityChanged(HVServiceAction*,HVServiceAction::Activity)", {"action", "activity"}},
        {"statusChanged(HVServiceAction*,HVServiceAction::Status)", {"action", "status"}},
        {"synchronizationCompleted(HVServiceAction*)", {"action"}},
    };
    QCOMPARE(signalList, expectedSignals);

    const QList<QPair<QByteArray, QByteArray>> publicSlots{
        {"retrieveItems(QDateTime,QDateTime)", "QList<HVItem>"},
        {"synchronize(HVServiceAction*)", "bool"},
        {"cancel(HVServiceAction*)", "bool"},
        {"actionCompleted(bool)", "void"},
    };
    for (const auto &slot : publicSlots) {
        const int index = mo.indexOfSlot(slot.first.constData());
        QVERIFY2(index >= 0, slot.first.constData());
        QCOMPARE(mo.method(index).access(), QMetaMethod::Public);
        QCOMPARE(QByteArray(mo.method(index).typeName()), slot.second);
    }
    QCOMPARE(mo.method(mo.indexOfSlot("retrieveItems(QDateTime,QDateTime)")).parameterNames(),
             QList<QByteArray>({"fromDateTime", "toDateTime"}));
    QCOMPARE(mo.method(mo.indexOfSlot("actionCompleted(bool)")).parameterNames(), QList<QByteArray>({"success"}));

    // The short names travel through queued connections.
    for (const char *name : {"HVServiceAction::Activity", "HVServiceAction::Status", "HVServiceAction::Type",
                             "HVActionData", "HVServiceAction*"})
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);

    HVServiceHandler handler;
    HVServiceAction action(nullptr);
    QObject receiver;
    HVServiceAction *received = nullptr;
    HVServiceAction::Activity receivedActivity = HVServiceAction::Idle;
    connect(&handler, &HVServiceHandler::activityChanged, &receiver,
            [&](HVServiceAction *a, HVServiceAction::Activity activity) {
                received = a;
                receivedActivity = activity;
            },
            Qt::QueuedConnection);
    handler.cancel(&action);
    QTRY_COMPARE(received, &action);
    QCOMPARE(receivedActivity, HVServiceAction::Aborted);
}

QTEST_GUILESS_MAIN(Testhvservicehandler)
#include "tst_hvservicehandler.moc"
