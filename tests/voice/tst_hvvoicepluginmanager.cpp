// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QTemporaryDir>

#include <thread>
#include <QtTest/QtTest>

#include "hvtestfixture.h"
#include "hvvoice.h"
#include "hvvoicepluginmanager.h"
#include "hvvoicetestsupport.h"

using namespace Halvane;

namespace {

// The per-command signals of HVVoice, in their order, by name.
const char *const CommandSignals[] = {
    "commandMain",     "commandMessages", "commandFeeds",    "commandEvents",   "commandWeather",
    "commandBack",     "commandCommands", "commandHelp",     "commandRead",     "commandNext",
    "commandPrev",     "commandPause",    "commandStop",     "commandContinue", "commandRepeat",
    "commandMore",     "commandAttendees", "commandCall",
};

// Which per-command signals of one object fired since the last take().
class CommandRecorder
{
public:
    explicit CommandRecorder(HVVoice *voice)
    {
        for (const char *name : CommandSignals) {
            const QByteArray signal = QByteArray("2") + name + "()";
            m_spies.emplace_back(name, std::make_unique<QSignalSpy>(voice, signal.constData()));
        }
    }
    QList<QByteArray> take()
    {
        QList<QByteArray> fired;
        for (auto &spy : m_spies) {
            for (int i = spy.second->count(); i > 0; --i)
                fired.append(spy.first);
            spy.second->clear();
        }
        return fired;
    }

private:
    std::vector<std::pair<QByteArray, std::unique_ptr<QSignalSpy>>> m_spies;
};

// Records the reader states it is told.
class StatusVoice : public HVVoice
{
public:
    void slotSpeechStatus(HVVoice::VWSpeechStatus status) override { statuses.append(status); }
    QList<HVVoice::VWSpeechStatus> statuses;
};

} // namespace

// The voice plug-in manager finding the real sphinx plug-in in temporary
// plug-in directories, and the command signals of the voice interface.
class TestHVVoicePluginManager : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void commandsMapToTheirSignals();
    void baseVoiceDoesNothing();
    void nullVoiceEndsTheSearchAndLaterCallsSearchAgain();
    void findsVoicePluginAmongOtherFiles();

private:
    QString installSphinx(const QString &dir);

    std::unique_ptr<QTemporaryDir> m_base;
};

void TestHVVoicePluginManager::initTestCase()
{
    HVVoiceTest::recordLog();
}

void TestHVVoicePluginManager::init()
{
    m_base = std::make_unique<QTemporaryDir>();
    QVERIFY(m_base->isValid());
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_base->path()));
    HVVoiceTest::clearLog();
}

QString TestHVVoicePluginManager::installSphinx(const QString &dir)
{
    if (!QDir().mkpath(dir))
        return QString();
    const QString file = dir + QLatin1String("/libzzsphinx.so");
    return QFile::copy(QStringLiteral(HVTEST_SPHINX_PLUGIN), file) ? file : QString();
}

void TestHVVoicePluginManager::commandsMapToTheirSignals()
{
    HVVoice voice;
    CommandRecorder recorder(&voice);
    // Value by value: VCStart reads like VCRead; nothing leads to commandRepeat.
    const QList<QByteArray> expected{
        "commandMain", "commandMessages", "commandFeeds",    "commandEvents", "commandWeather",  "commandBack",
        "commandCommands", "commandHelp", "commandRead",     "commandRead",   "commandNext",     "commandPrev",
        "commandStop", "commandPause",    "commandContinue", "commandMore",   "commandAttendees", "commandCall",
    };
    for (int value = 0; value < expected.size(); ++value) {
        Q_EMIT voice.commandReceived(VoiceCommand(value));
        QCOMPARE(recorder.take(), QList<QByteArray>{expected.at(value)});
        QVERIFY(HVVoiceTest::logged(QStringLiteral("Command %1").arg(value)));
    }
    for (int value : {18, -1, 1000}) {
        Q_EMIT voice.commandReceived(VoiceCommand(value));
        QVERIFY(recorder.take().isEmpty());
        QVERIFY(HVVoiceTest::logged(QStringLiteral("Command %1").arg(value)));
    }

    // Emitted on another thread, the command arrives in the object's thread.
    qRegisterMetaType<VoiceCommand>("VoiceCommand");
    QSignalSpy next(&voice, &HVVoice::commandNext);
    std::thread([&voice] { Q_EMIT voice.commandReceived(VCNext); }).join();
    QCOMPARE(next.count(), 0);
    QTRY_COMPARE(next.count(), 1);
    QCOMPARE(recorder.take(), QList<QByteArray>{"commandNext"});
}

void TestHVVoicePluginManager::baseVoiceDoesNothing()
{
    HVVoice voice;
    QSignalSpy finished(&voice, &HVVoice::initializeFinished);
    voice.initialize();
    QCOMPARE(voice.getCurrentState(), 2);
    QVERIFY(!voice.start());
    QVERIFY(!voice.pause());
    voice.stop();
    QCOMPARE(voice.getCurrentState(), 2);
    QCOMPARE(finished.count(), 0);
    voice.slotSpeechStarted();
    voice.slotSpeechStopped();

    // Connected through the base class, the reader's slots reach the implementation.
    StatusVoice status;
    QObject reader;
    connect(&reader, &QObject::objectNameChanged, &status, &HVVoice::slotSpeechStarted);
    reader.setObjectName(QStringLiteral("reading"));
    static_cast<HVVoice &>(status).slotSpeechStopped();
    QCOMPARE(status.statuses, (QList<HVVoice::VWSpeechStatus>{HVVoice::VWSpeechStarted, HVVoice::VWSpeechStopped}));
}

void TestHVVoicePluginManager::nullVoiceEndsTheSearchAndLaterCallsSearchAgain()
{
    // pluginsPath() comes first: its plug-in without a voice object ends the
    // search before the library path with the real one is reached.
    const QString nullDir = m_base->filePath(QStringLiteral("voice"));
    QVERIFY(HVTest::installPlugin(QStringLiteral("hvtestnullvoice"), nullDir));
    QTemporaryDir libraryBase;
    QVERIFY(!installSphinx(libraryBase.filePath(QStringLiteral("voice"))).isEmpty());
    QCoreApplication::addLibraryPath(libraryBase.path());

    HVVoicePluginManager manager;
    QCOMPARE(manager.loadVoicePlugin(QStringLiteral("voice")), nullptr);
    QVERIFY(HVVoiceTest::logged(QStringLiteral("hello")));
    QVERIFY(!HVVoiceTest::loggedLines().contains(
        QStringLiteral("Halvane::HVVoice* Halvane::HVVoicePluginManager::loadVoicePlugin(const QString&) \"")
        + QDir(libraryBase.path()).absolutePath() + QLatin1Char('"')));

    // Still empty: the next call searches again and gets further.
    HVVoiceTest::clearLog();
    QVERIFY(QFile::remove(nullDir + QLatin1String("/libhvtestnullvoice.so")));
    HVVoice *voice = manager.loadVoicePlugin(QStringLiteral("voice"));
    QVERIFY(voice);
    QCOMPARE(voice->metaObject()->className(), "Halvane::HVSphinxVoice");
    QVERIFY(HVVoiceTest::logged(QStringLiteral("hello")));
    QCoreApplication::removeLibraryPath(libraryBase.path());
}

void TestHVVoicePluginManager::findsVoicePluginAmongOtherFiles()
{
    const QString dir = m_base->filePath(QStringLiteral("voice"));
    // Skipped on the way: a text file, a library that is no plug-in, a plug-in
    // of another interface. The listing is unsorted: the voice plug-in lies
    // under a later base path, so that every one of them is tried first.
    QVERIFY(QDir().mkpath(dir));
    QFile text(dir + QLatin1String("/aaa-readme.so"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a library");
    text.close();
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::NotAPlugin), dir));
    QVERIFY(HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), dir));
    const QString later = m_base->filePath(QStringLiteral("later"));
    QVERIFY(!installSphinx(later + QLatin1String("/voice")).isEmpty());
    QCoreApplication::addLibraryPath(later);

    HVVoicePluginManager manager;
    HVVoice *voice = manager.loadVoicePlugin(QStringLiteral("voice"));
    QVERIFY(voice);
    QCOMPARE(voice->metaObject()->className(), "Halvane::HVSphinxVoice");
    const QStringList lines = HVVoiceTest::loggedLines();
    QCOMPARE(lines.count(QStringLiteral("hello")), 1);
    // The loader's line for each file that is no plug-in; the plug-in of
    // another interface loads ("here") and is passed over for the voice plug-in.
    for (const QString &skipped : QDir(dir).entryList(QDir::Files)) {
        if (skipped.contains(QLatin1String(HVTest::EventPlugin)))
            continue;
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString &line) { return line.contains(dir + QLatin1Char('/') + skipped); }),
                 qPrintable(skipped));
    }
    QCOMPARE(lines.count(QStringLiteral("here")), 2);
    QVERIFY(lines.contains(QStringLiteral(
                               "Halvane::HVVoice* Halvane::HVVoicePluginManager::loadVoicePlugin(const QString&) \"")
                           + pluginsPath() + QLatin1Char('"')));

    // Loaded: the same object, without searching, whatever is asked for.
    HVVoiceTest::clearLog();
    QVERIFY(QDir(dir).removeRecursively());
    QVERIFY(QDir(later).removeRecursively());
    QCOMPARE(manager.loadVoicePlugin(QStringLiteral("voice")), voice);
    QCOMPARE(manager.loadVoicePlugin(QStringLiteral("elsewhere")), voice);
    QVERIFY(!HVVoiceTest::logged(QStringLiteral("hello")));

    // The plug-in hands out one object: a second manager gets the same.
    QVERIFY(!installSphinx(later + QLatin1String("/voice")).isEmpty());
    HVVoicePluginManager other;
    QCOMPARE(other.loadVoicePlugin(QStringLiteral("voice")), voice);

    // Deleted by its user: every manager then hands out a new, live one.
    delete voice;
    HVVoicePluginManager third;
    for (HVVoicePluginManager *asked : {&manager, &third}) {
        HVVoice *again = asked->loadVoicePlugin(QStringLiteral("voice"));
        QVERIFY(again);
        QCOMPARE(again->getCurrentState(), 2);
    }
    QCOMPARE(manager.loadVoicePlugin(QStringLiteral("voice")), third.loadVoicePlugin(QStringLiteral("voice")));
    QCoreApplication::removeLibraryPath(later);
}

QTEST_GUILESS_MAIN(TestHVVoicePluginManager)
#include "tst_hvvoicepluginmanager.moc"
