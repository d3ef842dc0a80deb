// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtTest/QtTest>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QMetaMethod>
#include <QtCore/QPluginLoader>
#include <QtCore/QRegularExpression>
#include <QtCore/QScopedPointer>
#include <QtCore/QTemporaryDir>

#include "hvitemtype.h"
#include "hvservice.h"
#include "hvservicefactory.h"
#include "hvserviceplugin.h"
#include "hvservicesource.h"
#include "hvtestfixture.h"

using namespace Halvane;

// Checks the current data row: the method's kind, access, return type and parameter names.
static void checkMethod(const QMetaObject &meta)
{
    QFETCH(QByteArray, signature);
    QFETCH(int, methodType);
    QFETCH(QByteArray, returnType);
    QFETCH(QList<QByteArray>, parameterNames);

    const int index = meta.indexOfMethod(signature.constData());
    QVERIFY2(index >= meta.methodOffset(), signature.constData());
    const QMetaMethod method = meta.method(index);
    QCOMPARE(int(method.methodType()), methodType);
    QCOMPARE(method.access(), QMetaMethod::Public);
    QCOMPARE(QByteArray(method.typeName()), returnType);
    QCOMPARE(method.parameterNames(), parameterNames);
}

class Testhvservicefactory : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_pluginsDir;
    static constexpr int GeneratedItems = 4;

    static QString key(const char *suffix) { return QStringLiteral("halvanetest") + QLatin1String(suffix); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_pluginsDir.isValid());
        const QString base = m_pluginsDir.path();
        const QString sub = base + QLatin1String("/plugins");
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), base));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), base));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::FeedPlugin), sub));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::WeatherPlugin), sub));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::NoSourcePlugin), base));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::NotAPlugin), base));
        // One library under two names, both with the key "halvanetestsms". The name
        // that sorts last sits in the base path, so "later search path wins" and
        // "sorted last wins" give different answers.
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::SmsPlugin), base, QStringLiteral("libhvtestsms.so.1.0.0")));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::SmsPlugin), sub, QStringLiteral("libhvtestsms.so.1")));

        qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base));
        qputenv("HALVANE_TEST_GENERATE", QByteArray::number(GeneratedItems));

        // The first call builds the registry; the broken library is reported and skipped.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Error loading .*libhvnotaplugin\\.so.* with error")));
        QVERIFY(!HVServiceFactory::keys().isEmpty());
    }

    void cleanupTestCase()
    {
        qunsetenv("HALVANE_TEST_GENERATE");
    }

    void keysAreSorted()
    {
        QCOMPARE(HVServiceFactory::keys(), QStringList({key("event"), key("feed"), key("message"), key("nosource"),
                                                        key("sms"), key("weather")}));
    }

    void createService_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("itemType");
        QTest::newRow("event") << key("event") << HVItemType::TypeEvent;
        QTest::newRow("feed") << key("feed") << HVItemType::TypeFeed;
        QTest::newRow("message") << key("message") << HVItemType::TypeMessage;
        QTest::newRow("sms") << key("sms") << HVItemType::TypeMessage;
        QTest::newRow("weather") << key("weather") << HVItemType::TypeWeather;
    }

    void createService()
    {
        QFETCH(QString, key);
        QFETCH(QString, itemType);

        QScopedPointer<HVService> service(HVServiceFactory::createService(key));
        QVERIFY(service);
        QCOMPARE(service->service(), key);
        QVERIFY(service->hasSource());
        HVServiceSource *source = service->source();
        QVERIFY(source);
        QCOMPARE(service->source(), source);

        const QDate today = QDate::currentDate();
        const QList<HVItem> items = source->retrieveItemList(QDateTime(today, QTime(0, 0)),
                                                             QDateTime(today.addDays(1), QTime(0, 0)));
        QCOMPARE(items.size(), int(GeneratedItems));
        for (const HVItem &item : items) {
            QCOMPARE(item.type(), itemType);
            QCOMPARE(item.id().managerUri(), key);
        }

        // Every call makes a service of its own.
        QScopedPointer<HVService> other(HVServiceFactory::createService(key));
        QVERIFY(other);
        QVERIFY(other.data() != service.data());
        QVERIFY(other->source() != source);
    }

    void pluginWithoutSource()
    {
        QVERIFY(HVServiceFactory::keys().contains(key("nosource")));
        QScopedPointer<HVService> service(HVServiceFactory::createService(key("nosource")));
        QVERIFY(service);
        QCOMPARE(service->service(), key("nosource"));
        QVERIFY(!service->hasSource());
        QCOMPARE(service->source(), static_cast<HVServiceSource *>(nullptr));
        QVERIFY(HVServiceFactory::supports(key("nosource"), HVItemType::TypeFeed));
    }

    void unknownKey()
    {
        QCOMPARE(HVServiceFactory::createService(QStringLiteral("halvanetestnothere")), static_cast<HVService *>(nullptr));
        QCOMPARE(HVServiceFactory::createService(QString()), static_cast<HVService *>(nullptr));
        // Keys are plug-in keys, not library names.
        QCOMPARE(HVServiceFactory::createService(QStringLiteral("libhvtestevent.so")), static_cast<HVService *>(nullptr));
        QVERIFY(!HVServiceFactory::supports(QStringLiteral("halvanetestnothere"), HVItemType::TypeEvent));
        QVERIFY(!HVServiceFactory::supports(QString(), HVItemType::TypeEvent));
        QVERIFY(!HVServiceFactory::supports(QString(), QString()));
    }

    void supports_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("itemType");
        QTest::addColumn<bool>("supported");
        QTest::newRow("event/event") << key("event") << HVItemType::TypeEvent << true;
        QTest::newRow("event/message") << key("event") << HVItemType::TypeMessage << false;
        QTest::newRow("event/empty") << key("event") << QString() << false;
        QTest::newRow("feed/feed") << key("feed") << HVItemType::TypeFeed << true;
        QTest::newRow("feed/weather") << key("feed") << HVItemType::TypeWeather << false;
        QTest::newRow("message/message") << key("message") << HVItemType::TypeMessage << true;
        QTest::newRow("message/event") << key("message") << HVItemType::TypeEvent << false;
        QTest::newRow("message/empty") << key("message") << QString() << false;
        QTest::newRow("sms/message") << key("sms") << HVItemType::TypeMessage << true;
        QTest::newRow("weather/weather") << key("weather") << HVItemType::TypeWeather << true;
        QTest::newRow("weather/feed") << key("weather") << HVItemType::TypeFeed << false;
        QTest::newRow("weather/empty") << key("weather") << QString() << false;
        QTest::newRow("weather/key") << key("weather") << key("weather") << false;
    }

    void supports()
    {
        QFETCH(QString, key);
        QFETCH(QString, itemType);
        QFETCH(bool, supported);
        QCOMPARE(HVServiceFactory::supports(key, itemType), supported);
    }

    void sameLibraryUnderTwoNames()
    {
        QScopedPointer<HVService> service(HVServiceFactory::createService(key("sms")));
        QVERIFY(service);
        // The test plug-in names its services after the file it was loaded from.
        QCOMPARE(service->objectName(), m_pluginsDir.path() + QLatin1String("/libhvtestsms.so.1.0.0"));
    }

    void pluginObjectCasts()
    {
        QPluginLoader loader(m_pluginsDir.path() + QLatin1String("/libhvtestevent.so"));
        QObject *root = loader.instance();
        QVERIFY2(root, qPrintable(loader.errorString()));

        auto *plugin = qobject_cast<HVServicePlugin *>(root);
        QVERIFY(plugin);
        HVServicePluginInterface *expected = plugin;

        void *byName = root->qt_metacast("HVServicePluginInterface");
        void *byIid = root->qt_metacast("com.corvant.halvane.HVServicePluginInterface/1.0");
        QCOMPARE(byName, static_cast<void *>(expected));
        QCOMPARE(byIid, static_cast<void *>(expected));
        QCOMPARE(qobject_cast<HVServicePluginInterface *>(root), expected);
        QCOMPARE(static_cast<HVServicePluginInterface *>(byIid)->key(), key("event"));
        QCOMPARE(root->qt_metacast("com.corvant.halvane.HVServicePluginInterface/2.0"), static_cast<void *>(nullptr));

        // The registry's plug-in is the library's one root object.
        QScopedPointer<HVService> fromLoader(expected->createService());
        QScopedPointer<HVService> fromFactory(HVServiceFactory::createService(key("event")));
        QVERIFY(fromLoader && fromFactory);
        QCOMPARE(fromLoader->objectName(), fromFactory->objectName());
    }

    void serviceMetaObject_data()
    {
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<int>("methodType");
        QTest::addColumn<QByteArray>("returnType");
        QTest::addColumn<QList<QByteArray>>("parameterNames");

        QTest::newRow("actionCompleted") << QByteArray("actionCompleted(bool)") << int(QMetaMethod::Signal)
                                         << QByteArray("void") << QList<QByteArray>{"success"};
        QTest::newRow("cancelOperation") << QByteArray("cancelOperation()") << int(QMetaMethod::Slot)
                                         << QByteArray("bool") << QList<QByteArray>{};
    }

    void serviceMetaObject()
    {
        checkMethod(HVService::staticMetaObject);
    }

    void sourceMetaObject_data()
    {
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<int>("methodType");
        QTest::addColumn<QByteArray>("returnType");
        QTest::addColumn<QList<QByteArray>>("parameterNames");

        const QList<QByteArray> items{"items"};
        QTest::newRow("itemsAdded") << QByteArray("itemsAdded(QList<HVItem>)") << int(QMetaMethod::Signal)
                                    << QByteArray("void") << items;
        QTest::newRow("itemsChanged") << QByteArray("itemsChanged(QList<HVItem>)") << int(QMetaMethod::Signal)
                                      << QByteArray("void") << items;
        QTest::newRow("itemsRemoved") << QByteArray("itemsRemoved(QList<HVItem>)") << int(QMetaMethod::Signal)
                                      << QByteArray("void") << items;
        QTest::newRow("processEvents") << QByteArray("processEvents()") << int(QMetaMethod::Signal)
                                       << QByteArray("void") << QList<QByteArray>{};
        QTest::newRow("retrieveItemList") << QByteArray("retrieveItemList(QDateTime,QDateTime)")
                                          << int(QMetaMethod::Slot) << QByteArray("QList<HVItem>")
                                          << QList<QByteArray>{"fromDateTime", "toDateTime"};
        QTest::newRow("synchronize") << QByteArray("synchronize()") << int(QMetaMethod::Slot) << QByteArray("bool")
                                     << QList<QByteArray>{};
    }

    void sourceMetaObject()
    {
        checkMethod(HVServiceSource::staticMetaObject);
    }

    void callsBySignature()
    {
        // The framework reaches sources by these strings; the plug-in's override answers.
        QScopedPointer<HVService> service(HVServiceFactory::createService(key("message")));
        QVERIFY(service && service->source());
        QSignalSpy added(service->source(), SIGNAL(itemsAdded(QList<HVItem>)));
        QVERIFY(added.isValid());

        QList<HVItem> items;
        const QDate today = QDate::currentDate();
        QVERIFY(QMetaObject::invokeMethod(service->source(), "retrieveItemList", Qt::DirectConnection,
                                          Q_RETURN_ARG(QList<HVItem>, items),
                                          Q_ARG(QDateTime, QDateTime(today, QTime(0, 0))),
                                          Q_ARG(QDateTime, QDateTime(today.addDays(1), QTime(0, 0)))));
        QCOMPARE(items.size(), int(GeneratedItems));
    }

    void registryIsBuiltOnce()
    {
        const QStringList keys = HVServiceFactory::keys();
        // Libraries stay loaded and no new scan happens: removing the files changes nothing.
        QVERIFY(QDir(m_pluginsDir.path()).removeRecursively());
        QCOMPARE(HVServiceFactory::keys(), keys);
        QScopedPointer<HVService> service(HVServiceFactory::createService(key("weather")));
        QVERIFY(service);
        QVERIFY(service->source());
        QVERIFY(HVServiceFactory::supports(key("weather"), HVItemType::TypeWeather));
    }
};

QTEST_GUILESS_MAIN(Testhvservicefactory)
#include "tst_hvservicefactory.moc"
