// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QLibrary>
#include <QtCore/QPluginLoader>
#include <QtTest/QtTest>

#include <atomic>
#include <thread>

#include "hvvoice.h"
#include "hvvoiceplugininterface.h"
#include "hvvoicetestsupport.h"

using namespace Halvane;


// The command matcher and the reader-state filter of the sphinx plug-in, fed
// with hypotheses through the plug-in's own entry point, as its recogniser
// feeds them; no audio.
class TestHVSphinxMatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void nothingReadAtFirst();
    void screenTables_data();
    void screenTables();
    void screenChangeReplacesTable();
    void firstAcceptedWordWins();
    void filterByReaderState_data();
    void filterByReaderState();
    void commandsCrossToTheMainThread();
    void handOverUnderLoad();

private:
    QList<int> hear(const QByteArray &hypothesis);

    HVVoice *m_voice = nullptr;
    void (*m_callback)(char *) = nullptr;
    QList<int> m_heard;
};

void TestHVSphinxMatcher::initTestCase()
{
    HVVoiceTest::recordLog();
    QPluginLoader loader(QStringLiteral(HVTEST_SPHINX_PLUGIN));
    auto *plugin = qobject_cast<HVVoicePluginInterface *>(loader.instance());
    QVERIFY2(plugin, qPrintable(loader.errorString()));
    m_voice = plugin->voicePlugin();
    QVERIFY(m_voice);
    QLibrary library(QStringLiteral(HVTEST_SPHINX_PLUGIN));
    m_callback = reinterpret_cast<void (*)(char *)>(library.resolve("voiceRegn_Callback"));
    QVERIFY(m_callback);
    connect(m_voice, &HVVoice::commandReceived, this, [this](VoiceCommand command) { m_heard.append(command); });
}

QList<int> TestHVSphinxMatcher::hear(const QByteArray &hypothesis)
{
    m_heard.clear();
    QByteArray text = hypothesis;
    m_callback(text.data());
    QCoreApplication::sendPostedEvents();
    return m_heard;
}

void TestHVSphinxMatcher::nothingReadAtFirst()
{
    // Before the reader reports anything it counts as stopped: there is
    // nothing to stop or pause.
    m_voice->slotWindowPosition(HVVoice::VPWndMessages);
    QCOMPARE(hear("STOP"), QList<int>{});
    QCOMPARE(hear("PAUSE"), QList<int>{});
    QCOMPARE(hear("NEXT"), QList<int>{VCNext});
    QVERIFY(HVVoiceTest::logged(QStringLiteral("---------------VWSpeechStopped")));
}

void TestHVSphinxMatcher::screenTables_data()
{
    QTest::addColumn<HVVoice::VPWndPosition>("screen");
    QTest::addColumn<QByteArray>("hypothesis");
    QTest::addColumn<QList<int>>("commands");

    QTest::newRow("next on messages") << HVVoice::VPWndMessages << QByteArray("NEXT") << QList<int>{VCNext};
    QTest::newRow("next on home") << HVVoice::VPWndHome << QByteArray("NEXT") << QList<int>{};
    QTest::newRow("read on home") << HVVoice::VPWndHome << QByteArray("READ") << QList<int>{VCFeeds};
    QTest::newRow("read on weather") << HVVoice::VPWndWeather << QByteArray("READ") << QList<int>{VCRead};
    QTest::newRow("heard instead") << HVVoice::VPWndFeeds << QByteArray("ROME") << QList<int>{VCMain};
    QTest::newRow("apostrophe") << HVVoice::VPWndHome << QByteArray("WEATHER'S") << QList<int>{VCWeather};
    QTest::newRow("trial on events") << HVVoice::VPWndEvents << QByteArray("TRIAL") << QList<int>{VCCall};
    QTest::newRow("attending on events") << HVVoice::VPWndEvents << QByteArray("ATTENDING") << QList<int>{VCAttendees};
    QTest::newRow("events words elsewhere") << HVVoice::VPWndFeeds << QByteArray("TRIAL ATTENDING DIAL")
                                            << QList<int>{};
    QTest::newRow("navigation on events") << HVVoice::VPWndEvents << QByteArray("PREV") << QList<int>{VCPrev};
    QTest::newRow("lower case") << HVVoice::VPWndMessages << QByteArray("next") << QList<int>{};
    QTest::newRow("punctuation") << HVVoice::VPWndMessages << QByteArray("NEXT,") << QList<int>{};
    QTest::newRow("surrounding blanks") << HVVoice::VPWndMessages << QByteArray("  NEXT \n") << QList<int>{VCNext};
    QTest::newRow("skips unknown words") << HVVoice::VPWndEvents << QByteArray("THE DIAL HOME")
                                         << QList<int>{VCCall};
    QTest::newRow("no commands or help") << HVVoice::VPWndHome << QByteArray("COMMANDS HELP") << QList<int>{};
    QTest::newRow("empty") << HVVoice::VPWndHome << QByteArray("") << QList<int>{};
}

void TestHVSphinxMatcher::screenTables()
{
    QFETCH(HVVoice::VPWndPosition, screen);
    QFETCH(QByteArray, hypothesis);
    QFETCH(QList<int>, commands);
    m_voice->slotSpeechStatus(HVVoice::VWSpeechOn);
    m_voice->slotWindowPosition(screen);
    QCOMPARE(hear(hypothesis), commands);
}

void TestHVSphinxMatcher::screenChangeReplacesTable()
{
    m_voice->slotSpeechStatus(HVVoice::VWSpeechOn);
    m_voice->slotWindowPosition(HVVoice::VPWndEvents);
    QCOMPARE(hear("DIAL"), QList<int>{VCCall});
    m_voice->slotWindowPosition(HVVoice::VPWndMessages);
    QCOMPARE(hear("DIAL"), QList<int>{});
    // No such screen: the table stays.
    m_voice->slotWindowPosition(HVVoice::VPWndPosition(7));
    QCOMPARE(hear("NEXT"), QList<int>{VCNext});
    QCOMPARE(hear("DIAL"), QList<int>{});
    m_voice->slotWindowPosition(HVVoice::VPWndHome);
    m_voice->slotWindowPosition(HVVoice::VPWndPosition(-1));
    QCOMPARE(hear("NEXT"), QList<int>{});
    QCOMPARE(hear("READ"), QList<int>{VCFeeds});
}

void TestHVSphinxMatcher::firstAcceptedWordWins()
{
    m_voice->slotWindowPosition(HVVoice::VPWndMessages);
    m_voice->slotSpeechStatus(HVVoice::VWSpeechOn);
    QCOMPARE(hear("HOME NEXT"), QList<int>{VCMain});
    // While reading, NEXT is refused and the next word is tried; two blanks
    // in a row give an empty word, which is skipped.
    m_voice->slotSpeechStatus(HVVoice::VWSpeechStarted);
    QCOMPARE(hear("NEXT HOME"), QList<int>{VCMain});
    QCOMPARE(hear("NEXT  HOME"), QList<int>{VCMain});
    QCOMPARE(hear("NEXT BACK"), QList<int>{});
    m_voice->slotSpeechStatus(HVVoice::VWSpeechItemLast);
    QCOMPARE(hear("NEXT"), QList<int>{});
    QCOMPARE(hear("NEXT PREV"), QList<int>{VCPrev});
    m_voice->slotSpeechStatus(HVVoice::VWSpeechItemFirst);
    QCOMPARE(hear("PREV"), QList<int>{});
    QCOMPARE(hear("REV"), QList<int>{});
    QCOMPARE(hear("REV NEXT"), QList<int>{VCNext});

    // The reader's own slots.
    QVERIFY(QMetaObject::invokeMethod(m_voice, "slotSpeechStarted"));
    QCOMPARE(hear("NEXT"), QList<int>{});
    QCOMPARE(hear("STOP"), QList<int>{VCStop});
    QVERIFY(QMetaObject::invokeMethod(m_voice, "slotSpeechStopped"));
    QCOMPARE(hear("STOP"), QList<int>{});
    QCOMPARE(hear("NEXT"), QList<int>{VCNext});
}

void TestHVSphinxMatcher::filterByReaderState_data()
{
    QTest::addColumn<HVVoice::VWSpeechStatus>("status");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QList<int>>("refused");

    QTest::newRow("on") << HVVoice::VWSpeechOn << "---------------VWSpeechOn" << QList<int>{};
    QTest::newRow("off") << HVVoice::VWSpeechOff << "---------------VWSpeechOff"
                         << QList<int>{VCRead, VCStart, VCStop, VCPause, VCContinue};
    QTest::newRow("started") << HVVoice::VWSpeechStarted << "---------------VWSpeechStarted"
                             << QList<int>{VCBack, VCRead, VCStart, VCNext, VCPrev, VCContinue};
    QTest::newRow("paused") << HVVoice::VWSpeechPaused << "---------------VWSpeechPaused"
                            << QList<int>{VCStop, VCPause};
    QTest::newRow("stopped") << HVVoice::VWSpeechStopped << "---------------VWSpeechStopped"
                             << QList<int>{VCStop, VCPause};
    QTest::newRow("first") << HVVoice::VWSpeechItemFirst << "---------------VWSpeechItemFirst"
                           << QList<int>{VCPrev};
    QTest::newRow("last") << HVVoice::VWSpeechItemLast << "---------------VWSpeechItemLast" << QList<int>{VCNext};
    QTest::newRow("unknown") << HVVoice::VWSpeechStatus(9) << QString() << QList<int>{};
}

void TestHVSphinxMatcher::filterByReaderState()
{
    QFETCH(HVVoice::VWSpeechStatus, status);
    QFETCH(QString, line);
    QFETCH(QList<int>, refused);
    m_voice->slotSpeechStatus(status);
    // One word per command, on the screen that has it.
    const QList<QPair<HVVoice::VPWndPosition, QByteArray>> words{
        {HVVoice::VPWndHome, "MESSAGES"}, {HVVoice::VPWndHome, "FEEDS"},     {HVVoice::VPWndHome, "EVENTS"},
        {HVVoice::VPWndHome, "WEATHER"},  {HVVoice::VPWndEvents, "HOME"},    {HVVoice::VPWndEvents, "BACK"},
        {HVVoice::VPWndEvents, "READ"},   {HVVoice::VPWndEvents, "START"},   {HVVoice::VPWndEvents, "NEXT"},
        {HVVoice::VPWndEvents, "PREV"},   {HVVoice::VPWndEvents, "STOP"},    {HVVoice::VPWndEvents, "PAUSE"},
        {HVVoice::VPWndEvents, "CONTINUE"}, {HVVoice::VPWndEvents, "MORE"},  {HVVoice::VPWndEvents, "ATTENDEES"},
        {HVVoice::VPWndEvents, "DIAL"},
    };
    HVVoiceTest::clearLog();
    int commandsSeen = 0;
    for (const auto &word : words) {
        m_voice->slotWindowPosition(word.first);
        const QList<int> heard = hear(word.second);
        QCOMPARE(heard.size(), heard.isEmpty() ? 0 : 1);
        if (heard.isEmpty()) {
            // Refused: only a listed command may be.
            QVERIFY2(!refused.isEmpty(), word.second.constData());
            continue;
        }
        ++commandsSeen;
        QVERIFY2(!refused.contains(heard.first()), word.second.constData());
    }
    QCOMPARE(commandsSeen, words.size() - refused.size());
    if (!line.isEmpty())
        QVERIFY(HVVoiceTest::logged(line));
    else
        QVERIFY(!HVVoiceTest::loggedLines().join(QLatin1Char('\n')).contains(QLatin1String("---------------VW")));
}

void TestHVSphinxMatcher::commandsCrossToTheMainThread()
{
    m_voice->slotSpeechStatus(HVVoice::VWSpeechOn);
    m_voice->slotWindowPosition(HVVoice::VPWndMessages);
    QThread *signalThread = nullptr;
    QSignalSpy next(m_voice, &HVVoice::commandNext);
    auto connection = connect(m_voice, &HVVoice::commandNext, this, [&] { signalThread = QThread::currentThread(); });
    // As the recogniser's streaming thread does.
    std::thread([this] {
        QByteArray text("NEXT");
        m_callback(text.data());
    }).join();
    QTRY_COMPARE(next.count(), 1);
    QCOMPARE(signalThread, QThread::currentThread());
    disconnect(connection);
}

void TestHVSphinxMatcher::handOverUnderLoad()
{
    // Screens and reader states change on the main thread while hypotheses
    // are matched on another.
    std::atomic<bool> done{false};
    std::thread recogniser([this, &done] {
        for (int i = 0; i < 2000; ++i) {
            QByteArray text("NEXT DIAL READ STOP");
            m_callback(text.data());
        }
        done = true;
    });
    const HVVoice::VPWndPosition screens[] = {HVVoice::VPWndHome, HVVoice::VPWndEvents, HVVoice::VPWndMessages};
    const HVVoice::VWSpeechStatus states[] = {HVVoice::VWSpeechOn, HVVoice::VWSpeechStarted, HVVoice::VWSpeechOff};
    for (int i = 0; !done; ++i) {
        m_voice->slotWindowPosition(screens[i % 3]);
        m_voice->slotSpeechStatus(states[i % 3]);
    }
    recogniser.join();
    QCoreApplication::processEvents();
    m_heard.clear();
    HVVoiceTest::clearLog();
    m_voice->slotSpeechStatus(HVVoice::VWSpeechOn);
    m_voice->slotWindowPosition(HVVoice::VPWndEvents);
    QCOMPARE(hear("DIAL"), QList<int>{VCCall});
}

QTEST_GUILESS_MAIN(TestHVSphinxMatcher)
#include "tst_hvsphinxmatcher.moc"
