// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtTest/QtTest>

#include "hvevent.h"
#include "hvfeed.h"
#include "hvglobal.h"
#include "hvitem.h"
#include "hvitemtype.h"
#include "hvmessage.h"
#include "hvweather.h"

using namespace Halvane;

class Testhvitem : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

    void typedViewsKeepValues();
    void viewOfOtherRecordKeepsValues();
    void equalityIsById();
    void copiesAreIndependent();
    void details();
    void typeNames();
    void messageTypeValues();
    void variantRoundTrip();
    void idHash();
    void pluginsPath_data();
    void pluginsPath();
    void pluginsPathUnset();
    void settingsFileIsSafe_data();
    void settingsFileIsSafe();

private:
    QByteArray m_savedPluginsPath;
    bool m_hadPluginsPath = false;
};

void Testhvitem::initTestCase()
{
    m_hadPluginsPath = qEnvironmentVariableIsSet("HALVANE_PLUGINS_PATH");
    m_savedPluginsPath = qgetenv("HALVANE_PLUGINS_PATH");
}

void Testhvitem::cleanupTestCase()
{
    if (m_hadPluginsPath)
        qputenv("HALVANE_PLUGINS_PATH", m_savedPluginsPath);
    else
        qunsetenv("HALVANE_PLUGINS_PATH");
}

void Testhvitem::typedViewsKeepValues()
{
    const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));

    HVWeather weather;
    weather.setId(HVItemId(QStringLiteral("w1"), QStringLiteral("weather")));
    weather.setDateTime(when);
    weather.setDescription(QStringLiteral("Sunny"));
    weather.setCity(QStringLiteral("Oslo"));
    weather.setCityId(QStringLiteral("NOXX0029"));
    weather.setImage(QStringLiteral("sun.png"));
    weather.setTemperature(QStringLiteral("12"));
    weather.setTemperatureMin(QStringLiteral("4"));
    weather.setTemperatureMax(QStringLiteral("15"));
    weather.setWind(QStringLiteral("7"));
    weather.setWindDirection(QStringLiteral("NW"));
    weather.setDefaultCity(true);

    HVItemEventCreator creator;
    creator.setName(QStringLiteral("Ann"));
    creator.setEmail(QStringLiteral("ann@example.org"));
    HVItemEventParticipant bob;
    bob.setName(QStringLiteral("Bob"));
    HVItemEventParticipant eve;
    eve.setName(QStringLiteral("Eve"));
    eve.setEmail(QStringLiteral("eve@example.org"));

    HVEvent event;
    event.setId(HVItemId(QStringLiteral("e1"), QStringLiteral("calendar")));
    event.setDisplayLabel(QStringLiteral("Meeting"));
    event.setStartDateTime(when);
    event.setEndDateTime(when.addSecs(3600));
    event.setLocationName(QStringLiteral("Room 4"));
    event.setLocationAddress(QStringLiteral("Main street 1"));
    event.setLocationCoordinates(QStringLiteral("59.9,10.7"));
    event.setCreator(creator);
    event.setParticipants({bob, eve});

    HVItemMessageAttachment attachment;
    attachment.setFileName(QStringLiteral("a.txt"));
    attachment.setContentType(QStringLiteral("text/plain"));
    attachment.setSize(3);
    attachment.setContent(QByteArrayLiteral("abc"));

    HVMessage message;
    message.setId(HVItemId(QStringLiteral("m1"), QStringLiteral("mail")));
    message.setMessageType(HVMessage::Email);
    message.setFrom(QStringLiteral("carl@example.org"));
    message.setSubject(QStringLiteral("Hello"));
    message.setBody(QStringLiteral("Body text"));
    message.setPhoneNumber(QStringLiteral("+4712345678"));
    message.setReceivedDateTime(when);
    message.setAttachments({attachment});

    HVFeed feed;
    feed.setId(HVItemId(QStringLiteral("f1"), QStringLiteral("feeds")));
    feed.setDateTime(when);
    feed.setTitle(QStringLiteral("Title"));
    feed.setBody(QStringLiteral("Feed body"));
    feed.setChannel(QStringLiteral("News"));

    const QList<HVItem> list{weather, event, message, feed};
    // Only the records travel: nothing of the views themselves survives.
    weather = HVWeather();
    event = HVEvent();
    message = HVMessage();
    feed = HVFeed();

    QCOMPARE(list.at(0).type(), HVItemType::TypeWeather);
    QCOMPARE(list.at(1).type(), HVItemType::TypeEvent);
    QCOMPARE(list.at(2).type(), HVItemType::TypeMessage);
    QCOMPARE(list.at(3).type(), HVItemType::TypeFeed);

    const HVWeather w(list.at(0));
    QCOMPARE(w.id().localId(), QStringLiteral("w1"));
    QCOMPARE(w.id().managerUri(), QStringLiteral("weather"));
    QCOMPARE(w.dateTime(), when);
    QCOMPARE(w.description(), QStringLiteral("Sunny"));
    QCOMPARE(w.city(), QStringLiteral("Oslo"));
    QCOMPARE(w.cityId(), QStringLiteral("NOXX0029"));
    QCOMPARE(w.image(), QStringLiteral("sun.png"));
    QCOMPARE(w.temperature(), QStringLiteral("12"));
    QCOMPARE(w.temperatureMin(), QStringLiteral("4"));
    QCOMPARE(w.temperatureMax(), QStringLiteral("15"));
    QCOMPARE(w.wind(), QStringLiteral("7"));
    QCOMPARE(w.windDirection(), QStringLiteral("NW"));
    QCOMPARE(w.defaultCity(), true);

    const HVEvent e(list.at(1));
    QCOMPARE(e.displayLabel(), QStringLiteral("Meeting"));
    QCOMPARE(e.startDateTime(), when);
    QCOMPARE(e.endDateTime(), when.addSecs(3600));
    QCOMPARE(e.locationName(), QStringLiteral("Room 4"));
    QCOMPARE(e.locationAddress(), QStringLiteral("Main street 1"));
    QCOMPARE(e.locationCoordinates(), QStringLiteral("59.9,10.7"));
    QCOMPARE(e.creator().variantValue(HVItemEventCreator::FieldName).toString(), QStringLiteral("Ann"));
    QCOMPARE(e.creator().variantValue(HVItemEventCreator::FieldEmail).toString(), QStringLiteral("ann@example.org"));
    const QList<HVItemEventParticipant> participants = e.participants();
    QCOMPARE(participants.size(), 2);
    QCOMPARE(participants.at(0).variantValue(HVItemEventParticipant::FieldName).toString(), QStringLiteral("Bob"));
    QVERIFY(!participants.at(0).hasValue(HVItemEventParticipant::FieldEmail));
    QCOMPARE(participants.at(1).variantValue(HVItemEventParticipant::FieldName).toString(), QStringLiteral("Eve"));
    QCOMPARE(participants.at(1).variantValue(HVItemEventParticipant::FieldEmail).toString(),
             QStringLiteral("eve@example.org"));

    const HVMessage m(list.at(2));
    QCOMPARE(m.messageType(), HVMessage::Email);
    QCOMPARE(m.from(), QStringLiteral("carl@example.org"));
    QCOMPARE(m.subject(), QStringLiteral("Hello"));
    QCOMPARE(m.body(), QStringLiteral("Body text"));
    QCOMPARE(m.phoneNumber(), QStringLiteral("+4712345678"));
    QCOMPARE(m.receivedDateTime(), when);
    const QList<HVItemMessageAttachment> attachments = m.attachments();
    QCOMPARE(attachments.size(), 1);
    QCOMPARE(attachments.at(0).variantValue(HVItemMessageAttachment::FieldFileName).toString(), QStringLiteral("a.txt"));
    QCOMPARE(attachments.at(0).variantValue(HVItemMessageAttachment::FieldContentType).toString(),
             QStringLiteral("text/plain"));
    QCOMPARE(attachments.at(0).variantValue(HVItemMessageAttachment::FieldSize).userType(), int(QMetaType::Int));
    QCOMPARE(attachments.at(0).variantValue(HVItemMessageAttachment::FieldSize).toInt(), 3);
    QCOMPARE(attachments.at(0).variantValue(HVItemMessageAttachment::FieldContent).userType(),
             int(QMetaType::QByteArray));
    QCOMPARE(attachments.at(0).content(), QByteArrayLiteral("abc"));

    const HVFeed f(list.at(3));
    QCOMPARE(f.dateTime(), when);
    QCOMPARE(f.title(), QStringLiteral("Title"));
    QCOMPARE(f.body(), QStringLiteral("Feed body"));
    QCOMPARE(f.channel(), QStringLiteral("News"));
}

void Testhvitem::viewOfOtherRecordKeepsValues()
{
    // HVItem(other, type) retypes a record; the values stay and the source is untouched.
    HVMessage message;
    message.setId(HVItemId(QStringLiteral("x"), QStringLiteral("y")));
    message.setSubject(QStringLiteral("kept"));
    message.setDisplayLabel(QStringLiteral("label"));

    const HVItem retyped(message, QStringLiteral("other"));
    QCOMPARE(retyped.type(), QStringLiteral("other"));
    QCOMPARE(retyped.displayLabel(), QStringLiteral("label"));
    QCOMPARE(message.type(), HVItemType::TypeMessage);

    const HVMessage back(retyped);
    QCOMPARE(back.type(), HVItemType::TypeMessage);
    QCOMPARE(back.subject(), QStringLiteral("kept"));
    QCOMPARE(back.id(), message.id());

    // A view made without arguments is an empty record of its type.
    QCOMPARE(HVEvent().type(), HVItemType::TypeEvent);
    QVERIFY(HVEvent().participants().isEmpty());
    QVERIFY(HVEvent().id().isNull());
    QCOMPARE(HVMessage().messageType(), HVMessage::NoType);
    QVERIFY(HVItem().type().isEmpty());
}

void Testhvitem::equalityIsById()
{
    HVItem a(HVItemType::TypeEvent);
    a.setId(HVItemId(QStringLiteral("1"), QStringLiteral("uri")));
    a.setDisplayLabel(QStringLiteral("a"));
    a.setDateTime(QDateTime(QDate(2024, 1, 1), QTime(1, 0)));

    // Same id, everything else different, even the type.
    HVItem b(HVItemType::TypeFeed);
    b.setId(HVItemId(QStringLiteral("1"), QStringLiteral("uri")));
    b.setDisplayLabel(QStringLiteral("b"));
    b.setDescription(QStringLiteral("other"));
    b.setValue(QStringLiteral("title"), QStringLiteral("t"));
    QVERIFY(a == b);
    QVERIFY(!(a != b));

    HVItem otherLocal(a);
    otherLocal.setId(HVItemId(QStringLiteral("2"), QStringLiteral("uri")));
    QVERIFY(a != otherLocal);
    QVERIFY(!(a == otherLocal));

    HVItem otherManager(a);
    otherManager.setId(HVItemId(QStringLiteral("1"), QStringLiteral("uri2")));
    QVERIFY(a != otherManager);

    // A removal carries only type and id; it must still find the record.
    HVEvent removal;
    removal.setId(a.id());
    QVERIFY(removal == a);
    QVERIFY(QList<HVItem>({otherLocal, a}).indexOf(removal) == 1);

    QVERIFY(HVItemId(QStringLiteral("1"), QStringLiteral("u")) == HVItemId(QStringLiteral("1"), QStringLiteral("u")));
    QVERIFY(HVItemId(QStringLiteral("1"), QStringLiteral("u")) != HVItemId(QStringLiteral("u"), QStringLiteral("1")));
    HVItemId id;
    id.setLocalId(QStringLiteral("l"));
    id.setManagerUri(QStringLiteral("m"));
    QCOMPARE(id.localId(), QStringLiteral("l"));
    QCOMPARE(id.managerUri(), QStringLiteral("m"));
}

void Testhvitem::copiesAreIndependent()
{
    HVWeather original;
    original.setId(HVItemId(QStringLiteral("1"), QStringLiteral("w")));
    original.setCity(QStringLiteral("Bergen"));
    original.setDescription(QStringLiteral("Rain"));

    HVItem copy = original;
    copy.setDescription(QStringLiteral("Sun"));
    copy.setValue(QStringLiteral("city"), QStringLiteral("Oslo"));
    copy.setId(HVItemId(QStringLiteral("2"), QStringLiteral("w")));
    QCOMPARE(original.description(), QStringLiteral("Rain"));
    QCOMPARE(original.city(), QStringLiteral("Bergen"));
    QCOMPARE(original.id().localId(), QStringLiteral("1"));
    QCOMPARE(HVWeather(copy).city(), QStringLiteral("Oslo"));

    // A view made from a record writes into its own copy.
    HVWeather view(copy);
    view.setCity(QStringLiteral("Tromso"));
    QCOMPARE(HVWeather(copy).city(), QStringLiteral("Oslo"));

    // Details are values too.
    HVEvent event;
    HVItemEventCreator creator;
    creator.setName(QStringLiteral("Ann"));
    event.setCreator(creator);
    HVEvent eventCopy = event;
    HVItemEventCreator changed = eventCopy.creator();
    changed.setName(QStringLiteral("Bea"));
    eventCopy.setCreator(changed);
    QCOMPARE(event.creator().name(), QStringLiteral("Ann"));
    QCOMPARE(eventCopy.creator().name(), QStringLiteral("Bea"));

    // Retyping a shared record leaves the other holders alone.
    const HVItem shared = eventCopy;
    const HVItem retyped(shared, HVItemType::TypeFeed);
    QCOMPARE(shared.type(), HVItemType::TypeEvent);
    QCOMPARE(retyped.type(), HVItemType::TypeFeed);
}

void Testhvitem::details()
{
    HVItemDetail a(QStringLiteral("def"));
    QCOMPARE(a.definitionName(), QStringLiteral("def"));
    QVERIFY(!a.variantValue(QStringLiteral("f")).isValid());
    a.setValue(QStringLiteral("f"), 5);
    QCOMPARE(a.variantValue(QStringLiteral("f")), QVariant(5));

    HVItemDetail b(QStringLiteral("def"));
    QVERIFY(a != b);
    b.setValue(QStringLiteral("f"), 5);
    QVERIFY(a == b);
    QVERIFY(!(a != b));
    b.setValue(QStringLiteral("f"), 6);
    QVERIFY(a != b);

    HVItemDetail otherDefinition(QStringLiteral("other"));
    otherDefinition.setValue(QStringLiteral("f"), 5);
    QVERIFY(a != otherDefinition);

    // The kinds carry their definition names, and a kind viewed from a detail keeps its values.
    QCOMPARE(HVItemEventCreator().definitionName(), HVItemEventCreator::DefinitionName);
    QCOMPARE(HVItemEventParticipant().definitionName(), HVItemEventParticipant::DefinitionName);
    QCOMPARE(HVItemMessageAttachment().definitionName(), HVItemMessageAttachment::DefinitionName);
    const QSet<QString> definitions{HVItemEventCreator::DefinitionName, HVItemEventParticipant::DefinitionName,
                                    HVItemMessageAttachment::DefinitionName};
    QCOMPARE(definitions.size(), 3);

    HVItemDetail plain(HVItemEventParticipant::DefinitionName);
    plain.setValue(HVItemEventParticipant::FieldName, QStringLiteral("Dan"));
    const HVItemEventParticipant participant(plain);
    QCOMPARE(participant.name(), QStringLiteral("Dan"));
    QCOMPARE(participant.definitionName(), HVItemEventParticipant::DefinitionName);
    QVERIFY(HVItemDetail(participant) == plain);
}

void Testhvitem::typeNames()
{
    const QStringList names{HVItemType::TypeWeather, HVItemType::TypeEvent, HVItemType::TypeMessage,
                            HVItemType::TypeFeed};
    for (const QString &name : names) {
        QVERIFY2(!name.isEmpty(), qPrintable(name));
        QCOMPARE(QRegularExpression::escape(name), name);
    }
    for (int i = 0; i < names.size(); ++i) {
        for (int j = 0; j < names.size(); ++j) {
            if (i == j)
                continue;
            QVERIFY2(names.at(i) != names.at(j), qPrintable(names.at(i)));
            QVERIFY2(!names.at(i).contains(names.at(j)), qPrintable(names.at(i) + QLatin1Char('/') + names.at(j)));
            // The proxies filter with the names as unanchored patterns.
            QVERIFY(!QRegularExpression(names.at(j)).match(names.at(i)).hasMatch());
        }
        QVERIFY(QRegularExpression(names.at(i)).match(names.at(i)).hasMatch());
    }
}

void Testhvitem::messageTypeValues()
{
    QCOMPARE(int(HVMessage::Email), 1);
    QCOMPARE(int(HVMessage::Sms), 2);

    HVMessage sms;
    sms.setMessageType(HVMessage::Sms);
    QCOMPARE(HVMessage(HVItem(sms)).messageType(), HVMessage::Sms);
    QCOMPARE(int(HVMessage(HVItem(sms)).messageType()), 2);
}

void Testhvitem::variantRoundTrip()
{
    HVFeed feed;
    feed.setId(HVItemId(QStringLiteral("7"), QStringLiteral("feeds")));
    feed.setTitle(QStringLiteral("News"));
    feed.setDateTime(QDateTime(QDate(2024, 2, 2), QTime(2, 2)));

    const QVariant variant = QVariant::fromValue<HVItem>(feed);
    QCOMPARE(QByteArray(variant.typeName()), QByteArrayLiteral("HALVANE_NAMESPACE::HVItem"));
    QCOMPARE(QByteArray(QMetaType::typeName(qMetaTypeId<HVItem>())), QByteArrayLiteral("HALVANE_NAMESPACE::HVItem"));
    QCOMPARE(QMetaType::type("HALVANE_NAMESPACE::HVItem"), qMetaTypeId<HVItem>());
    QVERIFY(variant.canConvert<HVItem>());
    const HVFeed back(variant.value<HVItem>());
    QCOMPARE(back.type(), HVItemType::TypeFeed);
    QCOMPARE(back.id(), feed.id());
    QCOMPARE(back.title(), QStringLiteral("News"));
    QCOMPARE(back.dateTime(), feed.dateTime());

    // Constructed through the meta-type system from a copy, the way queued signals do.
    const int id = QMetaType::type("HALVANE_NAMESPACE::HVItem");
    QVERIFY(id != QMetaType::UnknownType);
    const QVariant byId(id, &feed);
    QCOMPARE(HVFeed(byId.value<HVItem>()).title(), QStringLiteral("News"));

    const QList<HVItem> list{feed, HVEvent()};
    const QVariant listVariant = QVariant::fromValue(list);
    QCOMPARE(QByteArray(QMetaType::typeName(qMetaTypeId<QList<HVItem>>())),
             QByteArrayLiteral("QList<HALVANE_NAMESPACE::HVItem>"));
    QCOMPARE(QMetaType::type("QList<HALVANE_NAMESPACE::HVItem>"), qMetaTypeId<QList<HVItem>>());
    const QList<HVItem> listBack = listVariant.value<QList<HVItem>>();
    QCOMPARE(listBack.size(), 2);
    QCOMPARE(HVFeed(listBack.at(0)).title(), QStringLiteral("News"));
    QCOMPARE(listBack.at(1).type(), HVItemType::TypeEvent);
}

void Testhvitem::idHash()
{
    const HVItemId a(QStringLiteral("1"), QStringLiteral("uri"));
    const HVItemId sameAsA(QStringLiteral("1"), QStringLiteral("uri"));
    QCOMPARE(qHash(a), qHash(sameAsA));
    QCOMPARE(qHash(a, 42), qHash(sameAsA, 42));

    // Ids whose parts are swapped or moved between the fields must not collapse.
    QSet<HVItemId> set{a, sameAsA, HVItemId(QStringLiteral("uri"), QStringLiteral("1")),
                       HVItemId(QStringLiteral("1u"), QStringLiteral("ri")), HVItemId(), HVItemId()};
    QCOMPARE(set.size(), 4);
    QVERIFY(set.contains(HVItemId(QStringLiteral("1"), QStringLiteral("uri"))));
    QVERIFY(set.contains(HVItemId()));
    QVERIFY(!set.contains(HVItemId(QStringLiteral("1"), QString())));

    QHash<HVItemId, int> rows;
    for (int i = 0; i < 500; ++i)
        rows.insert(HVItemId(QString::number(i % 50), QStringLiteral("m") + QString::number(i % 3)), i);
    QCOMPARE(rows.size(), 150);
    for (int i = 0; i < 150; ++i) {
        const HVItemId id(QString::number(i % 50), QStringLiteral("m") + QString::number(i % 3));
        QVERIFY(rows.contains(id));
    }
}

void Testhvitem::pluginsPath_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("without slash") << QByteArrayLiteral("/opt/halvane/lib") << QStringLiteral("/opt/halvane/lib/");
    QTest::newRow("with slash") << QByteArrayLiteral("/opt/halvane/lib/") << QStringLiteral("/opt/halvane/lib/");
}

void Testhvitem::pluginsPath()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);
    qputenv("HALVANE_PLUGINS_PATH", value);
    QCOMPARE(Halvane::pluginsPath(), expected);
}

void Testhvitem::pluginsPathUnset()
{
    qunsetenv("HALVANE_PLUGINS_PATH");
    const QString path = Halvane::pluginsPath();
    // The build tree's own plug-ins, beside the library, not the install prefix.
    QCOMPARE(path, QStringLiteral(HALVANE_BUILD_PLUGINS_BASE));
}

void Testhvitem::settingsFileIsSafe_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("safe");

    QTest::newRow("text") << QByteArray("[General]\ncities=\"cityId:1,A,x,y\"\n[mail]\nhost=h\n") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("other markers") << QByteArray("a=@ByteArray(xyz)\nb=@Rect(1 2 3 4)\n") << true;
    // How QSettings writes a text that starts with "@Variant(".
    QTest::newRow("escaped at") << QByteArray("a=@@Variant(x)\n") << true;
    QTest::newRow("spelt in hex elsewhere") << QByteArray("a=\\x40x Variant(\n") << true;
    // Hexadecimal escapes take every hex digit: this is not a "V".
    QTest::newRow("greedy hex") << QByteArray("a=@\\x56ariant(x)\n") << true;

    QTest::newRow("plain") << QByteArray("a=@Variant(\\0\\0\\0\\x7f)\n") << false;
    QTest::newRow("date time") << QByteArray("a=@DateTime(\\0\\0\\0\\x10)\n") << false;
    QTest::newRow("in a list") << QByteArray("a=x, @Variant(\\0)\n") << false;
    QTest::newRow("in another section") << QByteArray("[x]\nb=@Variant(\\0)\n[General]\ncities=a\n") << false;
    QTest::newRow("hex at") << QByteArray("a=\\x40Variant(\\0)\n") << false;
    // QSettings keeps the low 16 bits of a long escape.
    QTest::newRow("long hex at") << QByteArray("a=\\x10040Variant(\\0)\n") << false;
    QTest::newRow("octal at") << QByteArray("a=\\100Variant(\\0)\n") << false;
    QTest::newRow("octal letter") << QByteArray("a=@\\126ariant(\\0)\n") << false;
    // An unknown escape vanishes, and so does a line break after a backslash.
    QTest::newRow("unknown escape") << QByteArray("a=@\\ZVariant(\\0)\n") << false;
    QTest::newRow("continued line") << QByteArray("a=@\\\r\nVariant(\\0)\n") << false;
    QTest::newRow("quotes") << QByteArray("a=@\"Variant(\\0)\"\n") << false;
}

void Testhvitem::settingsFileIsSafe()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, safe);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("halvane.conf"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    QString problem;
    QCOMPARE(Halvane::settingsFileIsSafe(fileName, &problem), safe);
    QCOMPARE(problem.isEmpty(), safe);
    if (safe) {
        // What QSettings then reads is never a serialised value.
        QSettings settings(fileName, QSettings::IniFormat);
        for (const QString &key : settings.allKeys())
            QVERIFY(!settings.value(key).toString().startsWith(QLatin1String("@Variant(")) || content.contains("@@"));
    } else {
        QVERIFY(problem.contains(fileName));
    }
    QVERIFY(Halvane::settingsFileIsSafe(dir.filePath(QStringLiteral("missing.conf"))));
}

QTEST_GUILESS_MAIN(Testhvitem)
#include "tst_hvitem.moc"
