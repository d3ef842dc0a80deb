// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// What a synchronisation of 1,000 messages costs, against Dovecot on loopback:
// the headers as halvane-mail brings them into the store (files and index)
// beside the same UID FETCH made straight with KIMAP; what a second process
// with the store open spends noticing them; and the content of all 1,000
// fetched on demand beside a raw fetch of the same. Each side runs in a fresh
// process on a fresh store; the sides alternate over the rounds.
//
//   hvmailbench [--messages N] [--rounds R]      (as root: Dovecot starts as root)
#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFileInfo>
#include <QtCore/QEventLoop>
#include <QtCore/QLoggingCategory>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimer>

#include <KIMAP/FetchJob>
#include <KIMAP/LoginJob>
#include <KIMAP/LogoutJob>
#include <KIMAP/SelectJob>
#include <KIMAP/Session>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

#include "hvtestdovecot.h"
#include "qmailmessagekey.h"
#include "qmailretrievalaction.h"
#include "qmailstore.h"

namespace {

QByteArray sampleMessage(int i)
{
    const QDateTime date = QDateTime::currentDateTimeUtc().addSecs(-i);
    QByteArray text = "From: Sender " + QByteArray::number(i % 37) + " <sender" + QByteArray::number(i % 37)
        + "@example.org>\nTo: ann@example.org\nSubject: Message " + QByteArray::number(i)
        + "\nDate: " + date.toString(Qt::RFC2822Date).toLatin1() + "\nMessage-ID: <bench" + QByteArray::number(i)
        + "@example.org>\nMIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=\"b\"\n\n--b\n"
          "Content-Type: text/plain\n\n";
    text += QByteArray("Some words of the message body. ").repeated(20) + "\n--b\nContent-Type: text/html\n\n<p>";
    text += QByteArray("Some words of the message body. ").repeated(20) + "</p>\n--b--\n";
    return text;
}

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// The filesystem's own share: as many files of the same sizes written into
// one directory and moved into another, as Maildir writers do.
double bareFiles(const QString &dir, int count, int size)
{
    QDir().mkpath(dir + QLatin1String("/tmp"));
    QDir().mkpath(dir + QLatin1String("/new"));
    const QByteArray data(size, 'x');
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("/%1").arg(i);
        QFile file(dir + QLatin1String("/tmp") + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            return -1;
        file.close();
        QFile::rename(file.fileName(), dir + QLatin1String("/new") + name);
    }
    return timer.nsecsElapsed() / 1e6;
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The same conversation the store's side has, without the store: log in,
// open INBOX read-only, UID FETCH 1:* in the given mode, log out.
double rawFetch(const HVTest::Dovecot &server, KIMAP::FetchJob::FetchScope::Mode mode, int *count)
{
    QElapsedTimer timer;
    timer.start();
    auto *session = new KIMAP::Session(server.host(), server.port());
    auto *login = new KIMAP::LoginJob(session);
    login->setUserName(server.user());
    login->setPassword(server.password());
    login->setEncryptionMode(KIMAP::LoginJob::Unencrypted);
    login->setAuthenticationMode(KIMAP::LoginJob::ClearText);
    login->start();
    auto *select = new KIMAP::SelectJob(session);
    select->setMailBox(QStringLiteral("INBOX"));
    select->setOpenReadOnly(true);
    select->start();
    auto *fetch = new KIMAP::FetchJob(session);
    fetch->setUidBased(true);
    fetch->setSequenceSet(KIMAP::ImapSet(1, 0));
    KIMAP::FetchJob::FetchScope scope;
    scope.mode = mode;
    fetch->setScope(scope);
    *count = 0;
    QObject::connect(fetch, &KIMAP::FetchJob::messagesAvailable,
                     [count](const QMap<qint64, KIMAP::Message> &messages) { *count += messages.size(); });
    QEventLoop loop;
    QObject::connect(fetch, &KJob::result, &loop, &QEventLoop::quit);
    fetch->start();
    loop.exec();
    auto *logout = new KIMAP::LogoutJob(session);
    QObject::connect(logout, &KJob::result, &loop, &QEventLoop::quit);
    logout->start();
    loop.exec();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    QObject::connect(session, &KIMAP::Session::stateChanged, session, [session](KIMAP::Session::State state) {
        if (state == KIMAP::Session::Disconnected)
            session->deleteLater();
    });
    if (session->state() == KIMAP::Session::Disconnected)
        session->deleteLater();
    return elapsed;
}

// Child sides: each on the store HALVANE_MAILDIR names, printing "key=value" lines.

int childSync()
{
    QMailStore *store = QMailStore::instance();
    QMailRetrievalAction action;
    QEventLoop loop;
    QObject::connect(&action, &QMailRetrievalAction::activityChanged, &loop, [&loop](QMailRetrievalAction::Activity a) {
        if (a == QMailRetrievalAction::Successful || a == QMailRetrievalAction::Failed)
            loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    action.retrieveMessageList();
    loop.exec();
    const double first = timer.nsecsElapsed() / 1e6;
    const qint64 synced = QDateTime::currentMSecsSinceEpoch();
    if (action.activity() != QMailRetrievalAction::Successful) {
        std::fprintf(stderr, "sync failed: %s\n", qPrintable(action.statusText()));
        return 1;
    }
    const int added = action.newMessageCount();
    timer.restart();
    action.retrieveMessageList();
    loop.exec();
    const double again = timer.nsecsElapsed() / 1e6;
    std::printf("sync_ms=%.1f\nsynced_epoch_ms=%lld\nnew=%d\nresync_ms=%.1f\nstored=%d\n", first, synced, added, again,
                store->countMessages());
    return 0;
}

int childObserve(int expected)
{
    QMailStore *store = QMailStore::instance();
    int seen = 0;
    qint64 last = 0;
    QEventLoop loop;
    QObject::connect(store, &QMailStore::messagesAdded, &loop, [&](const QMailMessageIdList &ids) {
        seen += ids.size();
        last = QDateTime::currentMSecsSinceEpoch();
        if (seen >= expected)
            loop.quit();
    });
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    const double cpu = cpuMilliseconds();
    std::printf("ready\n");
    std::fflush(stdout);
    loop.exec();
    std::printf("observed=%d\nlast_epoch_ms=%lld\nobserver_cpu_ms=%.1f\n", seen, last, cpuMilliseconds() - cpu);
    return 0;
}

int childFetch()
{
    QMailStore *store = QMailStore::instance();
    const QMailMessageIdList ids = store->queryMessages();
    int updated = 0;
    QMailRetrievalAction action;
    QEventLoop loop;
    QObject::connect(store, &QMailStore::messagesUpdated, [&updated](const QMailMessageIdList &changed) {
        updated += changed.size();
    });
    QObject::connect(&action, &QMailRetrievalAction::activityChanged, &loop, [&loop](QMailRetrievalAction::Activity a) {
        if (a == QMailRetrievalAction::Successful || a == QMailRetrievalAction::Failed)
            loop.quit();
    });
    QElapsedTimer timer;
    timer.start();
    action.retrieveMessages(ids, QMailRetrievalAction::ContentRetrieval);
    if (action.activity() == QMailRetrievalAction::InProgress)
        loop.exec();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    const int complete = store->countMessages(QMailMessageKey::status(QMailMessageMetaData::ContentAvailable));
    std::printf("fetch_ms=%.1f\nupdated=%d\ncomplete=%d\n", elapsed, updated, complete);
    return 0;
}

QMap<QString, QString> parse(const QByteArray &output)
{
    QMap<QString, QString> values;
    for (const QByteArray &line : output.split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromLatin1(line.left(equals)), QString::fromLatin1(line.mid(equals + 1)));
    }
    return values;
}

QProcessEnvironment childEnvironment(const QString &configHome, const QString &maildir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("HALVANE_MAILDIR"), maildir);
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    return env;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    QCommandLineParser parser;
    const QCommandLineOption messagesOption(QStringLiteral("messages"), QStringLiteral("Messages in the INBOX."),
                                            QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Rounds (median shown)."),
                                          QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption dirOption(QStringLiteral("dir"),
                                       QStringLiteral("Where the stores go (default: the temporary directory)."),
                                       QStringLiteral("dir"), QDir::tempPath());
    const QCommandLineOption childOption(QStringLiteral("child"), QStringLiteral("Internal: run one side."),
                                         QStringLiteral("side"));
    parser.addOptions({messagesOption, roundsOption, dirOption, childOption});
    parser.addHelpOption();
    parser.process(app);
    const int messages = qMax(1, parser.value(messagesOption).toInt());
    const int rounds = qMax(1, parser.value(roundsOption).toInt());

    const QString side = parser.value(childOption);
    if (side == QLatin1String("sync"))
        return childSync();
    if (side == QLatin1String("observe"))
        return childObserve(messages);
    if (side == QLatin1String("fetch"))
        return childFetch();

    QString reason;
    if (!HVTest::Dovecot::canRun(&reason)) {
        std::fprintf(stderr, "hvmailbench: %s\n", qPrintable(reason));
        return 1;
    }
    HVTest::Dovecot server;
    if (!server.start()) {
        std::fprintf(stderr, "hvmailbench: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QTemporaryDir work(parser.value(dirOption) + QLatin1String("/hvmailbench-XXXXXX"));
    const QString configHome = work.filePath(QStringLiteral("config"));
    server.writeAccount(configHome);
    qint64 bytes = 0;
    for (int i = 0; i < messages; ++i) {
        const QByteArray text = sampleMessage(i);
        bytes += text.size();
        server.deliver(text);
    }
    // Dovecot indexes the mailbox on the first look: not part of any side.
    int count = 0;
    rawFetch(server, KIMAP::FetchJob::FetchScope::Flags, &count);

    QList<double> rawHeaders, files, syncs, resyncs, lags, observerCpu, rawContent, fetches;
    int stored = 0, observed = 0, completed = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString maildir = work.filePath(QStringLiteral("store%1").arg(round));
        const QProcessEnvironment env = childEnvironment(configHome, maildir);
        const QStringList common{QStringLiteral("--messages"), QString::number(messages)};
        const QString childFlag = QStringLiteral("--child");

        const auto raw = [&] {
            int n = 0;
            rawHeaders << rawFetch(server, KIMAP::FetchJob::FetchScope::FullHeaders, &n);
            // Header blocks are about a third of these messages.
            files << bareFiles(work.filePath(QStringLiteral("bare%1").arg(round)), messages, int(bytes / messages / 3));
        };
        const auto store = [&] {
            // A second process has the store open while the sync runs.
            QProcess observer;
            observer.setProcessEnvironment(env);
            observer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            observer.start(app.applicationFilePath(), common + QStringList{childFlag, QStringLiteral("observe")});
            observer.waitForReadyRead(10000);
            observer.readLine();
            QProcess sync;
            sync.setProcessEnvironment(env);
            sync.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            sync.start(app.applicationFilePath(), common + QStringList{childFlag, QStringLiteral("sync")});
            if (!sync.waitForFinished(120000))
                std::fprintf(stderr, "sync: %s %d\n", qPrintable(sync.errorString()), int(sync.state()));
            const auto values = parse(sync.readAllStandardOutput());
            const qint64 syncEnded = values.value(QStringLiteral("synced_epoch_ms")).toLongLong();
            syncs << values.value(QStringLiteral("sync_ms")).toDouble();
            resyncs << values.value(QStringLiteral("resync_ms")).toDouble();
            stored = values.value(QStringLiteral("stored")).toInt();
            observer.waitForFinished(120000);
            const auto seen = parse(observer.readAllStandardOutput());
            observed = seen.value(QStringLiteral("observed")).toInt();
            lags << double(seen.value(QStringLiteral("last_epoch_ms")).toLongLong() - syncEnded);
            observerCpu << seen.value(QStringLiteral("observer_cpu_ms")).toDouble();
        };
        // Alternate which side goes first, so neither profits from caches the other warmed.
        if (round % 2 == 0) {
            raw();
            store();
        } else {
            store();
            raw();
        }

        const auto rawBodies = [&] {
            int n = 0;
            rawContent << rawFetch(server, KIMAP::FetchJob::FetchScope::Full, &n);
        };
        const auto fetch = [&] {
            QProcess child;
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(app.applicationFilePath(), common + QStringList{childFlag, QStringLiteral("fetch")});
            child.waitForFinished(300000);
            const auto values = parse(child.readAllStandardOutput());
            fetches << values.value(QStringLiteral("fetch_ms")).toDouble();
            completed = values.value(QStringLiteral("complete")).toInt();
        };
        if (round % 2 == 0) {
            rawBodies();
            fetch();
        } else {
            fetch();
            rawBodies();
        }
    }

    const double raw = median(rawHeaders), sync = median(syncs), bare = median(files);
    const double rawBody = median(rawContent), fetch = median(fetches);
    std::printf("hvmailbench: %d messages of %.1f KiB on average in a loopback Dovecot, median of %d rounds\n",
                messages, bytes / 1024.0 / messages, rounds);
    std::printf("\nheaders of new INBOX messages (halvane-mail sync)\n");
    std::printf("  raw KIMAP UID FETCH of all headers     %9.1f ms\n", raw);
    std::printf("  as many bare files written and moved   %9.1f ms   (the filesystem's share)\n", bare);
    std::printf("  sync into the store (files + index)    %9.1f ms   %.2f ms per message   (%d stored)\n", sync,
                sync / messages, stored);
    std::printf("    ratio to the raw fetch %.2f, to raw fetch + bare files %.2f\n", raw > 0 ? sync / raw : 0.0,
                raw + bare > 0 ? sync / (raw + bare) : 0.0);
    std::printf("  sync again, nothing new                %9.1f ms\n", median(resyncs));
    std::printf("  a second process with the store open: the last of %d reported %.0f ms after the sync ended\n"
                "    (negative: before it), %.1f ms CPU spent on noticing them\n",
                observed, median(lags), median(observerCpu));
    std::printf("\ncontent of all messages on demand (QMailRetrievalAction, Content)\n");
    std::printf("  raw KIMAP UID FETCH of all bodies      %9.1f ms\n", rawBody);
    std::printf("  fetch into the store (replace files)   %9.1f ms   %.2f ms per message   (%d complete)\n", fetch,
                fetch / messages, completed);
    std::printf("    ratio to the raw fetch %.2f\n", rawBody > 0 ? fetch / rawBody : 0.0);
    std::printf("\nstores in %s\n", qPrintable(QFileInfo(work.path()).absolutePath()));
    return 0;
}
