// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QPointer>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>

#include "hvevent.h"
#include "hvitemmanager.h"
#include "hvitemmodel.h"
#include "hvitemmodelfactory.h"
#include "hvitemtype.h"
#include "hvproxyitemmodel.h"
#include "hvretrieveserviceaction.h"
#include "hvtestfixture.h"

using namespace Halvane;

namespace {

const char EventKey[] = "halvanetestevent";
const char MessageKey[] = "halvanetestmessage";
const char WeatherKey[] = "halvanetestweather";

QJsonObject object(const char *id, const char *date, const char *label)
{
    return QJsonObject{{QStringLiteral("id"), QLatin1String(id)},
                       {QStringLiteral("date"), QLatin1String(date)},
                       {QStringLiteral("displayLabel"), QLatin1String(label)}};
}

HVItem record(const QString &type, const QString &id, const QTime &time, const QString &label)
{
    HVItem item(type);
    item.setId(HVItemId(id, QStringLiteral("proxytest")));
    item.setDateTime(QDateTime(QDate::currentDate(), time));
    item.setDisplayLabel(label);
    return item;
}

QStringList labels(const QAbstractItemModel *model)
{
    QStringList result;
    for (int row = 0; row < model->rowCount(); ++row)
        result.append(model->data(model->index(row, 0), HVItemModel::ItemRole).value<HVItem>().displayLabel());
    return result;
}

QStringList types(const QAbstractItemModel *model)
{
    QStringList result;
    for (int row = 0; row < model->rowCount(); ++row)
        result.append(model->data(model->index(row, 0), HVItemModel::TypeRole).toString());
    return result;
}

bool ascending(const QAbstractItemModel *model)
{
    for (int row = 1; row < model->rowCount(); ++row) {
        if (model->data(model->index(row, 0), HVItemModel::DateRole).toDateTime()
            < model->data(model->index(row - 1, 0), HVItemModel::DateRole).toDateTime())
            return false;
    }
    return true;
}

} // namespace

class Testhvproxyitemmodel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void factoryShareOneModel();
    void eventProxyFiltersAndSorts();
    void roleNamesOfType();
    void sourceAdditionTakesSortedPlace();
    void equalDatesKeepSourceOrder();
    void changedDateResorts();
    void removalLeavesProxy();
    void patternProxies();
    void deletedSharedModelIsMadeAgain();

private:
    HVItemModel *sharedModel() const;

    QTemporaryDir m_pluginsDir;
    QTemporaryDir m_itemsDir;
    QJsonArray m_baseEvents;
    QPointer<HVProxyItemModel> m_eventProxy;
    QPointer<HVProxyItemModel> m_messageProxy;
};

void Testhvproxyitemmodel::initTestCase()
{
    QVERIFY(m_pluginsDir.isValid());
    QVERIFY(m_itemsDir.isValid());
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), m_pluginsDir.path()));
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), m_pluginsDir.path()));
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::WeatherPlugin), m_pluginsDir.path()));

    m_baseEvents = QJsonArray{object("e1", "today 10:00", "ten"), object("e2", "today 08:00", "eight"),
                              object("e3", "today 12:00", "twelve"),
                              // Outside today's range: never retrieved.
                              object("e0", "yesterday 09:00", "yesterday")};
    QVERIFY(HVTest::writeItems(m_itemsDir.path(), QLatin1String(EventKey), m_baseEvents));
    QVERIFY(HVTest::writeItems(m_itemsDir.path(), QLatin1String(MessageKey),
                               {object("m1", "today 09:00", "message")}));
    QVERIFY(HVTest::writeItems(m_itemsDir.path(), QLatin1String(WeatherKey),
                               {object("w1", "today 06:00", "weather")}));

    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir.path()));
    qputenv("HALVANE_TEST_ITEMS_DIR", QFile::encodeName(m_itemsDir.path()));
}

void Testhvproxyitemmodel::init()
{
    // That one makes the shared model itself, when it is the first.
    if (qstrcmp(QTest::currentTestFunction(), "factoryShareOneModel") == 0)
        return;
    if (!m_eventProxy) {
        m_eventProxy = HVItemModelFactory::createModel(HVItemType::TypeEvent);
        m_messageProxy = HVItemModelFactory::createModel(HVItemType::TypeMessage);
    }
    QVERIFY(sharedModel());
    // Runs after the shared model's own retrieval.
    HVRetrieveServiceAction marker(nullptr);
    QSignalSpy markerResults(&marker, &HVServiceAction::resultsAvailable);
    QVERIFY(marker.start());
    QTRY_COMPARE(markerResults.count(), 1);
    // Whatever another function added or changed goes: back to the retrieved records.
    sharedModel()->resetModel();
    QCOMPARE(sharedModel()->rowCount(), 5);
    QCOMPARE(labels(m_eventProxy), QStringList({QStringLiteral("eight"), QStringLiteral("ten"), QStringLiteral("twelve")}));
}

HVItemModel *Testhvproxyitemmodel::sharedModel() const
{
    return m_eventProxy ? qobject_cast<HVItemModel *>(m_eventProxy->sourceModel()) : nullptr;
}

void Testhvproxyitemmodel::factoryShareOneModel()
{
    HVItemManager *manager = HVItemManager::instance();
    QVERIFY(manager);
    QVERIFY(manager->pendingActions().isEmpty());

    m_eventProxy = HVItemModelFactory::createModel(HVItemType::TypeEvent);
    QVERIFY(m_eventProxy);
    HVItemModel *shared = sharedModel();
    QVERIFY(shared);
    QCOMPARE(m_eventProxy->parent(), shared);
    QCOMPARE(m_eventProxy->itemType(), HVItemType::TypeEvent);
    QCOMPARE(manager->pendingActions().size(), 1);
    QSignalSpy reset(shared, &QAbstractItemModel::modelReset);

    m_messageProxy = HVItemModelFactory::createModel(HVItemType::TypeMessage);
    QVERIFY(m_messageProxy);
    QCOMPARE(m_messageProxy->sourceModel(), static_cast<QAbstractItemModel *>(shared));
    QCOMPARE(m_messageProxy->parent(), shared);
    // Still the one retrieval of the shared model.
    QCOMPARE(manager->pendingActions().size(), 1);

    QTRY_COMPARE(shared->rowCount(), 5);
    // Later retrievals run after any the factory might have started.
    HVRetrieveServiceAction marker(nullptr);
    QSignalSpy markerResults(&marker, &HVServiceAction::resultsAvailable);
    QVERIFY(marker.start());
    QTRY_COMPARE(markerResults.count(), 1);
    QCOMPARE(marker.items().size(), 5);
    QCOMPARE(reset.count(), 1);

    QCOMPARE(HVItemModelFactory::supportedItemTypes(), HVItemModel::getSupportedItemTypes());
}

void Testhvproxyitemmodel::eventProxyFiltersAndSorts()
{
    QVERIFY(m_eventProxy && m_messageProxy);
    QCOMPARE(labels(m_eventProxy), QStringList({QStringLiteral("eight"), QStringLiteral("ten"), QStringLiteral("twelve")}));
    QCOMPARE(types(m_eventProxy).filter(HVItemType::TypeEvent).size(), 3);
    QVERIFY(ascending(m_eventProxy));
    QCOMPARE(labels(m_messageProxy), QStringList({QStringLiteral("message")}));
}

void Testhvproxyitemmodel::roleNamesOfType()
{
    QVERIFY(m_eventProxy && m_messageProxy);
    QCOMPARE(m_eventProxy->roleNames(), HVItemModel::getRoles(HVItemType::TypeEvent));
    QCOMPARE(m_messageProxy->roleNames(), HVItemModel::getRoles(HVItemType::TypeMessage));
    for (int role : {0, 1, 5})
        QVERIFY(!m_eventProxy->roleNames().contains(role));
    // The common roles still reach the source by number.
    QCOMPARE(m_eventProxy->data(m_eventProxy->index(0, 0), HVItemModel::DateRole).toDateTime().time(), QTime(8, 0));
    QCOMPARE(m_eventProxy->data(m_eventProxy->index(0, 0), HVItemModel::DisplayLabelRole).toString(),
             QStringLiteral("eight"));
}

void Testhvproxyitemmodel::sourceAdditionTakesSortedPlace()
{
    QVERIFY(m_eventProxy);
    // Through the whole chain: source file, source signal, handler, item manager, shared model.
    QJsonArray events = m_baseEvents;
    events.append(object("e4", "today 09:00", "nine"));
    QVERIFY(HVTest::writeItems(m_itemsDir.path(), QLatin1String(EventKey), events));
    QTRY_COMPARE(labels(m_eventProxy),
                 QStringList({QStringLiteral("eight"), QStringLiteral("nine"), QStringLiteral("ten"),
                              QStringLiteral("twelve")}));

    QSignalSpy inserted(m_eventProxy.data(), &QAbstractItemModel::rowsInserted);
    sharedModel()->addNewItems({record(HVItemType::TypeEvent, QStringLiteral("x1"), QTime(11, 0), QStringLiteral("eleven")),
                                record(HVItemType::TypeMessage, QStringLiteral("x2"), QTime(7, 0), QStringLiteral("seven"))});
    QCOMPARE(labels(m_eventProxy),
             QStringList({QStringLiteral("eight"), QStringLiteral("nine"), QStringLiteral("ten"),
                          QStringLiteral("eleven"), QStringLiteral("twelve")}));
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 3);
    QCOMPARE(labels(m_messageProxy), QStringList({QStringLiteral("seven"), QStringLiteral("message")}));

    // The file as the other functions expect it; its source takes "nine" back.
    QVERIFY(HVTest::writeItems(m_itemsDir.path(), QLatin1String(EventKey), m_baseEvents));
    QTRY_VERIFY(!labels(m_eventProxy).contains(QStringLiteral("nine")));
}

void Testhvproxyitemmodel::equalDatesKeepSourceOrder()
{
    QVERIFY(m_eventProxy);
    const QTime ten(10, 0);
    sharedModel()->addNewItems({record(HVItemType::TypeEvent, QStringLiteral("s1"), ten, QStringLiteral("same1")),
                                record(HVItemType::TypeEvent, QStringLiteral("s2"), ten, QStringLiteral("same2"))});
    sharedModel()->addNewItems({record(HVItemType::TypeEvent, QStringLiteral("s3"), ten, QStringLiteral("same3"))});
    const QStringList expected{QStringLiteral("eight"), QStringLiteral("ten"), QStringLiteral("same1"),
                               QStringLiteral("same2"), QStringLiteral("same3"), QStringLiteral("twelve")};
    QCOMPARE(labels(m_eventProxy), expected);

    // Sorted from scratch, too.
    std::unique_ptr<HVProxyItemModel> fresh(HVItemModelFactory::createModel(HVItemType::TypeEvent));
    QCOMPARE(fresh->sourceModel(), m_eventProxy->sourceModel());
    QCOMPARE(labels(fresh.get()), expected);

    // A proxy over a model holding them the other way round follows that order.
    HVItemModel reversed;
    QSignalSpy reset(&reversed, &QAbstractItemModel::modelReset);
    QTRY_COMPARE(reset.count(), 1);
    reversed.addNewItems({record(HVItemType::TypeEvent, QStringLiteral("s3"), ten, QStringLiteral("same3")),
                          record(HVItemType::TypeEvent, QStringLiteral("s1"), ten, QStringLiteral("same1")),
                          record(HVItemType::TypeEvent, QStringLiteral("s2"), ten, QStringLiteral("same2"))});
    HVProxyItemModel proxy(HVItemType::TypeEvent, &reversed, nullptr);
    QCOMPARE(labels(&proxy), QStringList({QStringLiteral("eight"), QStringLiteral("ten"), QStringLiteral("same3"),
                                          QStringLiteral("same1"), QStringLiteral("same2"), QStringLiteral("twelve")}));
}

void Testhvproxyitemmodel::changedDateResorts()
{
    QVERIFY(m_eventProxy);
    HVItemModel *shared = sharedModel();
    HVItem eight;
    for (int row = 0; row < shared->rowCount(); ++row) {
        const HVItem item = shared->data(shared->index(row, 0), HVItemModel::ItemRole).value<HVItem>();
        if (item.displayLabel() == QLatin1String("eight"))
            eight = item;
    }
    QCOMPARE(eight.displayLabel(), QStringLiteral("eight"));
    eight.setDateTime(QDateTime(QDate::currentDate(), QTime(13, 0)));
    shared->updateItems({eight});

    const QStringList order = labels(m_eventProxy);
    QCOMPARE(order.last(), QStringLiteral("eight"));
    QCOMPARE(order.first(), QStringLiteral("ten"));
    QVERIFY(ascending(m_eventProxy));
}

void Testhvproxyitemmodel::removalLeavesProxy()
{
    QVERIFY(m_eventProxy);
    sharedModel()->addNewItems({record(HVItemType::TypeEvent, QStringLiteral("s2"), QTime(10, 0), QStringLiteral("same2"))});
    const int rows = m_eventProxy->rowCount();
    QSignalSpy removed(m_eventProxy.data(), &QAbstractItemModel::rowsRemoved);
    sharedModel()->removeItems({record(HVItemType::TypeEvent, QStringLiteral("s2"), QTime(), QString())});
    QCOMPARE(m_eventProxy->rowCount(), rows - 1);
    QCOMPARE(removed.count(), 1);
    QVERIFY(!labels(m_eventProxy).contains(QStringLiteral("same2")));
}

void Testhvproxyitemmodel::patternProxies()
{
    QVERIFY(m_eventProxy);
    HVItemModel *shared = sharedModel();
    shared->addNewItems({record(QStringLiteral("area"), QStringLiteral("r1"), QTime(5, 0), QStringLiteral("area"))});

    // Every record, whatever its type.
    HVProxyItemModel all(QString(), shared, nullptr);
    QVERIFY(all.roleNames().isEmpty());
    QCOMPARE(all.rowCount(), shared->rowCount());
    QVERIFY(ascending(&all));
    QCOMPARE(labels(&all).first(), QStringLiteral("area"));

    // A pattern, unanchored: "ea" is inside "weather" and "area".
    HVProxyItemModel ea(QStringLiteral("ea"), shared, nullptr);
    QVERIFY(ea.roleNames().isEmpty());
    QCOMPARE(labels(&ea), QStringList({QStringLiteral("area"), QStringLiteral("weather")}));

    // Taken as a regular expression, not as text.
    HVProxyItemModel dot(QStringLiteral("e.e"), shared, nullptr);
    QVERIFY(dot.rowCount() > 0);
    QCOMPARE(dot.rowCount(), m_eventProxy->rowCount());
    QCOMPARE(types(&dot).filter(HVItemType::TypeEvent).size(), dot.rowCount());

    // Case-sensitive.
    HVProxyItemModel upper(HVItemType::TypeEvent.toUpper(), shared, nullptr);
    QCOMPARE(upper.rowCount(), 0);

    // The filter follows the source as the typed proxies do.
    shared->addNewItems({record(QStringLiteral("tea"), QStringLiteral("t1"), QTime(23, 0), QStringLiteral("tea"))});
    QCOMPARE(labels(&ea).last(), QStringLiteral("tea"));
    QCOMPARE(all.rowCount(), shared->rowCount());
}

void Testhvproxyitemmodel::deletedSharedModelIsMadeAgain()
{
    // The shared model is a plain QObject anyone may delete through sourceModel().
    QPointer<HVItemModel> old = sharedModel();
    delete old.data();
    QVERIFY(!m_eventProxy);
    m_eventProxy = HVItemModelFactory::createModel(HVItemType::TypeEvent);
    QVERIFY(sharedModel());
    QTRY_COMPARE(labels(m_eventProxy), QStringList({QStringLiteral("eight"), QStringLiteral("ten"), QStringLiteral("twelve")}));
}

QTEST_GUILESS_MAIN(Testhvproxyitemmodel)
#include "tst_hvproxyitemmodel.moc"
