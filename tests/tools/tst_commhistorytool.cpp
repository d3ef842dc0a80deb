// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

// halvane-commhistory as users and the demo run it, on a real history file.
class TestCommHistoryTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void badArgumentsGiveUsage_data();
    void badArgumentsGiveUsage();
    void addListUpdateDelete();
    void concurrentWritersKeepEveryMessage();
    void corruptDatabaseIsAnErrorAndLeftAlone();

private:
    struct Result
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    QProcess *start(const QStringList &arguments);
    Result finish(QProcess *process);
    Result run(const QStringList &arguments) { return finish(start(arguments)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_db;
};

void TestCommHistoryTool::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_db = m_dir->filePath("commhistory.db");
}

QProcess *TestCommHistoryTool::start(const QStringList &arguments)
{
    auto *process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HALVANE_COMMHISTORY_DB", m_db);
    process->setProcessEnvironment(env);
    process->start(HVTEST_COMMHISTORY_PROGRAM, arguments);
    return process;
}

TestCommHistoryTool::Result TestCommHistoryTool::finish(QProcess *process)
{
    Result result;
    if (process->waitForFinished(30000) && process->exitStatus() == QProcess::NormalExit)
        result.exitCode = process->exitCode();
    else
        process->kill();
    result.out = QString::fromUtf8(process->readAllStandardOutput());
    result.err = QString::fromUtf8(process->readAllStandardError());
    delete process;
    return result;
}

void TestCommHistoryTool::badArgumentsGiveUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no command") << QStringList{} << "no command";
    QTest::newRow("unknown command") << QStringList{"send"} << "unknown command: send";
    QTest::newRow("no sender") << QStringList{"add-sms", "--text", "hi"} << "needs --from";
    QTest::newRow("bad time") << QStringList{"add-sms", "--from", "+1", "--text", "hi", "--time", "noon"} << "--time";
    QTest::newRow("option of another command") << QStringList{"add-sms", "--from", "+1", "--text", "hi", "--date", "2026-01-01"}
                                               << "--date does not go with add-sms";
    QTest::newRow("id not a number") << QStringList{"delete", "seven"} << "not an event id: seven";
}

void TestCommHistoryTool::badArgumentsGiveUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Result result = run(arguments);
    QCOMPARE(result.exitCode, 2);
    QVERIFY2(result.err.contains(message), qPrintable(result.err));
    QVERIFY(result.err.contains("add-sms --from NUMBER"));
    QVERIFY(!QFile::exists(m_db));
}

void TestCommHistoryTool::addListUpdateDelete()
{
    Result added = run({"add-sms", "--from", "+33 6 11", "--name", "Zoé", "--text", "two\tlines\nhere",
                        "--time", "2026-06-21T08:30:00"});
    QCOMPARE(added.exitCode, 0);
    const QString id = added.out.trimmed();
    QVERIFY(id.toInt() > 0);
    QCOMPARE(run({"add-sms", "--from", "+33 6 11", "--text", "sent", "--outbound", "--time", "2026-06-21T09:00:00"}).exitCode, 0);
    QCOMPARE(run({"add-sms", "--from", "+44", "--text", "next day", "--time", "2026-06-22T09:00:00"}).exitCode, 0);

    Result listed = run({"list", "--date", "2026-06-21"});
    QCOMPARE(listed.exitCode, 0);
    QStringList lines = listed.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), id + "\t2026-06-21T08:30:00\t2\tin\t4098\t+33 6 11\tZoé\ttwo\\tlines\\nhere");
    QVERIFY2(lines.at(1).contains("\t2\tout\t4099\t+33 6 11\tZoé\tsent"), qPrintable(lines.at(1)));
    QCOMPARE(run({"list"}).out.split('\n', Qt::SkipEmptyParts).size(), 3);
    // Any sender writes the text: an escape sequence (here one that clears
    // the screen) does not reach the terminal.
    QCOMPARE(run({"add-sms", "--from", "+44", "--text", "\x1b[2J\x1b[Hcleared", "--time", "2026-06-23T09:00:00"}).exitCode, 0);
    QVERIFY(run({"list", "--date", "2026-06-23"}).out.endsWith("\t [2J [Hcleared\n"));

    QCOMPARE(run({"update", id, "--text", "changed"}).exitCode, 0);
    QVERIFY(run({"list", "--date", "2026-06-21"}).out.startsWith(id + "\t2026-06-21T08:30:00\t2\tin\t4098\t+33 6 11\tZoé\tchanged\n"));

    QCOMPARE(run({"delete", id}).exitCode, 0);
    QCOMPARE(run({"list", "--date", "2026-06-21"}).out.split('\n', Qt::SkipEmptyParts).size(), 1);
    const Result again = run({"delete", id});
    QCOMPARE(again.exitCode, 1);
    QVERIFY2(again.err.contains("no event " + id), qPrintable(again.err));
    QCOMPARE(run({"update", id}).exitCode, 1);

    // A day whose midnight the clocks skip (Santiago) starts at 01:00; from
    // 00:00, no time then, every message ever was listed.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "America/Santiago");
    QCOMPARE(run({"add-sms", "--from", "+56", "--text", "spring", "--time", "2026-09-06T11:00:00"}).exitCode, 0);
    const QStringList spring = run({"list", "--date", "2026-09-06"}).out.split('\n', Qt::SkipEmptyParts);
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    QCOMPARE(spring.size(), 1);
}

void TestCommHistoryTool::concurrentWritersKeepEveryMessage()
{
    // The database is created by whichever writer comes first.
    QList<QProcess *> writers;
    for (int i = 0; i < 6; ++i)
        writers << start({"add-sms", "--from", QString("+%1").arg(i % 2), "--text", QString("message %1").arg(i)});
    QList<Result> results;
    for (QProcess *writer : writers)
        results << finish(writer);
    QStringList ids;
    for (const Result &result : results) {
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        ids << result.out.trimmed();
    }
    ids.removeDuplicates();
    QCOMPARE(ids.size(), 6);

    const QStringList lines = run({"list"}).out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 6);
    QSet<QString> numbers;
    for (const QString &line : lines)
        numbers << line.section('\t', 5, 5);
    // One conversation per number, however the writers raced.
    QCOMPARE(numbers, (QSet<QString>{"+0", "+1"}));
}

void TestCommHistoryTool::corruptDatabaseIsAnErrorAndLeftAlone()
{
    const QByteArray garbage = QByteArray("not a database\n").repeated(100);
    QFile file(m_db);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(garbage);
    file.close();

    for (const QStringList &arguments : {QStringList{"list"}, QStringList{"add-sms", "--from", "+1", "--text", "hi"},
                                         QStringList{"delete", "1"}}) {
        const Result result = run(arguments);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.contains("not a usable history database"), qPrintable(result.err));
    }
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), garbage);
}

QTEST_GUILESS_MAIN(TestCommHistoryTool)
#include "tst_commhistorytool.moc"
