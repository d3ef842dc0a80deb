// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtTest/QtTest>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QScopedPointer>
#include <QtCore/QTemporaryDir>

#include "hvpluginmanager.h"
#include "hvservice.h"
#include "hvserviceplugin.h"
#include "hvtestfixture.h"

using namespace Halvane;

namespace {

// The key of the plug-in behind a root object, or an empty string when the
// object is no service plug-in.
QString pluginKey(QObject *root)
{
    auto *plugin = qobject_cast<HVServicePlugin *>(root);
    return plugin ? plugin->key() : QString();
}

// The file a root object was loaded from: the test plug-in names its services
// after it.
QString loadedFrom(QObject *root)
{
    auto *plugin = qobject_cast<HVServicePlugin *>(root);
    if (!plugin)
        return QString();
    QScopedPointer<HVService> service(plugin->createService());
    return service ? service->objectName() : QString();
}

} // namespace

class Testhvpluginmanager : public QObject
{
    Q_OBJECT

private:
    // A fresh plug-ins base directory for one test; pluginsPath() follows it.
    bool usePluginsDir(QTemporaryDir &dir)
    {
        if (!dir.isValid())
            return false;
        qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(dir.path()));
        return true;
    }

    static QString subPath(const QTemporaryDir &dir) { return dir.path() + QLatin1String("/plugins"); }

private Q_SLOTS:
    void cleanup()
    {
        qunsetenv("HALVANE_PLUGINS_PATH");
    }

    void loadsEveryPluginByFileName()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path()));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), dir.path()));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::WeatherPlugin), subPath(dir)));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::FeedPlugin), subPath(dir)));

        HVPluginManager manager(QString(), nullptr);
        QCOMPARE(manager.list(), QStringList({QStringLiteral("libhvtestevent.so"),
                                              QStringLiteral("libhvtestfeed.so"),
                                              QStringLiteral("libhvtestmessage.so"),
                                              QStringLiteral("libhvtestweather.so")}));

        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvtestevent.so"))), QStringLiteral("halvanetestevent"));
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvtestfeed.so"))), QStringLiteral("halvanetestfeed"));
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvtestmessage.so"))),
                 QStringLiteral("halvanetestmessage"));
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvtestweather.so"))),
                 QStringLiteral("halvanetestweather"));

        // A second request answers the object already loaded.
        QObject *first = manager.instance(QStringLiteral("libhvtestevent.so"));
        QVERIFY(first);
        QCOMPARE(manager.instance(QStringLiteral("libhvtestevent.so")), first);

        // Each loader points at the file it was found as.
        QCOMPARE(loadedFrom(manager.instance(QStringLiteral("libhvtestmessage.so"))),
                 dir.path() + QLatin1String("/libhvtestmessage.so"));
        QCOMPARE(loadedFrom(manager.instance(QStringLiteral("libhvtestfeed.so"))),
                 subPath(dir) + QLatin1String("/libhvtestfeed.so"));
    }

    void pluginsPathReplacesBasePath()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        // Two different plug-ins under one file name: the key tells which file was loaded.
        const QString fileName = QStringLiteral("libhvshared.so");
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path(), fileName));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), subPath(dir), fileName));

        HVPluginManager manager(QString(), nullptr);
        QCOMPARE(manager.list(), QStringList(fileName));
        QObject *root = manager.instance(fileName);
        QCOMPARE(pluginKey(root), QStringLiteral("halvanetestevent"));
        QCOMPARE(loadedFrom(root), subPath(dir) + QLatin1Char('/') + fileName);
    }

    void versionedNamesGiveOneLoaderEach()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        const QString major = QStringLiteral("libhvtestmessage.so.1");
        const QString full = QStringLiteral("libhvtestmessage.so.1.0.0");
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path(), full));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path(), major));

        HVPluginManager manager(QString(), nullptr);
        QCOMPARE(manager.list(), QStringList({major, full}));

        QObject *majorRoot = manager.instance(major);
        QObject *fullRoot = manager.instance(full);
        QCOMPARE(pluginKey(majorRoot), QStringLiteral("halvanetestmessage"));
        QCOMPARE(pluginKey(fullRoot), QStringLiteral("halvanetestmessage"));
        // Two files are two libraries, each with its own root object.
        QVERIFY(majorRoot != fullRoot);
        QCOMPARE(loadedFrom(majorRoot), dir.path() + QLatin1Char('/') + major);
        QCOMPARE(loadedFrom(fullRoot), dir.path() + QLatin1Char('/') + full);
    }

    void libraryThatIsNoPlugin()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::NotAPlugin), dir.path()));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path()));

        HVPluginManager manager(QString(), nullptr);
        // Found by its name like any other library...
        QCOMPARE(manager.list(), QStringList({QStringLiteral("libhvnotaplugin.so"),
                                              QStringLiteral("libhvtestmessage.so")}));

        // ...but refused when loaded, with the loader's reason.
        QTest::ignoreMessage(QtDebugMsg,
                             QRegularExpression(QStringLiteral("^Error loading .*libhvnotaplugin\\.so.* with error .+")));
        QCOMPARE(manager.instance(QStringLiteral("libhvnotaplugin.so")), static_cast<QObject *>(nullptr));

        // The failure leaves the other library alone.
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvtestmessage.so"))),
                 QStringLiteral("halvanetestmessage"));
    }

    void unknownFileName()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path()));

        HVPluginManager manager(QString(), nullptr);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Could not find .*libhvnothere\\.so.* to load")));
        QCOMPARE(manager.instance(QStringLiteral("libhvnothere.so")), static_cast<QObject *>(nullptr));

        // Libraries are known by bare file name, not by path.
        const QString path = dir.path() + QLatin1String("/libhvtestmessage.so");
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Could not find .* to load")));
        QCOMPARE(manager.instance(path), static_cast<QObject *>(nullptr));
    }

    void directoryName()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        const QString sub = QStringLiteral("services");
        // Directly in the search paths: not looked at when a sub-directory is named.
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::WeatherPlugin), dir.path()));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::FeedPlugin), subPath(dir)));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path() + QLatin1Char('/') + sub));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path() + QLatin1Char('/') + sub,
                                      QStringLiteral("libhvshared.so")));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), subPath(dir) + QLatin1Char('/') + sub,
                                      QStringLiteral("libhvshared.so")));

        HVPluginManager manager(sub, nullptr);
        QCOMPARE(manager.list(), QStringList({QStringLiteral("libhvshared.so"), QStringLiteral("libhvtestmessage.so")}));
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvtestmessage.so"))),
                 QStringLiteral("halvanetestmessage"));
        // The "plugins" path wins inside the sub-directory too.
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvshared.so"))), QStringLiteral("halvanetestevent"));

        // The same directories without a sub-directory see the other files.
        HVPluginManager plain(QString(), nullptr);
        QCOMPARE(plain.list(), QStringList({QStringLiteral("libhvtestfeed.so"), QStringLiteral("libhvtestweather.so")}));
    }

    void missingDirectories()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Neither the base directory nor its "plugins" path exists.
        qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(dir.path() + QLatin1String("/missing")));
        {
            HVPluginManager manager(QString(), nullptr);
            QVERIFY(manager.list().isEmpty());
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Could not find")));
            QCOMPARE(manager.instance(QStringLiteral("libhvtestmessage.so")), static_cast<QObject *>(nullptr));
        }

        // The base directory holds no library itself, only its "plugins" path does.
        QVERIFY(usePluginsDir(dir));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), subPath(dir)));
        {
            HVPluginManager manager(QString(), nullptr);
            QCOMPARE(manager.list(), QStringList(QStringLiteral("libhvtestmessage.so")));
        }

        // A named sub-directory that exists nowhere.
        QVERIFY(usePluginsDir(dir));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path()));
        HVPluginManager manager(QStringLiteral("nosuchdir"), nullptr);
        QVERIFY(manager.list().isEmpty());
    }

    void logsSearchPaths()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        const QString base = QRegularExpression::escape(dir.path() + QLatin1Char('/'));
        // The base path first, then the "plugins" path appended to it.
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Library path: .*\"%1\".*\"%1plugins\"").arg(base)));
        HVPluginManager manager(QString(), nullptr);
        QVERIFY(manager.list().isEmpty());
    }

    void listIsSorted()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        // Spread over both search paths, created out of order.
        const QStringList base{QStringLiteral("libzeta.so"), QStringLiteral("libmid.so.2"), QStringLiteral("liba.so")};
        const QStringList plugins{QStringLiteral("libomega.so"), QStringLiteral("libb.so.1.0"),
                                  QStringLiteral("libmid.so.2")};
        for (const QString &name : base)
            QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), dir.path(), name));
        for (const QString &name : plugins)
            QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), subPath(dir), name));

        HVPluginManager manager(QString(), nullptr);
        QCOMPARE(manager.list(), QStringList({QStringLiteral("liba.so"), QStringLiteral("libb.so.1.0"),
                                              QStringLiteral("libmid.so.2"), QStringLiteral("libomega.so"),
                                              QStringLiteral("libzeta.so")}));
    }

    void onlyLibraryFilesAreListed()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        const QString plugin = QLatin1String(HVTest::MessagePlugin);
        QVERIFY(HVTest::installPlugin(plugin, dir.path()));
        // No ".so" in the name.
        QVERIFY(HVTest::installPlugin(plugin, dir.path(), QStringLiteral("libhvtestmessage.dll")));
        QVERIFY(HVTest::installPlugin(plugin, dir.path(), QStringLiteral("libhvtestmessage")));
        QVERIFY(HVTest::installPlugin(plugin, subPath(dir), QStringLiteral("libhvtestmessage_so")));
        // Hidden files and directories do not count, even with ".so" in the name.
        QVERIFY(HVTest::installPlugin(plugin, dir.path(), QStringLiteral(".libhidden.so")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("libdirectory.so")));
        // A symbolic link to a library is a library.
        QVERIFY(QFile::link(dir.path() + QLatin1String("/libhvtestmessage.so"),
                            subPath(dir) + QLatin1String("/liblinked.so")));

        HVPluginManager manager(QString(), nullptr);
        QCOMPARE(manager.list(), QStringList({QStringLiteral("libhvtestmessage.so"), QStringLiteral("liblinked.so")}));
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("liblinked.so"))), QStringLiteral("halvanetestmessage"));
    }

    void scanningLoadsNothing()
    {
        QTemporaryDir dir;
        QVERIFY(usePluginsDir(dir));
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), dir.path(), QStringLiteral("libhvlate.so")));

        HVPluginManager manager(QString(), nullptr);
        QCOMPARE(manager.list(), QStringList(QStringLiteral("libhvlate.so")));
        // The library is loaded on request only: replacing the file after the
        // scan decides what instance() finds.
        QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::WeatherPlugin), dir.path(), QStringLiteral("libhvlate.so")));
        QCOMPARE(pluginKey(manager.instance(QStringLiteral("libhvlate.so"))), QStringLiteral("halvanetestweather"));
    }
};

QTEST_GUILESS_MAIN(Testhvpluginmanager)
#include "tst_hvpluginmanager.moc"
