// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QScopeGuard>
#include <QtCore/QTemporaryDir>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusVirtualObject>
#include <QtTest/QtTest>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "hvtestdovecot.h"
#include "hvtestfixture.h"

namespace {

// Listens on a free loopback port and serves from a thread of its own, since
// the test waits for the tool: serve(socket, stop) until stop is set. Kept as
// the last member of its owner, it is gone before what serve() uses.
class LoopbackServer
{
public:
    explicit LoopbackServer(std::function<void(int, const std::atomic<bool> &)> serve)
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
            || ::listen(m_socket, 4) != 0
            || ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, serve] { serve(m_socket, m_stop); });
    }
    ~LoopbackServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_socket >= 0)
            ::close(m_socket);
    }
    quint16 port() const { return m_port; }

private:
    int m_socket = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A server on loopback that is no IMAP server: it answers every client with
// bytes no IMAP client can read, or (silent) never says anything.
class BadServer
{
public:
    explicit BadServer(bool silent)
        : m_silent(silent)
    {
    }
    quint16 port() const { return m_server.port(); }

private:
    void serve(int listener, const std::atomic<bool> &stop)
    {
        static const char garbage[] = "HTTP/1.1 400 Bad Request\r\n\r\n\x01\xff\xfe )))((( {99999999}\r\n* BYE\r\n";
        std::vector<int> clients;
        while (!stop) {
            pollfd listening{listener, POLLIN, 0};
            if (::poll(&listening, 1, 50) == 1) {
                const int client = ::accept(listener, nullptr, nullptr);
                if (client >= 0) {
                    clients.push_back(client);
                    if (!m_silent)
                        (void)!::send(client, garbage, sizeof(garbage) - 1, MSG_NOSIGNAL);
                }
            }
            for (int client : clients) {
                char buffer[512];
                if (::recv(client, buffer, sizeof(buffer), MSG_DONTWAIT) > 0 && !m_silent)
                    (void)!::send(client, garbage, sizeof(garbage) - 1, MSG_NOSIGNAL);
            }
        }
        for (int client : clients)
            ::close(client);
    }

    bool m_silent;
    LoopbackServer m_server{[this](int listener, const std::atomic<bool> &stop) { serve(listener, stop); }};
};

// Dovecot behind a relay that, in the answer to the first fetch of each
// connection, tells a flag change of the first message answered, as a server
// does when another device marks it read: without UID, just before the end.
class FlagTellingRelay
{
public:
    explicit FlagTellingRelay(quint16 serverPort)
        : m_serverPort(serverPort)
    {
    }
    quint16 port() const { return m_server.port(); }

private:
    struct Pair
    {
        int client;
        int server;
        QByteArray pending; // of the server, up to the end of a line
        QByteArray told;    // the change, once the first fetch answered
        bool done = false;
    };
    static sockaddr_in loopback(quint16 port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }
    void fromServer(Pair &pair, const QByteArray &data)
    {
        static const QRegularExpression fetch("^\\* (\\d+) FETCH ");
        static const QRegularExpression tagged("^\\w+ OK");
        pair.pending += data;
        QByteArray out;
        int end;
        while ((end = pair.pending.indexOf("\r\n")) >= 0) {
            const QByteArray line = pair.pending.left(end + 2);
            pair.pending.remove(0, end + 2);
            const QString text = QString::fromLatin1(line);
            if (!pair.done && pair.told.isEmpty() && fetch.match(text).hasMatch())
                pair.told = "* " + fetch.match(text).captured(1).toLatin1() + " FETCH (FLAGS (\\Seen))\r\n";
            if (!pair.done && !pair.told.isEmpty() && tagged.match(text).hasMatch()) {
                out += pair.told;
                pair.done = true;
            }
            out += line;
        }
        (void)!::send(pair.client, out.constData(), out.size(), MSG_NOSIGNAL);
    }
    void serve(int listener, const std::atomic<bool> &stop)
    {
        std::vector<Pair> pairs;
        while (!stop) {
            std::vector<pollfd> watched{{listener, POLLIN, 0}};
            for (const Pair &pair : pairs) {
                watched.push_back({pair.client, POLLIN, 0});
                watched.push_back({pair.server, POLLIN, 0});
            }
            if (::poll(watched.data(), watched.size(), 50) <= 0)
                continue;
            // The pairs polled are those before a new one.
            std::vector<Pair> open;
            for (size_t i = 0; i < (watched.size() - 1) / 2; ++i) {
                char buffer[65536];
                // One side hung up: so does the relay, to the other.
                bool ended = false;
                if (watched[1 + 2 * i].revents & (POLLIN | POLLHUP | POLLERR)) {
                    const ssize_t n = ::recv(pairs[i].client, buffer, sizeof(buffer), 0);
                    if (n > 0)
                        (void)!::send(pairs[i].server, buffer, n, MSG_NOSIGNAL);
                    ended = n <= 0;
                }
                if (!ended && watched[2 + 2 * i].revents & (POLLIN | POLLHUP | POLLERR)) {
                    const ssize_t n = ::recv(pairs[i].server, buffer, sizeof(buffer), 0);
                    if (n > 0)
                        fromServer(pairs[i], QByteArray(buffer, int(n)));
                    ended = n <= 0;
                }
                if (ended) {
                    ::close(pairs[i].client);
                    ::close(pairs[i].server);
                } else {
                    open.push_back(pairs[i]);
                }
            }
            pairs.swap(open);
            if (watched[0].revents & POLLIN) {
                const int client = ::accept(listener, nullptr, nullptr);
                const int server = ::socket(AF_INET, SOCK_STREAM, 0);
                const sockaddr_in address = loopback(m_serverPort);
                if (client >= 0 && server >= 0
                    && ::connect(server, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0)
                    pairs.push_back({client, server, {}, {}, false});
            }
        }
        for (const Pair &pair : pairs) {
            ::close(pair.client);
            ::close(pair.server);
        }
    }

    quint16 m_serverPort;
    LoopbackServer m_server{[this](int listener, const std::atomic<bool> &stop) { serve(listener, stop); }};
};

// A secret store that takes every call and never answers.
class SilentStore : public QDBusVirtualObject
{
public:
    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &, const QDBusConnection &) override { return true; }
};

QByteArray mail(const QByteArray &subject, const QDateTime &date = QDateTime::currentDateTimeUtc())
{
    return "From: Bea <bea@example.org>\nTo: ann@example.org\nSubject: " + subject + "\nDate: "
        + date.toString(Qt::RFC2822Date).toLatin1()
        + "\nMIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=\"b\"\n\n"
          "--b\nContent-Type: text/plain\n\nplain " + subject + "\n--b\nContent-Type: text/html\n\n<p>html " + subject
        + "</p>\n--b--\n";
}

} // namespace

// halvane-mail as users run it, against a real Dovecot, and halvane-overview
// showing what it brought: the demo's sample mail and synchronised mail whose
// content comes later.
class TestMailTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void syncBringsNewHeadersOnce();
    void failingAccountsLeaveTheStoreAsItWas();
    void syncOutlivesFlagChangesToldMeanwhile();
    void importChecksEveryFileFirst();
    void passwordLivesInTheSecretStore();
    void overviewFollowsTheFetchedContent();
    void overviewPrintsContentFetchedDuringItsRun();
    void demoShowsTheSampleMail();

private:
    QProcessEnvironment environment() const;
    int run(const QString &program, const QStringList &arguments, QByteArray *out = nullptr,
            QByteArray *err = nullptr);
    int mailTool(const QStringList &arguments, QByteArray *out = nullptr, QByteArray *err = nullptr);
    QStringList listed();
    QString write(const QString &name, const QByteArray &content);
    QString storeFiles();
    // A started server with this test's account and one message per subject.
    bool startServer(HVTest::Dovecot &server, const QList<QByteArray> &subjects);
    bool installEmailPlugin();

    std::unique_ptr<QTemporaryDir> m_dir;
    // Added to the environment of the programs the test runs.
    QProcessEnvironment m_session;
};

bool TestMailTool::startServer(HVTest::Dovecot &server, const QList<QByteArray> &subjects)
{
    if (!server.start()) {
        qWarning() << "Dovecot did not start:" << server.errorString();
        return false;
    }
    if (!server.writeAccount(m_dir->filePath("config")))
        return false;
    for (const QByteArray &subject : subjects) {
        if (!server.deliver(mail(subject)))
            return false;
    }
    return true;
}

bool TestMailTool::installEmailPlugin()
{
    return QDir().mkpath(m_dir->filePath("plugins-base/plugins"))
        && QFile::copy(HVTEST_EMAIL_PLUGIN, m_dir->filePath("plugins-base/plugins/libhalvaneemailplugin.so"));
}

void TestMailTool::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_session.clear();
}

QProcessEnvironment TestMailTool::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HALVANE_MAILDIR", m_dir->filePath("mail"));
    env.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
    env.insert("HALVANE_PLUGINS_PATH", m_dir->filePath("plugins-base") + "/");
    env.remove("QT_LOGGING_RULES");
    for (const QString &key : m_session.keys())
        env.insert(key, m_session.value(key));
    return env;
}

int TestMailTool::run(const QString &program, const QStringList &arguments, QByteArray *out, QByteArray *err)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int TestMailTool::mailTool(const QStringList &arguments, QByteArray *out, QByteArray *err)
{
    return run(HVTEST_MAIL_PROGRAM, arguments, out, err);
}

// One "id<TAB>time<TAB>status<TAB>from<TAB>subject" line per message.
QStringList TestMailTool::listed()
{
    QByteArray out;
    if (mailTool({"list"}, &out) != 0)
        return {"list failed"};
    return QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
}

QString TestMailTool::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
}

// Every message file with its size: what a failing command must not touch.
QString TestMailTool::storeFiles()
{
    QStringList files;
    for (const char *sub : {"new", "cur"}) {
        const QFileInfoList entries = QDir(m_dir->filePath(QString("mail/") + sub)).entryInfoList(QDir::Files);
        for (const QFileInfo &entry : entries)
            files << entry.fileName() + ":" + QString::number(entry.size());
    }
    files.sort();
    return files.join(' ');
}

void TestMailTool::syncBringsNewHeadersOnce()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY(startServer(server, {"one", "two"}));

    QByteArray out, err;
    QCOMPARE(mailTool({"sync"}, &out, &err), 0);
    QCOMPARE(out.trimmed(), QByteArray("2 new message(s)"));
    QStringList lines = listed();
    QCOMPARE(lines.size(), 2);
    for (const QString &line : lines) {
        const QStringList fields = line.split('\t');
        QCOMPARE(fields.value(2), QString("in,headers"));
        QCOMPARE(fields.value(3), QString("bea@example.org"));
    }
    // The files hold the headers and nothing else.
    const QFileInfoList files = QDir(m_dir->filePath("mail/new")).entryInfoList(QDir::Files);
    QCOMPARE(files.size(), 2);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("Subject: "));
        QVERIFY(text.endsWith("\n\n"));
        QVERIFY(!text.contains("plain"));
    }

    QCOMPARE(mailTool({"sync"}, &out), 0);
    QCOMPARE(out.trimmed(), QByteArray("0 new message(s)"));
    QVERIFY(server.deliver(mail("three")));
    QCOMPARE(mailTool({"sync"}, &out), 0);
    QCOMPARE(out.trimmed(), QByteArray("1 new message(s)"));
    lines = listed();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.last().endsWith("\tthree"));

    // A timer's sync and one started by hand at the same time store each
    // message once.
    for (int i = 0; i < 150; ++i)
        QVERIFY(server.deliver(mail("burst " + QByteArray::number(i))));
    QProcess first, second;
    for (QProcess *sync : {&first, &second}) {
        sync->setProcessEnvironment(environment());
        sync->start(HVTEST_MAIL_PROGRAM, {"sync"});
    }
    for (QProcess *sync : {&first, &second}) {
        QVERIFY(sync->waitForFinished(30000));
        QCOMPARE(sync->exitCode(), 0);
    }
    QCOMPARE(listed().size(), 153);
    QCOMPARE(storeFiles().count(':'), 153);
}

void TestMailTool::syncOutlivesFlagChangesToldMeanwhile()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY(startServer(server, {"one", "two"}));
    FlagTellingRelay relay(server.port());
    QVERIFY(relay.port() != 0);
    QVERIFY(server.writeAccount(m_dir->filePath("config"), QString(), relay.port()));

    // Told during the headers of new mail: none lost, none stored empty.
    QByteArray out, err;
    QCOMPARE(mailTool({"sync"}, &out, &err), 0);
    QCOMPARE(out.trimmed(), QByteArray("2 new message(s)"));
    QCOMPARE(listed().filter(QRegularExpression("\tbea@example.org\t(one|two)$")).size(), 2);
    // Told while the known messages are listed: none taken for deleted.
    QVERIFY(server.deliver(mail("three")));
    QCOMPARE(mailTool({"sync"}, &out, &err), 0);
    QCOMPARE(out.trimmed(), QByteArray("1 new message(s)"));
    QCOMPARE(listed().filter(QRegularExpression("\tbea@example.org\t(one|two|three)$")).size(), 3);
}

void TestMailTool::failingAccountsLeaveTheStoreAsItWas()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY(startServer(server, {"kept"}));
    QCOMPARE(mailTool({"sync"}), 0);
    QVERIFY(server.deliver(mail("not fetched")));
    const QString before = storeFiles();
    QVERIFY(!before.isEmpty());

    QByteArray out, err;
    QVERIFY(server.writeAccount(m_dir->filePath("config"), "wrong"));
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("halvane-mail: cannot log in as ann@127.0.0.1:"), err.constData());
    QVERIFY(out.isEmpty());

    QVERIFY(server.writeAccount(m_dir->filePath("config"), QString(), HVTest::Dovecot::freePort()));
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("halvane-mail: cannot connect to 127.0.0.1:"), err.constData());

    // Servers that answer garbage or nothing: given up after mail/timeout.
    for (bool silent : {false, true}) {
        BadServer bad(silent);
        QVERIFY(bad.port());
        QVERIFY(server.writeAccount(m_dir->filePath("config"), QString(), bad.port()));
        QSettings(m_dir->filePath("config/halvane/halvane.conf"), QSettings::IniFormat).setValue("mail/timeout", 2);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(mailTool({"sync"}, &out, &err), 1);
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(err.contains("halvane-mail: ") && err.contains("127.0.0.1"), err.constData());
        QVERIFY(out.isEmpty());
    }
    QVERIFY(server.writeAccount(m_dir->filePath("config")));

    QSettings settings(m_dir->filePath("config/halvane/halvane.conf"), QSettings::IniFormat);
    settings.setValue("mail/timeout", "soon");
    settings.sync();
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("mail/timeout \"soon\" is not a number of seconds"), err.constData());
    settings.remove("mail/timeout");
    settings.setValue("mail/encryption", "rot13");
    settings.sync();
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("unknown mail/encryption \"rot13\""), err.constData());

    // A serialised value is refused before Qt decodes it.
    QFile config(settings.fileName());
    QVERIFY(config.open(QIODevice::Append));
    config.write("[x]\ny=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x13QList<QVariant>\\xff\\xff\\xff\\xff)\n");
    config.close();
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("holds a serialised value (@Variant), which is not read"), err.constData());

    QVERIFY(QFile::remove(settings.fileName()));
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("no mail account is configured"), err.constData());
    QCOMPARE(mailTool({"sync", "--if-configured"}, &out, &err), 0);
    QVERIFY2(out.isEmpty() && !err.contains("halvane-mail"), err.constData());

    QCOMPARE(storeFiles(), before);
    QCOMPARE(listed().size(), 1);
    QVERIFY(listed().first().endsWith("\tkept"));
}

void TestMailTool::importChecksEveryFileFirst()
{
    const QString good = write("good.eml", "From: a@example.org\nSubject: good\n\ntext\n");
    const QString headers = write("headers.eml", "From: a@example.org\r\nSubject: headers\r\n");
    const QString noise = write("noise.txt", "just some words\nwithout a header\n");
    QByteArray out, err;

    QCOMPARE(mailTool({"import", good, noise}, &out, &err), 1);
    QVERIFY2(err.contains("noise.txt is no e-mail message"), err.constData());
    QCOMPARE(mailTool({"import", good, m_dir->filePath("missing.eml")}, &out, &err), 1);
    QVERIFY2(err.contains("cannot read"), err.constData());
    QVERIFY(listed().isEmpty());

    QCOMPARE(mailTool({"import"}, &out, &err), 2);
    QCOMPARE(mailTool({"frobnicate"}, &out, &err), 2);
    QCOMPARE(mailTool({"import", "--received", "yesterday", good}, &out, &err), 2);
    QCOMPARE(mailTool({"remove", "x"}, &out, &err), 1);

    QCOMPARE(mailTool({"import", "--received", "2026-06-21T09:15:00", good, headers}, &out, &err), 0);
    const QStringList ids = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(ids.size(), 2);
    QCOMPARE(mailTool({"import", "--outgoing", good}, &out, &err), 0);
    const QStringList lines = listed();
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0), ids.at(0) + "\t2026-06-21T09:15:00\tin,complete\ta@example.org\tgood");
    QCOMPARE(lines.at(1), ids.at(1) + "\t2026-06-21T09:15:00\tin,headers\ta@example.org\theaders");
    QVERIFY(lines.at(2).contains("\tout,complete\t"));

    QCOMPARE(mailTool({"remove", ids.at(0)}, &out, &err), 0);
    QCOMPARE(listed().size(), 2);
    QCOMPARE(mailTool({"remove", ids.at(0)}, &out, &err), 1);
    QVERIFY2(err.contains("cannot remove " + ids.at(0).toUtf8()), err.constData());

    // An mbox holds several messages, each after its "From " line.
    const QString box = write("saved.mbox", "From a@example.org Sun Jun 21 09:00:00 2026\nFrom: a@example.org\n"
                                            "Subject: first\n\n>From the start\n\n"
                                            // Left unquoted by some writers: text, no separator.
                                            "From now on, Mondays.\n\nFrom b@example.org Sun Jun 21 "
                                            "09:01:00 2026\nFrom: b@example.org\nSubject: second\n\ntext\n"
                                            // No blank line before, as some writers leave it.
                                            "From - Sun Jun 21 09:02:00 2026\nFrom: c@example.org\nSubject: third\n\nt\n"
                                            // Deleted in Thunderbird, and Gmail's spam: no received mail.
                                            "\nFrom - Sun Jun 21 09:03:00 2026\nX-Mozilla-Status: 0009\nFrom: d@example.org\n"
                                            "Subject: deleted\n\nd\n\nFrom 1 Sun Jun 21 09:04:00 2026\n"
                                            "X-Gmail-Labels: Spam,Unread\nFrom: e@example.org\nSubject: spam\n\ns\n");
    QCOMPARE(mailTool({"import", box}, &out, &err), 0);
    QCOMPARE(QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts).size(), 3);
    QCOMPARE(listed().filter(QRegularExpression("\t(first|second|third)$")).size(), 3);
    QVERIFY(listed().filter(QRegularExpression("\t(deleted|spam)$")).isEmpty());
    // Again: none twice, though they have no Message-ID.
    QCOMPARE(mailTool({"import", box}, &out, &err), 0);
    QVERIFY(out.isEmpty());
    QCOMPARE(listed().filter(QRegularExpression("\t(first|second|third)$")).size(), 3);
    // A writer that gives the length of each text leaves its "From " lines unquoted.
    const QByteArray text = "a line\n\nFrom x@example.org Sun Jun 21 09:09:00 2026\nstill the text\n";
    QCOMPARE(mailTool({"import", write("cl.mbox", "From a@example.org Sun Jun 21 09:00:00 2026\nFrom: a@example.org\n"
                                                   "Subject: measured\nContent-Length: " + QByteArray::number(text.size())
                                                   + "\n\n" + text + "\nFrom b@example.org Sun Jun 21 09:01:00 2026\n"
                                                   "From: b@example.org\nSubject: after it\n\nb\n")}, &out, &err), 0);
    QCOMPARE(QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts).size(), 2);
    QCOMPARE(listed().filter(QRegularExpression("\t(measured|after it)$")).size(), 2);
    // An export larger than a message may be is read message by message.
    QByteArray large;
    for (int i = 0; i < 3; ++i)
        large += "From - Sun Jun 21 09:05:00 2026\nFrom: f@example.org\nSubject: large " + QByteArray::number(i) + "\n\n"
            + QByteArray(22 * 1024 * 1024, 'x') + "\n\n";
    QCOMPARE(mailTool({"import", write("large.mbox", large)}, &out, &err), 0);
    // An mbox of a "From " line alone (as old Macs wrote, lines ended by CR) holds no message.
    QCOMPARE(mailTool({"import", write("cr.mbox", "From a@example.org Sun Jun 21 09:00:00 2026\rFrom: a@example.org\r")}, &out, &err), 1);
    QVERIFY2(err.contains("is no e-mail message"), err.constData());
    QCOMPARE(listed().filter(QRegularExpression("\tlarge \\d$")).size(), 3);

    // The same message again (its Message-ID) is skipped; sent, it is another.
    const QString once = write("once.eml", "From: c@example.org\nSubject: once\nMessage-ID: <once@example.org>\n\nx\n");
    QCOMPARE(mailTool({"import", once}, &out, &err), 0);
    QCOMPARE(mailTool({"import", once, once}, &out, &err), 0);
    QVERIFY2(err.contains("<once@example.org> is already in the store"), err.constData());
    QVERIFY(out.isEmpty());
    QCOMPARE(mailTool({"import", "--outgoing", once}, &out, &err), 0);
    QCOMPARE(listed().filter(QRegularExpression("\tonce$")).size(), 2);
    // Another message under that Message-ID (a mailer that reuses its own).
    QCOMPARE(mailTool({"import", write("reused.eml", "From: shop@example.org\nSubject: shipped\n"
                                                      "Message-ID: <once@example.org>\n\nx\n")}, &out, &err), 0);
    QCOMPARE(listed().filter(QRegularExpression("shop@example.org\tshipped$")).size(), 1);
    // So is one another mail program put into the folder (the store has
    // not read it for its Message-ID yet).
    const QByteArray dropped = "From: c@example.org\nSubject: dropped\nMessage-ID: <dropped@example.org>\n\nx\n";
    QFile delivered(m_dir->filePath("mail/new/1765000000.M1P1.elsewhere"));
    QVERIFY(delivered.open(QIODevice::WriteOnly) && delivered.write(dropped) == dropped.size());
    delivered.close();
    QCOMPARE(mailTool({"import", write("dropped.eml", dropped)}, &out, &err), 0);
    QVERIFY2(err.contains("<dropped@example.org> is already in the store"), err.constData());
    QCOMPARE(listed().filter(QRegularExpression("\tdropped$")).size(), 1);
    // A line break in an encoded subject stays inside its record.
    QCOMPARE(mailTool({"import", write("lines.eml", "From: d@example.org\nSubject: =?UTF-8?Q?one=0Atwo?=\n\nx\n")}, &out, &err), 0);
    QCOMPARE(listed().filter(QRegularExpression("\tone two$")).size(), 1);
    // A byte order mark before the first header.
    QCOMPARE(mailTool({"import", write("bom.eml", "\xEF\xBB\xBF" "From: bom@example.org\nSubject: marked\n\nx\n")}, &out, &err), 0);
    QCOMPARE(listed().filter(QRegularExpression("bom@example.org.*\tmarked$")).size(), 1);
}

// The password in a real GNOME Keyring on a private session bus, unlocked as
// a session login does; then the same bus with no secret store on it.
void TestMailTool::passwordLivesInTheSecretStore()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    if (QStandardPaths::findExecutable("gnome-keyring-daemon").isEmpty())
        QSKIP("gnome-keyring-daemon is not installed");
    HVTest::Dovecot server;
    QVERIFY(startServer(server, {"one"}));
    QSettings settings(m_dir->filePath("config/halvane/halvane.conf"), QSettings::IniFormat);
    settings.remove("mail/password-in-file");
    settings.sync();

    const QByteArray userBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const auto restoreBus = qScopeGuard([&userBus] {
        if (userBus.isNull())
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", userBus);
    });
    QProcess bus;
    // An empty service directory: the bus starts no secret store of the machine's own.
    QVERIFY(QDir().mkpath(m_dir->filePath("no-services")));
    QVERIFY(HVTest::startSessionBus(bus, m_dir->filePath("bus"), m_dir->filePath("no-services")));
    const QString busAddress = QString::fromLatin1(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    const auto stopBus = qScopeGuard([&bus] {
        bus.terminate();
        bus.waitForFinished();
    });
    for (const char *dir : {"home", "data", "runtime"})
        QVERIFY(QDir().mkpath(m_dir->filePath(dir)));
    QVERIFY(QFile::setPermissions(m_dir->filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    m_session.insert("HOME", m_dir->filePath("home"));
    m_session.insert("XDG_DATA_HOME", m_dir->filePath("data"));
    m_session.insert("XDG_RUNTIME_DIR", m_dir->filePath("runtime"));
    // QtKeychain takes KWallet on KDE, the Secret Service elsewhere (Phosh).
    m_session.insert("XDG_CURRENT_DESKTOP", "GNOME");
    m_session.insert("KDE_FULL_SESSION", "");
    m_session.insert("KDE_SESSION_VERSION", "");
    m_session.insert("DESKTOP_SESSION", "");

    QProcess keyring;
    keyring.setProcessEnvironment(environment());
    keyring.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
    QVERIFY(keyring.waitForStarted());
    keyring.write("login password");
    keyring.closeWriteChannel();
    {
        QDBusConnection connection = QDBusConnection::connectToBus(busAddress, "secrets");
        QTRY_VERIFY_WITH_TIMEOUT(connection.interface()->isServiceRegistered("org.freedesktop.secrets"), 20000);
    }
    QDBusConnection::disconnectFromBus("secrets");

    QByteArray out, err;
    auto setPassword = [this, &out, &err](const QByteArray &input) {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(HVTEST_MAIL_PROGRAM, {"set-password"});
        process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return -1;
        out = process.readAllStandardOutput();
        err = process.readAllStandardError();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    auto fileHolds = [&settings](const QString &password) {
        settings.sync();
        return settings.value("mail/password").toString() == password;
    };

    // Still in the file: moved to the store on first use, once.
    QCOMPARE(mailTool({"sync"}, &out, &err), 0);
    QCOMPARE(out.trimmed(), QByteArray("1 new message(s)"));
    QVERIFY2(err.contains("was moved from") && err.contains("secret store"), err.constData());
    QVERIFY(fileHolds(QString()));
    QFile conf(settings.fileName());
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QVERIFY(!conf.readAll().contains(server.password().toUtf8()));
    QVERIFY(server.deliver(mail("two")));
    QCOMPARE(mailTool({"sync"}, &out, &err), 0);
    QCOMPARE(out.trimmed(), QByteArray("1 new message(s)"));
    QVERIFY2(!err.contains("moved"), err.constData());

    // Set from standard input, never from the command line.
    QCOMPARE(mailTool({"set-password", "wrong"}, &out, &err), 2);
    QCOMPARE(setPassword("wrong\n"), 0);
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("cannot log in as ann@"), err.constData());
    QCOMPARE(setPassword(server.password().toUtf8() + "\n"), 0);
    QVERIFY2(out.contains("secret store"), out.constData());
    QVERIFY(fileHolds(QString()));
    QVERIFY(server.deliver(mail("three")));
    QCOMPARE(mailTool({"sync"}, &out, &err), 0);
    QCOMPARE(out.trimmed(), QByteArray("1 new message(s)"));

    // A store that never answers holds nothing up beyond mail/timeout.
    keyring.terminate();
    QVERIFY(keyring.waitForFinished());
    {
        QDBusConnection connection = QDBusConnection::connectToBus(busAddress, "silent");
        SilentStore silent;
        QVERIFY(connection.registerVirtualObject("/", &silent, QDBusConnection::SubPath));
        QVERIFY(connection.registerService("org.freedesktop.secrets"));
        settings.setValue("mail/timeout", 2);
        settings.sync();
        QCOMPARE(mailTool({"sync"}, &out, &err), 1);
        QVERIFY2(err.contains("no secret store answers (no answer within 2 s)"), err.constData());
        settings.remove("mail/timeout");
        settings.sync();
        connection.unregisterService("org.freedesktop.secrets");
        connection.unregisterObject("/");
    }
    QDBusConnection::disconnectFromBus("silent");

    // No secret store: said so; the file only where the settings allow it.
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("no secret store answers") && err.contains("mail/password-in-file=true"), err.constData());
    settings.setValue("mail/password", server.password());
    settings.sync();
    QCOMPARE(mailTool({"sync"}, &out, &err), 1);
    QVERIFY2(err.contains("no secret store answers"), err.constData());
    QVERIFY(fileHolds(server.password()));
    settings.setValue("mail/password-in-file", true);
    settings.remove("mail/password");
    settings.sync();
    QCOMPARE(setPassword(server.password().toUtf8() + "\n"), 0);
    QVERIFY2(out.contains("no secret store answers") && out.contains("is kept in"), out.constData());
    QVERIFY(fileHolds(server.password()));
    // Then the file is the user's alone, also after other writes of it.
    settings.setValue("mail/timeout", 30);
    settings.sync();
    QCOMPARE(QFile::permissions(settings.fileName()) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    settings.remove("mail/timeout");
    settings.sync();
    QVERIFY(server.deliver(mail("four")));
    QCOMPARE(mailTool({"sync"}, &out, &err), 0);
    QCOMPARE(out.trimmed(), QByteArray("1 new message(s)"));
}

void TestMailTool::overviewFollowsTheFetchedContent()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY(startServer(server, {"today"}));
    QCOMPARE(mailTool({"sync"}), 0);
    QVERIFY(installEmailPlugin());

    QProcess overview;
    overview.setProcessEnvironment(environment());
    overview.start(HVTEST_OVERVIEW_PROGRAM, {"--json", "--settle=0", "--follow=0"});
    auto readLine = [&overview]() { return HVTest::readJsonLine(overview); };

    const QJsonArray messages = readLine().value("message").toArray();
    QCOMPARE(messages.size(), 1);
    QJsonObject row = messages.first().toObject();
    QCOMPARE(row.value("subject").toString(), QString("today"));
    QCOMPARE(row.value("messageType").toInt(), 1);
    QCOMPARE(row.value("from").toString(), QString("bea@example.org"));
    // The content came after the first answer, or was quicker.
    if (row.value("body").toString().isEmpty()) {
        const QJsonObject change = readLine();
        QCOMPARE(change.value("change").toString(), QString("changed"));
        QCOMPARE(change.value("type").toString(), QString("message"));
        row = change.value("item").toObject();
    }
    QCOMPARE(row.value("body").toString(), QString("<p>html today</p>"));
    QCOMPARE(row.value("displayLabel").toString(), QString("plain today"));

    overview.terminate();
    QVERIFY(overview.waitForFinished(10000));
    QVERIFY(listed().value(0).contains("\tin,complete\t"));
}

// The content arrives while the run waits for late sources: it is printed
// with the rest, never in place of it.
void TestMailTool::overviewPrintsContentFetchedDuringItsRun()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY(startServer(server, {"first", "second"}));
    QCOMPARE(mailTool({"sync"}), 0);
    QVERIFY(installEmailPlugin());

    // The fetch from a local server takes well under the settling time.
    QByteArray out, err;
    QCOMPARE(run(HVTEST_OVERVIEW_PROGRAM, {"--json", "--settle=8000"}, &out, &err), 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(out, &error);
    QVERIFY2(error.error == QJsonParseError::NoError, QByteArray(out + err).constData());
    QMap<QString, QString> bodies;
    for (const QJsonValue &value : document.object().value("message").toArray())
        bodies.insert(value.toObject().value("subject").toString(), value.toObject().value("body").toString());
    QCOMPARE(bodies.keys(), QStringList({"first", "second"}));
    QCOMPARE(bodies.value("first"), QString("<p>html first</p>"));
    QCOMPARE(bodies.value("second"), QString("<p>html second</p>"));
}

void TestMailTool::demoShowsTheSampleMail()
{
    QVERIFY(installEmailPlugin());
    QByteArray out, err;
    QCOMPARE(run(HVTEST_OVERVIEW_PROGRAM, {"--demo", "--json", "--settle=0"}, &out, &err), 0);
    const QJsonArray messages = QJsonDocument::fromJson(out).object().value("message").toArray();
    QCOMPARE(messages.size(), 5);

    QMap<QString, QJsonObject> bySubject;
    for (const QJsonValue &value : messages) {
        const QJsonObject row = value.toObject();
        QCOMPARE(row.value("messageType").toInt(), 1);
        QCOMPARE(QDateTime::fromString(row.value("date").toString(), Qt::ISODate).date(), QDate::currentDate());
        bySubject.insert(row.value("subject").toString(), row);
    }
    QCOMPARE(bySubject.value("Lunch on Friday?").value("from").toString(), QString("claire.martin@example.org"));
    QVERIFY(bySubject.value("New this week at the library").value("body").toString().startsWith("<html>"));
    const QJsonArray attachments = bySubject.value("Agenda for the planning meeting").value("attachments").toArray();
    QCOMPARE(attachments.size(), 1);
    QCOMPARE(attachments.first().toObject().value("fileName").toString(), QString("agenda.pdf"));
    QCOMPARE(attachments.first().toObject().value("contentType").toString(), QString("application/pdf"));
    const QString cologne = QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e aus K\xc3\xb6ln \xe2\x80\x93 Fotos folgen");
    QVERIFY(bySubject.value(cologne).value("body").toString().startsWith(QString::fromUtf8("Hallo aus K\xc3\xb6ln!")));
    // The header-only sample: shown without body; there is no server to ask,
    // and nothing to warn of.
    QVERIFY(bySubject.value("Your train tickets for Monday").value("body").toString().isEmpty());
    QVERIFY2(!err.contains("came from no mail account"), err.constData());
}

QTEST_GUILESS_MAIN(TestMailTool)
#include "tst_mailtool.moc"
