// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include <QtContacts/QContact>
#include <QtContacts/QContactName>
#include <QtContacts/QContactPhoneNumber>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtQml/QQmlApplicationEngine>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>
#include <QtTest/QtTest>

#include <algorithm>
#include <csignal>

#include "hvcall.h"
#include "hvcontactcardservice.h"
#include "hvtestfixture.h"

using namespace QtContacts;

namespace {

const char CardService[] = "org.halvane.ContactCard";

QQuickItem *currentPage(QQuickWindow *window)
{
    auto *pageStack = window->property("pageStack").value<QObject *>();
    return pageStack ? pageStack->property("currentItem").value<QQuickItem *>() : nullptr;
}

// The texts of the visible labels under an item.
void collectTexts(QQuickItem *item, QStringList &texts)
{
    if (!item->isVisible())
        return;
    const QVariant text = item->property("text");
    if (text.isValid() && !text.toString().isEmpty())
        texts.append(text.toString());
    const QList<QQuickItem *> children = item->childItems();
    for (QQuickItem *child : children)
        collectTexts(child, texts);
}

QStringList shownTexts(QQuickItem *item)
{
    QStringList texts;
    collectTexts(item, texts);
    return texts;
}

// The item that shows this text, under item.
QQuickItem *findText(QQuickItem *item, const QString &text)
{
    if (item->property("text").toString() == text)
        return item;
    const QList<QQuickItem *> children = item->childItems();
    for (QQuickItem *child : children) {
        if (QQuickItem *found = findText(child, text))
            return found;
    }
    return nullptr;
}

} // namespace

// The contact-card call that HVCall makes for a contact with several numbers,
// answered by the app: in a running app, and by starting it over the bus.
class TestHalvaneContactCard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void callOpensTheCard();
    void callStartsTheApp();

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
};

void TestHalvaneContactCard::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString base = m_dir.path() + QLatin1Char('/');
    // The bus starts the app from the build tree through the session services
    // directory under XDG_DATA_HOME; the app inherits this environment.
    const QString services = base + QLatin1String("data/dbus-1/services");
    QVERIFY(QDir().mkpath(services) && QDir().mkpath(base + QLatin1String("plugins")));
    QVERIFY(QFile::copy(QStringLiteral(HVTEST_CARD_SERVICE_FILE), services + QLatin1String("/org.halvane.ContactCard.service")));
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base + QLatin1String("plugins/")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + QLatin1String("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(base + QLatin1String("data")));
    // No system bus: no modem to reach, and never a real call from a test.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(base) + "no-system-bus");
    // The bus leads a session of its own: the apps it starts end with it,
    // also one that never answered.
    QVERIFY(QDir().mkpath(base + QLatin1String("bus")));
    m_bus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_bus.start(QStringLiteral("setsid"), {QStringLiteral("dbus-daemon"), QStringLiteral("--session"), QStringLiteral("--nofork"),
                                          QStringLiteral("--address=unix:dir=") + base + QLatin1String("bus"),
                                          QStringLiteral("--print-address=1")});
    QVERIFY(m_bus.waitForStarted());
    const QByteArray address = HVTest::readLine(m_bus, 10000).trimmed();
    QVERIFY(!address.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QVERIFY(HVTest::loadTranslations());
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
}

void TestHalvaneContactCard::cleanupTestCase()
{
    if (m_bus.processId() > 0)
        ::kill(-pid_t(m_bus.processId()), SIGTERM);
    m_bus.waitForFinished();
}

void TestHalvaneContactCard::callOpensTheCard()
{
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral(HVTEST_QML_DIR));
    engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
    QCOMPARE(engine.rootObjects().size(), 1);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    QVERIFY(window);
    HVContactCardService service(window);
    QVERIFY(service.registerOnBus());

    QContact contact;
    QContactName name;
    name.setFirstName(QStringLiteral("Ada"));
    name.setLastName(QStringLiteral("Lovelace"));
    contact.saveDetail(&name);
    QContactPhoneNumber mobile;
    mobile.setNumber(QStringLiteral("+15550101"));
    mobile.setSubTypes({QContactPhoneNumber::SubTypeMobile});
    contact.saveDetail(&mobile);
    QContactPhoneNumber home;
    home.setNumber(QStringLiteral("+15550102"));
    home.setContexts(QContactDetail::ContextHome);
    contact.saveDetail(&home);
    // Several numbers: the caller asks for the card instead of dialling.
    HVCall call;
    call.makeCall(contact);

    QTRY_VERIFY(currentPage(window) && currentPage(window)->property("isContactCard").toBool());
    QQuickItem *page = currentPage(window);
    QCOMPARE(page->property("title").toString(), QStringLiteral("Ada Lovelace"));
    const QStringList expected = {QStringLiteral("Ada Lovelace"), QStringLiteral("+15550101"), QStringLiteral("Mobile"),
                                  QStringLiteral("+15550102"), QStringLiteral("Home")};
    QTRY_VERIFY2([&] {
        const QStringList texts = shownTexts(page);
        return std::all_of(expected.begin(), expected.end(), [&](const QString &t) { return texts.contains(t); });
    }(), qPrintable(shownTexts(page).join(QLatin1String(" | "))));

    // Choosing a number hands it to the caller, which finds no modem here.
    QQuickItem *row = findText(page, QStringLiteral("+15550102"));
    while (row && row->metaObject()->indexOfSignal("clicked()") < 0)
        row = row->parentItem();
    QVERIFY(row);
    QVERIFY(QMetaObject::invokeMethod(row, "clicked"));
    QTRY_VERIFY(findText(window->contentItem(), QStringLiteral("Calls are not available: no modem was found.")));

    // A card with a number as a tel: URI and its types quoted, as vCard 4 has
    // them, takes its place; one that cannot be shown leaves it.
    const auto show = [window](const QString &card) {
        QVariant problem;
        QMetaObject::invokeMethod(window, "showContactCard", Q_RETURN_ARG(QVariant, problem), Q_ARG(QVariant, QString()),
                                  Q_ARG(QVariant, card));
        return problem.toString();
    };
    QCOMPARE(show(QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bo\r\nN:;Bo;;;\r\n"
                                 "TEL;VALUE=uri;TYPE=\"voice,cell\":tel:+20-100-123-4567\r\nEND:VCARD\r\n")),
             QString());
    QTRY_COMPARE(currentPage(window)->property("title").toString(), QStringLiteral("Bo"));
    QTRY_VERIFY2([&] {
        const QStringList texts = shownTexts(currentPage(window));
        return texts.contains(QStringLiteral("+20-100-123-4567")) && texts.contains(QStringLiteral("Mobile"));
    }(), qPrintable(shownTexts(currentPage(window)).join(QLatin1String(" | "))));
    QVERIFY(!show(QStringLiteral("no card")).isEmpty());
    QCOMPARE(currentPage(window)->property("title").toString(), QStringLiteral("Bo"));
}

void TestHalvaneContactCard::callStartsTheApp()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QVERIFY(!bus.interface()->isServiceRegistered(QLatin1String(CardService)).value());
    const auto show = [&](const QString &id, const QString &vcard) {
        QDBusMessage message = QDBusMessage::createMethodCall(QLatin1String(CardService), QStringLiteral("/org/halvane/ContactCard"),
                                                              QLatin1String(CardService), QStringLiteral("Show"));
        message << id << vcard;
        return bus.call(message, QDBus::Block, 120000);
    };

    // The bus starts the app, which takes the call once it can show the card.
    const QDBusMessage shown = show(QStringLiteral("7"), QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Lovelace\r\n"
                                                                      "N:Lovelace;Ada;;;\r\nTEL;TYPE=CELL:+15550101\r\n"
                                                                      "TEL;TYPE=HOME:+15550102\r\nEND:VCARD\r\n"));
    QVERIFY2(shown.type() == QDBusMessage::ReplyMessage, qPrintable(shown.errorName() + QLatin1Char(' ') + shown.errorMessage()));
    const uint pid = bus.interface()->servicePid(QLatin1String(CardService)).value();
    QVERIFY(pid > 0);

    // What is no card is refused with a reason, and the app runs on.
    const QDBusMessage refused = show(QStringLiteral("8"), QStringLiteral("no card at all"));
    QCOMPARE(refused.errorName(), QStringLiteral("org.halvane.ContactCard.Error.InvalidCard"));
    QVERIFY(!refused.errorMessage().isEmpty());
    QCOMPARE(bus.interface()->servicePid(QLatin1String(CardService)).value(), pid);
}

QTEST_MAIN(TestHalvaneContactCard)

#include "tst_halvanecontactcard.moc"
