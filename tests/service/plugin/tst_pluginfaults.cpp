// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtTest/QtTest>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>

#include "hvpluginmanager.h"
#include "hvserviceplugin.h"
#include "hvtestfixture.h"

using namespace Halvane;

// Plug-in libraries that are damaged or wrong, in a plug-ins directory of
// their own beside a good one. What Qt's loader can refuse is refused and the
// other plug-ins still load. A library that crashes in its own code (here in
// key()) cannot be survived in-process: the registry calls into it, and the
// process goes down with it; the probe program shows that, and that the same
// directory without it works.
class TestPluginFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void damagedLibrariesAreSkipped_data();
    void damagedLibrariesAreSkipped();
    void wrongInterfaceIsSkipped();
    void crashInKeyCannotBeSurvived();

private:
    // Writes a plug-ins directory with the good test plug-in; answers its base.
    QString pluginsBase(QTemporaryDir &dir);
    // Runs the probe on a plug-ins base; its keys, or why it did not finish.
    QStringList probeKeys(const QString &base, QProcess::ExitStatus *status);
};

void TestPluginFaults::cleanup()
{
    qunsetenv("HALVANE_PLUGINS_PATH");
}

QString TestPluginFaults::pluginsBase(QTemporaryDir &dir)
{
    if (!dir.isValid() || !HVTest::installPlugin(HVTest::MessagePlugin, dir.filePath("plugins")))
        return QString();
    return dir.path() + QLatin1Char('/');
}

QStringList TestPluginFaults::probeKeys(const QString &base, QProcess::ExitStatus *status)
{
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HALVANE_PLUGINS_PATH", base);
    probe.setProcessEnvironment(env);
    probe.start(HVTEST_PLUGIN_PROBE, QStringList());
    if (!probe.waitForFinished(60000)) {
        probe.kill();
        probe.waitForFinished();
    }
    *status = probe.exitStatus();
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return {QStringLiteral("failed: ") + QString::fromLocal8Bit(probe.readAllStandardError().right(500))};
    return QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

void TestPluginFaults::damagedLibrariesAreSkipped_data()
{
    QFile good(HVTest::pluginFile(HVTest::EventPlugin));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray library = good.readAll();
    QVERIFY(library.size() > 8192);

    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ELF header only") << library.left(64);
    QTest::newRow("first page") << library.left(4096);
    QTest::newRow("half") << library.left(library.size() / 2);
    QTest::newRow("section table cut") << library.left(library.size() - 64);
    QByteArray noise;
    for (int i = 0; i < 65536; ++i)
        noise.append(char((i * 2654435761u) >> 24));
    QTest::newRow("noise") << noise;
    QTest::newRow("ELF header, then noise") << library.left(64) + noise;
    QByteArray headersWrong = library;
    // Section header offset and count pointing far past the end.
    for (int i = 0x28; i < 0x30; ++i)
        headersWrong[i] = '\x7f';
    headersWrong[0x3c] = '\xff';
    headersWrong[0x3d] = '\xff';
    QTest::newRow("section headers out of range") << headersWrong;
    QTest::newRow("text") << QByteArray("INPUT(libhalvaneservice.so)\n");
}

void TestPluginFaults::damagedLibrariesAreSkipped()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString base = pluginsBase(dir);
    QVERIFY(!base.isEmpty());
    QFile damaged(dir.filePath("plugins/libhvdamaged.so"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(content);
    damaged.close();

    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base));
    HVPluginManager manager(QString(), nullptr);
    QCOMPARE(manager.list(), (QStringList{"libhvdamaged.so", "libhvtestmessage.so"}));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Error loading \"libhvdamaged.so\" with error"));
    QVERIFY(!manager.instance("libhvdamaged.so"));
    auto *plugin = qobject_cast<HVServicePlugin *>(manager.instance("libhvtestmessage.so"));
    QVERIFY(plugin);
    QCOMPARE(plugin->key(), QStringLiteral("halvanetestmessage"));

    // The registry of a whole process: the good plug-in only.
    QProcess::ExitStatus status;
    QCOMPARE(probeKeys(base, &status), QStringList{"halvanetestmessage"});
}

void TestPluginFaults::wrongInterfaceIsSkipped()
{
    QTemporaryDir dir;
    const QString base = pluginsBase(dir);
    QVERIFY(!base.isEmpty());
    QVERIFY(QFile::copy(HVTEST_OTHER_INTERFACE_PLUGIN, dir.filePath("plugins/libhvother.so")));
    // A plain library, no Qt plug-in at all.
    QVERIFY(HVTest::installPlugin(HVTest::NotAPlugin, dir.filePath("plugins")));

    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base));
    HVPluginManager manager(QString(), nullptr);
    QObject *other = manager.instance("libhvother.so");
    QVERIFY(other);
    QVERIFY(!qobject_cast<HVServicePlugin *>(other));
    QVERIFY(!manager.instance("libhvnotaplugin.so"));

    QProcess::ExitStatus status;
    QCOMPARE(probeKeys(base, &status), QStringList{"halvanetestmessage"});
}

void TestPluginFaults::crashInKeyCannotBeSurvived()
{
    QTemporaryDir dir;
    const QString base = pluginsBase(dir);
    QVERIFY(!base.isEmpty());
    QVERIFY(QFile::copy(HVTEST_CRASHING_KEY_PLUGIN, dir.filePath("plugins/libhvcrashingkey.so")));

    QProcess::ExitStatus status = QProcess::NormalExit;
    const QStringList keys = probeKeys(base, &status);
    QCOMPARE(status, QProcess::CrashExit);
    QVERIFY(keys.value(0).startsWith("failed"));

    // Without it, the same directory is fine.
    QVERIFY(QFile::remove(dir.filePath("plugins/libhvcrashingkey.so")));
    QCOMPARE(probeKeys(base, &status), QStringList{"halvanetestmessage"});
}

QTEST_GUILESS_MAIN(TestPluginFaults)
#include "tst_pluginfaults.moc"
