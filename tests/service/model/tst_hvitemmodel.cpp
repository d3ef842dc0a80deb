// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>

#include "hvevent.h"
#include "hvfeed.h"
#include "hvitemmanager.h"
#include "hvitemmodel.h"
#include "hvitemtype.h"
#include "hvmessage.h"
#include "hvweather.h"

using namespace Halvane;

namespace {

const QDateTime When(QDate(2024, 3, 5), QTime(7, 8, 9));
const QString LongPattern = QStringLiteral("ddd MMMM d yyyy hh:mm:ss");

HVItem makeItem(const QString &localId, const QString &label, const QString &type = HVItemType::TypeFeed)
{
    HVItem item(type);
    item.setId(HVItemId(localId, QStringLiteral("test")));
    item.setDisplayLabel(label);
    return item;
}

QStringList labels(const QAbstractItemModel &model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result.append(model.data(model.index(row, 0), HVItemModel::ItemRole).value<HVItem>().displayLabel());
    return result;
}

QStringList labels(const QList<HVItem> &items)
{
    QStringList result;
    for (const HVItem &item : items)
        result.append(item.displayLabel());
    return result;
}

HVItem fullMessage()
{
    HVItemMessageAttachment attachment;
    attachment.setFileName(QStringLiteral("a.pdf"));
    attachment.setContentType(QStringLiteral("application/pdf"));
    attachment.setSize(1234);
    attachment.setContent(QByteArrayLiteral("%PDF"));
    HVMessage message;
    message.setId(HVItemId(QStringLiteral("m"), QStringLiteral("test")));
    message.setDateTime(When);
    message.setMessageType(HVMessage::Sms);
    message.setFrom(QStringLiteral("Ann"));
    message.setSubject(QStringLiteral("Subject"));
    message.setReceivedDateTime(When);
    message.setBody(QStringLiteral("Message body"));
    message.setAttachments({attachment});
    message.setDisplayLabel(QStringLiteral("Message label"));
    message.setDescription(QStringLiteral("not a message role"));
    message.setPhoneNumber(QStringLiteral("+4711223344"));
    return message;
}

HVItem fullEvent()
{
    HVItemEventCreator creator;
    creator.setName(QStringLiteral("Creator Name"));
    creator.setEmail(QStringLiteral("creator@example.org"));
    HVItemEventParticipant first;
    first.setName(QStringLiteral("First"));
    first.setEmail(QStringLiteral("first@example.org"));
    HVItemEventParticipant second;
    second.setName(QStringLiteral("Second"));
    HVEvent event;
    event.setId(HVItemId(QStringLiteral("e"), QStringLiteral("test")));
    event.setDateTime(When);
    event.setDisplayLabel(QStringLiteral("Event label"));
    event.setDescription(QStringLiteral("Event description"));
    event.setStartDateTime(QDateTime(QDate(2024, 3, 5), QTime(9, 5)));
    event.setEndDateTime(QDateTime(QDate(2024, 3, 5), QTime(17, 45)));
    event.setLocationName(QStringLiteral("Hall"));
    event.setLocationAddress(QStringLiteral("Street 2"));
    event.setLocationCoordinates(QStringLiteral("1,2"));
    event.setCreator(creator);
    event.setParticipants({first, second});
    return event;
}

HVItem fullFeed()
{
    HVFeed feed;
    feed.setId(HVItemId(QStringLiteral("f"), QStringLiteral("test")));
    feed.setDateTime(When);
    feed.setBody(QStringLiteral("Feed body"));
    feed.setDisplayLabel(QStringLiteral("Feed label"));
    feed.setDescription(QStringLiteral("not a feed role"));
    feed.setChannel(QStringLiteral("Channel"));
    feed.setTitle(QStringLiteral("Title"));
    return feed;
}

HVItem fullWeather()
{
    HVWeather weather;
    weather.setId(HVItemId(QStringLiteral("w"), QStringLiteral("test")));
    weather.setDateTime(When);
    weather.setDescription(QStringLiteral("Cloudy"));
    weather.setDisplayLabel(QStringLiteral("not a weather role"));
    weather.setCity(QStringLiteral("Bergen"));
    weather.setCityId(QStringLiteral("NOXX0002"));
    weather.setDefaultCity(true);
    weather.setImage(QStringLiteral("cloud.png"));
    weather.setTemperature(QStringLiteral("9"));
    weather.setTemperatureMin(QStringLiteral("6"));
    weather.setTemperatureMax(QStringLiteral("11"));
    weather.setWind(QStringLiteral("5"));
    weather.setWindDirection(QStringLiteral("SW"));
    return weather;
}

} // namespace

class Testhvitemmodel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void newModelIsEmpty();
    void commonRoles();
    void typedRoles_data();
    void typedRoles();
    void roleSets_data();
    void roleSets();
    void eventDetailsMissing();
    void addSignals();
    void updateSignals();
    void removeSignals();
    void unknownRecordsChangeNothing();
    void duplicateRecords();
    void resetFromRetrieval();
    void followsItemManager();
    void nestedRemovalDuringBatch();
    void randomBatchesMatchReference_data();
    void randomBatchesMatchReference();

private:
    // A new model whose own retrieval has ended (empty: no plug-ins).
    std::unique_ptr<HVItemModel> newModel();

    QTemporaryDir m_pluginsDir;
};

void Testhvitemmodel::initTestCase()
{
    QVERIFY(m_pluginsDir.isValid());
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_pluginsDir.path()));
    qRegisterMetaType<QList<QPersistentModelIndex>>();
    qRegisterMetaType<QAbstractItemModel::LayoutChangeHint>();
}

std::unique_ptr<HVItemModel> Testhvitemmodel::newModel()
{
    auto model = std::make_unique<HVItemModel>(nullptr);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    if (!QTest::qWaitFor([&reset] { return !reset.isEmpty(); }))
        return nullptr;
    return model;
}

void Testhvitemmodel::newModelIsEmpty()
{
    HVItemModel model;
    QCOMPARE(model.rowCount(), 0);
    // The retrieval runs from the event loop and resets the model once.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QTRY_COMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 0);

    QCOMPARE(HVItemModel::getSupportedItemTypes(),
             QStringList({HVItemType::TypeMessage, HVItemType::TypeEvent, HVItemType::TypeFeed,
                          HVItemType::TypeWeather}));
    std::unique_ptr<HVItemModel> created(HVItemModel::createModel(this));
    QCOMPARE(created->parent(), this);
    created->setParent(nullptr);
}

void Testhvitemmodel::commonRoles()
{
    auto model = newModel();
    QVERIFY(model);
    const QHash<int, QByteArray> names = model->roleNames();
    QCOMPARE(names.size(), 3);
    QCOMPARE(names.value(0), QByteArrayLiteral("date"));
    QCOMPARE(names.value(1), QByteArrayLiteral("item"));
    QCOMPARE(names.value(5), QByteArrayLiteral("type"));

    HVItem unknown = makeItem(QStringLiteral("u"), QStringLiteral("Unknown label"), QStringLiteral("calendar"));
    unknown.setDateTime(When);
    unknown.setDescription(QStringLiteral("d"));
    model->addNewItems({fullMessage(), fullEvent(), fullFeed(), fullWeather(), unknown});
    QCOMPARE(model->rowCount(), 5);
    QCOMPARE(model->rowCount(model->index(0, 0)), 0);

    const QStringList types{HVItemType::TypeMessage, HVItemType::TypeEvent, HVItemType::TypeFeed,
                            HVItemType::TypeWeather, QStringLiteral("calendar")};
    for (int row = 0; row < 5; ++row) {
        const QModelIndex index = model->index(row, 0);
        QCOMPARE(model->data(index, 0).userType(), int(QMetaType::QDateTime));
        QCOMPARE(model->data(index, 0).toDateTime(), When);
        QCOMPARE(model->data(index, 5).toString(), types.at(row));
        const QVariant item = model->data(index, 1);
        QCOMPARE(QByteArray(item.typeName()), QByteArrayLiteral("HALVANE_NAMESPACE::HVItem"));
        QCOMPARE(item.value<HVItem>().type(), types.at(row));
    }
    // A record of no known type answers nothing else.
    const QModelIndex last = model->index(4, 0);
    QCOMPARE(model->data(last, 1).value<HVItem>().displayLabel(), QStringLiteral("Unknown label"));
    for (int role = 2; role <= 64; ++role) {
        if (role == 5)
            continue;
        QVERIFY2(!model->data(last, role).isValid(), qPrintable(QString::number(role)));
    }

    QVERIFY(!model->data(model->index(model->rowCount(), 0), 0).isValid());
    QVERIFY(!model->data(model->index(model->rowCount(), 0), 5).isValid());
    QVERIFY(!model->data(QModelIndex(), 0).isValid());
    QVERIFY(!model->data(model->index(-1, 0), 5).isValid());
}

void Testhvitemmodel::typedRoles_data()
{
    QTest::addColumn<HVItem>("item");
    QTest::addColumn<QVariantHash>("expected");

    QVariantList attachments{QVariantMap{{QStringLiteral("fileName"), QStringLiteral("a.pdf")},
                                         {QStringLiteral("contentType"), QStringLiteral("application/pdf")},
                                         {QStringLiteral("size"), 1234}}};
    QTest::newRow("message") << fullMessage()
                             << QVariantHash{
                                    {QStringLiteral("33"), 2},
                                    {QStringLiteral("34"), QStringLiteral("Ann")},
                                    {QStringLiteral("35"), QStringLiteral("Subject")},
                                    {QStringLiteral("36"), When.toString(LongPattern)},
                                    {QStringLiteral("37"), QStringLiteral("Message body")},
                                    {QStringLiteral("38"), attachments},
                                    {QStringLiteral("39"), QStringLiteral("Message label")},
                                    {QStringLiteral("58"), QStringLiteral("+4711223344")},
                                };
    QTest::newRow("event") << fullEvent()
                           << QVariantHash{
                                  {QStringLiteral("39"), QStringLiteral("Event label")},
                                  {QStringLiteral("40"), QStringLiteral("Event description")},
                                  {QStringLiteral("41"), QStringLiteral("09:05")},
                                  {QStringLiteral("42"), QStringLiteral("17:45")},
                                  {QStringLiteral("43"), QStringLiteral("Hall")},
                                  {QStringLiteral("44"), QStringLiteral("Street 2")},
                                  {QStringLiteral("45"), QStringLiteral("1,2")},
                                  {QStringLiteral("59"), QStringLiteral("creator@example.org")},
                                  {QStringLiteral("60"), QStringList({QStringLiteral("First"), QStringLiteral("Second")})},
                              };
    QTest::newRow("feed") << fullFeed()
                          << QVariantHash{
                                 {QStringLiteral("37"), QStringLiteral("Feed body")},
                                 {QStringLiteral("39"), QStringLiteral("Feed label")},
                                 {QStringLiteral("46"), QStringLiteral("Channel")},
                                 {QStringLiteral("47"), When.toString(LongPattern)},
                                 {QStringLiteral("48"), QStringLiteral("Title")},
                             };
    QTest::newRow("weather") << fullWeather()
                             << QVariantHash{
                                    {QStringLiteral("40"), QStringLiteral("Cloudy")},
                                    {QStringLiteral("49"), QStringLiteral("Bergen")},
                                    {QStringLiteral("50"), QStringLiteral("NOXX0002")},
                                    {QStringLiteral("51"), true},
                                    {QStringLiteral("52"), QStringLiteral("cloud.png")},
                                    {QStringLiteral("53"), QStringLiteral("9")},
                                    {QStringLiteral("54"), QStringLiteral("6")},
                                    {QStringLiteral("55"), QStringLiteral("11")},
                                    {QStringLiteral("56"), QStringLiteral("5")},
                                    {QStringLiteral("57"), QStringLiteral("SW")},
                                };
}

void Testhvitemmodel::typedRoles()
{
    QFETCH(HVItem, item);
    QFETCH(QVariantHash, expected);

    auto model = newModel();
    QVERIFY(model);
    model->addNewItems({item});
    const QModelIndex index = model->index(0, 0);

    QSet<int> answered;
    for (int role = 33; role <= 60; ++role) {
        const QVariant value = model->data(index, role);
        const QString key = QString::number(role);
        if (!expected.contains(key)) {
            QVERIFY2(!value.isValid(), qPrintable(key));
            continue;
        }
        answered.insert(role);
        const QVariant want = expected.value(key);
        QVERIFY2(value.isValid(), qPrintable(key));
        QCOMPARE(value.userType(), want.userType());
        QVERIFY2(value == want, qPrintable(key + QLatin1String(": ") + value.toString()));
    }
    // The roles answered are exactly the type's named roles.
    const QList<int> named = HVItemModel::getRoles(item.type()).keys();
    QCOMPARE(answered, QSet<int>(named.cbegin(), named.cend()));

    // Date-times as text follow fixed patterns; check one literally in the C locale.
    if (item.type() == HVItemType::TypeFeed && QLocale::system().name() == QLatin1String("C"))
        QCOMPARE(model->data(index, 47).toString(), QStringLiteral("Tue March 5 2024 07:08:09"));
}

void Testhvitemmodel::roleSets_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QList<int>>("roles");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::newRow("message") << HVItemType::TypeMessage << QList<int>{33, 34, 35, 36, 37, 38, 39, 58}
                             << QList<QByteArray>{"messageType", "from", "subject", "receivedDateTime", "body",
                                                  "attachments", "displayLabel", "phoneNumber"};
    QTest::newRow("event") << HVItemType::TypeEvent << QList<int>{39, 40, 41, 42, 43, 44, 45, 59, 60}
                           << QList<QByteArray>{"displayLabel", "description", "startDateTime", "endDateTime",
                                                "locationName", "locationAddress", "locationCoordinates",
                                                "creator", "participants"};
    QTest::newRow("feed") << HVItemType::TypeFeed << QList<int>{37, 39, 46, 47, 48}
                          << QList<QByteArray>{"body", "displayLabel", "channel", "dateTime", "title"};
    QTest::newRow("weather") << HVItemType::TypeWeather << QList<int>{40, 49, 50, 51, 52, 53, 54, 55, 56, 57}
                             << QList<QByteArray>{"description", "city", "cityId", "defaultCity", "image",
                                                  "temperature", "temperatureMin", "temperatureMax", "wind",
                                                  "windDirection"};
    QTest::newRow("empty") << QString() << QList<int>() << QList<QByteArray>();
    QTest::newRow("unknown") << QStringLiteral("calendar") << QList<int>() << QList<QByteArray>();
    QTest::newRow("other case") << HVItemType::TypeEvent.toUpper() << QList<int>() << QList<QByteArray>();
    QTest::newRow("longer") << HVItemType::TypeEvent + QLatin1Char('s') << QList<int>() << QList<QByteArray>();
}

void Testhvitemmodel::roleSets()
{
    QFETCH(QString, type);
    QFETCH(QList<int>, roles);
    QFETCH(QList<QByteArray>, names);

    const QHash<int, QByteArray> set = HVItemModel::getRoles(type);
    QCOMPARE(set.size(), roles.size());
    for (int i = 0; i < roles.size(); ++i)
        QCOMPARE(set.value(roles.at(i)), names.at(i));
}

void Testhvitemmodel::eventDetailsMissing()
{
    auto model = newModel();
    QVERIFY(model);

    HVItemEventCreator nameOnly;
    nameOnly.setName(QStringLiteral("No Mail"));
    HVEvent withoutMail;
    withoutMail.setId(HVItemId(QStringLiteral("1"), QString()));
    withoutMail.setCreator(nameOnly);

    HVEvent bare;
    bare.setId(HVItemId(QStringLiteral("2"), QString()));

    // Values that are not strings are converted; those that cannot be give "".
    HVItemEventCreator numeric;
    numeric.setValue(HVItemEventCreator::FieldEmail, 42);
    HVItemEventParticipant odd;
    odd.setValue(HVItemEventParticipant::FieldName, QVariant::fromValue(QRect(1, 2, 3, 4)));
    HVItemEventParticipant noName;
    noName.setEmail(QStringLiteral("x@example.org"));
    HVEvent converted;
    converted.setId(HVItemId(QStringLiteral("3"), QString()));
    converted.setCreator(numeric);
    converted.setParticipants({odd, noName});

    model->addNewItems({withoutMail, bare, converted});
    QCOMPARE(model->data(model->index(0, 0), HVItemModel::CreatorRole), QVariant(QString()));
    QCOMPARE(model->data(model->index(0, 0), HVItemModel::CreatorRole).toString(), QString());
    QCOMPARE(model->data(model->index(1, 0), HVItemModel::CreatorRole).toString(), QString());
    QCOMPARE(model->data(model->index(1, 0), HVItemModel::ParticipantsRole).userType(), int(QMetaType::QStringList));
    QVERIFY(model->data(model->index(1, 0), HVItemModel::ParticipantsRole).toStringList().isEmpty());
    // Invalid times give empty text rather than nothing.
    QCOMPARE(model->data(model->index(1, 0), HVItemModel::StartDateTimeRole).toString(), QString());
    QCOMPARE(model->data(model->index(2, 0), HVItemModel::CreatorRole).toString(), QStringLiteral("42"));
    QCOMPARE(model->data(model->index(2, 0), HVItemModel::ParticipantsRole).toStringList(),
             QStringList({QString(), QString()}));

    // A message without attachments has an empty list on that role.
    HVMessage message;
    message.setId(HVItemId(QStringLiteral("4"), QString()));
    model->addNewItems({message});
    QVERIFY(model->data(model->index(3, 0), HVItemModel::AttachmentsRole).toList().isEmpty());
}

void Testhvitemmodel::addSignals()
{
    auto model = newModel();
    QVERIFY(model);
    QSignalSpy aboutToInsert(model.get(), &QAbstractItemModel::rowsAboutToBeInserted);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);

    model->addNewItems({});
    QVERIFY(aboutToInsert.isEmpty());
    QVERIFY(inserted.isEmpty());

    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("a")), makeItem(QStringLiteral("2"), QStringLiteral("b"))});
    model->addNewItems({makeItem(QStringLiteral("3"), QStringLiteral("c")), makeItem(QStringLiteral("1"), QStringLiteral("a2")),
                        makeItem(QStringLiteral("4"), QStringLiteral("d"))});
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(aboutToInsert.count(), 2);
    QVERIFY(!inserted.at(0).at(0).toModelIndex().isValid());
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 1);
    QCOMPARE(inserted.at(1).at(1).toInt(), 2);
    QCOMPARE(inserted.at(1).at(2).toInt(), 4);
    // Appended as given: no de-duplication, no ordering.
    QCOMPARE(labels(*model), QStringList({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                          QStringLiteral("a2"), QStringLiteral("d")}));
    QVERIFY(reset.isEmpty());
}

void Testhvitemmodel::updateSignals()
{
    auto model = newModel();
    QVERIFY(model);
    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("a")), makeItem(QStringLiteral("2"), QStringLiteral("b")),
                        makeItem(QStringLiteral("3"), QStringLiteral("c"))});
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(model.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);

    // An update may change everything but the id, even the type.
    HVItem newB = makeItem(QStringLiteral("2"), QStringLiteral("B"), HVItemType::TypeEvent);
    model->updateItems({makeItem(QStringLiteral("3"), QStringLiteral("C")), newB});
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model->index(2, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), model->index(2, 0));
    QCOMPARE(changed.at(1).at(0).toModelIndex(), model->index(1, 0));
    QCOMPARE(changed.at(1).at(1).toModelIndex(), model->index(1, 0));
    QCOMPARE(labels(*model), QStringList({QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("C")}));
    QCOMPARE(model->data(model->index(1, 0), HVItemModel::TypeRole).toString(), HVItemType::TypeEvent);
    QVERIFY(inserted.isEmpty());
    QVERIFY(removed.isEmpty());

    // Two occurrences of one series share an id: each change goes to the row
    // of its own day, not both to the first.
    auto occurrence = [](const QString &label, int day) {
        HVItem item = makeItem(QStringLiteral("series"), label);
        item.setDateTime(QDateTime(QDate(2026, 12, day), QTime(22, 0)));
        return item;
    };
    model->addNewItems({occurrence(QStringLiteral("9th"), 9), occurrence(QStringLiteral("10th"), 10)});
    model->updateItems({occurrence(QStringLiteral("10th, renamed"), 10), occurrence(QStringLiteral("9th, renamed"), 9)});
    QCOMPARE(labels(*model).mid(3), QStringList({QStringLiteral("9th, renamed"), QStringLiteral("10th, renamed")}));
}

void Testhvitemmodel::removeSignals()
{
    auto model = newModel();
    QVERIFY(model);
    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("a")), makeItem(QStringLiteral("2"), QStringLiteral("b")),
                        makeItem(QStringLiteral("3"), QStringLiteral("c")), makeItem(QStringLiteral("4"), QStringLiteral("d"))});
    QSignalSpy aboutToRemove(model.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);

    // A removal carries only type and id.
    model->removeItems({HVItem(HVItemType::TypeFeed), makeItem(QStringLiteral("3"), QString()),
                        makeItem(QStringLiteral("1"), QString()), makeItem(QStringLiteral("4"), QString())});
    QCOMPARE(removed.count(), 3);
    QCOMPARE(aboutToRemove.count(), 3);
    const QList<int> expectedRows{2, 0, 1};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!removed.at(i).at(0).toModelIndex().isValid());
        QCOMPARE(removed.at(i).at(1).toInt(), expectedRows.at(i));
        QCOMPARE(removed.at(i).at(2).toInt(), expectedRows.at(i));
    }
    QCOMPARE(labels(*model), QStringList({QStringLiteral("b")}));
}

void Testhvitemmodel::unknownRecordsChangeNothing()
{
    auto model = newModel();
    QVERIFY(model);
    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("a"))});
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy aboutToRemove(model.get(), &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy layout(model.get(), &QAbstractItemModel::layoutChanged);
    QVERIFY(layout.isValid());
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);

    HVItem otherManager = makeItem(QStringLiteral("1"), QStringLiteral("x"));
    otherManager.setId(HVItemId(QStringLiteral("1"), QStringLiteral("elsewhere")));
    model->updateItems({makeItem(QStringLiteral("2"), QStringLiteral("x")), otherManager});
    model->removeItems({makeItem(QStringLiteral("2"), QStringLiteral("x")), otherManager});
    model->removeItems({});
    model->updateItems({});
    QVERIFY(changed.isEmpty());
    QVERIFY(aboutToRemove.isEmpty());
    QVERIFY(layout.isEmpty());
    QVERIFY(reset.isEmpty());
    QCOMPARE(labels(*model), QStringList({QStringLiteral("a")}));
}

void Testhvitemmodel::duplicateRecords()
{
    auto model = newModel();
    QVERIFY(model);
    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("first")), makeItem(QStringLiteral("2"), QStringLiteral("b")),
                        makeItem(QStringLiteral("1"), QStringLiteral("second"))});
    QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy removed(model.get(), &QAbstractItemModel::rowsRemoved);

    model->updateItems({makeItem(QStringLiteral("1"), QStringLiteral("updated"))});
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 0);
    QCOMPARE(labels(*model), QStringList({QStringLiteral("updated"), QStringLiteral("b"), QStringLiteral("second")}));

    model->removeItems({makeItem(QStringLiteral("1"), QString())});
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 0);
    QCOMPARE(labels(*model), QStringList({QStringLiteral("b"), QStringLiteral("second")}));

    // The next update finds the row that is first now.
    model->updateItems({makeItem(QStringLiteral("1"), QStringLiteral("again"))});
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toModelIndex().row(), 1);

    // Twice in one batch: both rows go, first one first.
    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("third"))});
    model->removeItems({makeItem(QStringLiteral("1"), QString()), makeItem(QStringLiteral("1"), QString()),
                        makeItem(QStringLiteral("1"), QString())});
    QCOMPARE(removed.count(), 3);
    QCOMPARE(removed.at(1).at(1).toInt(), 1);
    QCOMPARE(removed.at(2).at(1).toInt(), 1);
    QCOMPARE(labels(*model), QStringList({QStringLiteral("b")}));
}

void Testhvitemmodel::resetFromRetrieval()
{
    auto model = newModel();
    QVERIFY(model);
    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("a"))});
    QSignalSpy reset(model.get(), &QAbstractItemModel::modelReset);
    QSignalSpy aboutToReset(model.get(), &QAbstractItemModel::modelAboutToBeReset);
    // The retrieval answered nothing, so a reset empties the model.
    model->resetModel();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(aboutToReset.count(), 1);
    QCOMPARE(model->rowCount(), 0);

    // Rows added after a reset are found again: the look-up follows the reset.
    model->addNewItems({makeItem(QStringLiteral("1"), QStringLiteral("b"))});
    model->updateItems({makeItem(QStringLiteral("1"), QStringLiteral("c"))});
    QCOMPARE(labels(*model), QStringList({QStringLiteral("c")}));
}

void Testhvitemmodel::followsItemManager()
{
    auto model = newModel();
    QVERIFY(model);
    HVItemManager *manager = HVItemManager::instance();
    QVERIFY(manager);

    Q_EMIT manager->itemsAdded({makeItem(QStringLiteral("1"), QStringLiteral("a")), makeItem(QStringLiteral("2"), QStringLiteral("b"))});
    QCOMPARE(labels(*model), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    Q_EMIT manager->itemsChanged({makeItem(QStringLiteral("2"), QStringLiteral("B"))});
    QCOMPARE(labels(*model), QStringList({QStringLiteral("a"), QStringLiteral("B")}));
    Q_EMIT manager->itemsRemoved({makeItem(QStringLiteral("1"), QString())});
    QCOMPARE(labels(*model), QStringList({QStringLiteral("B")}));
    // An addition of what the model holds (a retrieval read it meanwhile).
    Q_EMIT manager->itemsAdded({makeItem(QStringLiteral("2"), QStringLiteral("B2")), makeItem(QStringLiteral("3"), QStringLiteral("c"))});
    QCOMPARE(labels(*model), QStringList({QStringLiteral("B2"), QStringLiteral("c")}));
}

void Testhvitemmodel::nestedRemovalDuringBatch()
{
    auto model = newModel();
    QVERIFY(model);
    model->addNewItems({makeItem(QStringLiteral("A"), QStringLiteral("a1")), makeItem(QStringLiteral("B"), QStringLiteral("b1")),
                        makeItem(QStringLiteral("C"), QStringLiteral("c1")), makeItem(QStringLiteral("A"), QStringLiteral("a2"))});

    // A view reacting to the first removal removes B itself; the rest of the
    // batch must see the model as it is then.
    bool nested = false;
    QList<int> removedRows;
    connect(model.get(), &QAbstractItemModel::rowsRemoved, this,
            [&](const QModelIndex &, int first, int) {
                removedRows.append(first);
                if (!nested) {
                    nested = true;
                    model->removeItems({makeItem(QStringLiteral("B"), QString())});
                }
            });
    model->removeItems({makeItem(QStringLiteral("A"), QString()), makeItem(QStringLiteral("B"), QString()),
                        makeItem(QStringLiteral("A"), QString())});
    QCOMPARE(labels(*model), QStringList({QStringLiteral("c1")}));
    QCOMPARE(removedRows, QList<int>({0, 0, 1}));
}

void Testhvitemmodel::randomBatchesMatchReference_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 7u, 1234u, 99991u, 31337u})
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
}

void Testhvitemmodel::randomBatchesMatchReference()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    auto model = newModel();
    QVERIFY(model);

    QList<int> removedRows;
    QList<int> changedRows;
    connect(model.get(), &QAbstractItemModel::rowsRemoved, this,
            [&removedRows](const QModelIndex &, int first, int last) {
                QCOMPARE(first, last);
                removedRows.append(first);
            });
    connect(model.get(), &QAbstractItemModel::dataChanged, this,
            [&changedRows](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                QCOMPARE(topLeft, bottomRight);
                changedRows.append(topLeft.row());
            });

    // Few ids for many rows, so most ids stand several times.
    const int idCount = 12;
    int serial = 0;
    auto record = [&](int id) {
        return makeItem(QString::number(id), QStringLiteral("r") + QString::number(serial++));
    };

    QList<HVItem> reference;
    QList<int> expectedRemoved;
    QList<int> expectedChanged;
    auto firstRow = [&reference](const HVItem &item) {
        for (int row = 0; row < reference.size(); ++row) {
            if (reference.at(row) == item)
                return row;
        }
        return -1;
    };

    for (int round = 0; round < 60; ++round) {
        QList<HVItem> batch;
        const int size = random.bounded(0, 8);
        for (int i = 0; i < size; ++i)
            batch.append(record(random.bounded(idCount + 2)));

        switch (random.bounded(3)) {
        case 0:
            model->addNewItems(batch);
            reference.append(batch);
            break;
        case 1:
            model->updateItems(batch);
            for (const HVItem &item : qAsConst(batch)) {
                const int row = firstRow(item);
                if (row >= 0) {
                    reference[row] = item;
                    expectedChanged.append(row);
                }
            }
            break;
        default:
            model->removeItems(batch);
            for (const HVItem &item : qAsConst(batch)) {
                const int row = firstRow(item);
                if (row >= 0) {
                    reference.removeAt(row);
                    expectedRemoved.append(row);
                }
            }
            break;
        }
        QCOMPARE(labels(*model), labels(reference));
    }
    QCOMPARE(removedRows, expectedRemoved);
    QCOMPARE(changedRows, expectedChanged);
    QVERIFY(!expectedRemoved.isEmpty());
    QVERIFY(!expectedChanged.isEmpty());
}

QTEST_GUILESS_MAIN(Testhvitemmodel)
#include "tst_hvitemmodel.moc"
