// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <cstring>

#include "hvspeech.h"
#include "hvspeechplugininterface.h"
#include "hvspeechpluginmanager.h"
#include "hvtestfixture.h"

using namespace Halvane;

// Loads the real espeak reader plug-in from temporary plug-in directories.
class TestHVSpeechPluginManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void findsReaderAmongOtherFiles();
    void speechPluginIsFirstVirtual();
    void secondCallAnswersSameReader();
    void noneInstalledSearchesAgain();

private:
    void installReader(const QString &dir);

    std::unique_ptr<QTemporaryDir> m_base;
};

void TestHVSpeechPluginManager::init()
{
    m_base = std::make_unique<QTemporaryDir>();
    QVERIFY(m_base->isValid());
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_base->path()));
}

void TestHVSpeechPluginManager::installReader(const QString &dir)
{
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(QFile::copy(QStringLiteral(HVTEST_SPEECH_PLUGIN), dir + QLatin1String("/libzzspeech.so")));
}

void TestHVSpeechPluginManager::findsReaderAmongOtherFiles()
{
    const QString dir = m_base->filePath(QStringLiteral("speech"));
    // Skipped on the way: a text file, a library that is no plug-in, a plug-in
    // of another interface.
    QVERIFY(QDir().mkpath(dir));
    QFile text(dir + QLatin1String("/aaa-readme.so"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a library");
    text.close();
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::NotAPlugin), dir));
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), dir));
    // The listing is unsorted: the reader lies under a later base path, so
    // that every other file is tried first.
    const QString later = m_base->filePath(QStringLiteral("later"));
    installReader(later + QLatin1String("/speech"));
    QCoreApplication::addLibraryPath(later);

    // The loader's line for each file that is no plug-in; the plug-in of
    // another interface and the reader both load ("Unknown error").
    for (const QString &skipped : QDir(dir).entryList(QDir::Files)) {
        if (!skipped.contains(QLatin1String(HVTest::EventPlugin)))
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QRegularExpression::escape(dir + '/' + skipped)));
    }
    QTest::ignoreMessage(QtDebugMsg, "\"Unknown error\"");
    QTest::ignoreMessage(QtDebugMsg, "\"Unknown error\"");
    HVSpeechPluginManager manager;
    HVSpeech *speech = manager.loadSpeechPlugin(QStringLiteral("speech"));
    QCoreApplication::removeLibraryPath(later);
    QVERIFY(speech);
    QVERIFY(speech->metaObject()->indexOfSlot("sayText(QString)") >= 0);
    // Another directory name holds nothing.
    HVSpeechPluginManager other;
    QCOMPARE(other.loadSpeechPlugin(QStringLiteral("nothing-here")), nullptr);
}

void TestHVSpeechPluginManager::speechPluginIsFirstVirtual()
{
    // Itanium C++ ABI: a pointer to a virtual member function holds one plus
    // its byte offset in the virtual table.
    const auto member = &HVSpeechPluginInterface::speechPlugin;
    ptrdiff_t raw = 0;
    std::memcpy(&raw, &member, sizeof(raw));
    QCOMPARE(raw - 1, ptrdiff_t(0));
}

void TestHVSpeechPluginManager::secondCallAnswersSameReader()
{
    installReader(m_base->filePath(QStringLiteral("speech")));
    HVSpeechPluginManager manager;
    HVSpeech *first = manager.loadSpeechPlugin(QStringLiteral("speech"));
    QVERIFY(first);
    // Without the files the answer is still the one delivered.
    QVERIFY(QDir(m_base->filePath(QStringLiteral("speech"))).removeRecursively());
    QCOMPARE(manager.loadSpeechPlugin(QStringLiteral("speech")), first);
    QCOMPARE(manager.loadSpeechPlugin(QStringLiteral("other")), first);
}

void TestHVSpeechPluginManager::noneInstalledSearchesAgain()
{
    HVSpeechPluginManager manager;
    QCOMPARE(manager.loadSpeechPlugin(QStringLiteral("speech")), nullptr);
    installReader(m_base->filePath(QStringLiteral("speech")));
    QVERIFY(manager.loadSpeechPlugin(QStringLiteral("speech")));
}

QTEST_GUILESS_MAIN(TestHVSpeechPluginManager)
#include "tst_hvspeechpluginmanager.moc"
