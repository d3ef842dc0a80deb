#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvspeech.h"
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
    installReader(dir);

    HVSpeechPluginManager manager;
    HVSpeech *speech = manager.loadSpeechPlugin(QStringLiteral("speech"));
    QVERIFY(speech);
    QVERIFY(speech->metaObject()->indexOfSlot("sayText(QString)") >= 0);
    // Another directory name holds nothing.
    HVSpeechPluginManager other;
    QCOMPARE(other.loadSpeechPlugin(QStringLiteral("nothing-here")), nullptr);
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
