// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QCryptographicHash>
#include <QtCore/QEventLoop>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtNetwork/QTcpServer>
#include <QtNetwork/QTcpSocket>
#include <QtTest/QtTest>

#include "qsparqlconnection.h"
#include "qsparqlresult.h"

#include <functional>
#include <memory>
#include <vector>

namespace {

const char Rss[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>Town News</title><link>https://news.example.org/</link><description>d</description>
<item><title>&lt;b&gt;Market&lt;/b&gt; opens</title><link>https://news.example.org/market</link>
<guid>https://news.example.org/market</guid><description>At &lt;i&gt;seven&lt;/i&gt;.</description></item>
<item><title>Library</title><guid>https://news.example.org/library</guid><description>Till nine.</description></item>
</channel></rss>
)";

// moc does not read this one as a raw string.
const char Atom[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Tech Notes</title><link href=\"https://tech.example.org/\"/>\n"
    "<id>urn:uuid:1</id><updated>2026-06-21T08:00:00Z</updated><author><name>A</name></author>\n"
    "<entry><title>Release &quot;2.0&quot; &apos; } ; DELETE WHERE { ?s ?p ?o }</title><link href=\"https://tech.example.org/r\"/>\n"
    "<id>urn:uuid:2</id><updated>2026-06-21T08:00:00Z</updated><summary>Faster.</summary></entry>\n"
    "</feed>\n";

// Serves documents by path on loopback, 404 for any other path.
class FeedServer : public QObject
{
public:
    bool listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
        return m_server.listen(QHostAddress::LocalHost);
    }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    QHash<QByteArray, QByteArray> documents;
    // Content types other than application/xml, by path.
    QHash<QByteArray, QByteArray> types;
    // Further header lines, by path.
    QHash<QByteArray, QByteArray> headers;
    QByteArray lastRequest;
    // Documents carry an ETag, and a request naming it gets "not modified".
    bool etags = false;

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        lastRequest = request;
        m_requests.remove(socket);
        const auto document = documents.constFind(path);
        const QByteArray body = document == documents.constEnd() ? QByteArray("not here") : *document;
        const QByteArray etag = '"' + QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex() + '"';
        if (etags && document != documents.constEnd()) {
            const bool same = request.contains("\r\nIf-None-Match: " + etag + "\r\n");
            socket->write(QByteArray(same ? "HTTP/1.1 304 Not Modified" : "HTTP/1.1 200 OK") + "\r\nETag: " + etag
                          + "\r\nContent-Type: application/xml\r\nConnection: close\r\nContent-Length: "
                          + QByteArray::number(same ? 0 : body.size()) + "\r\n\r\n" + (same ? QByteArray() : body));
            socket->disconnectFromHost();
            return;
        }
        socket->write(QByteArray(document == documents.constEnd() ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK")
                      + "\r\nContent-Type: " + types.value(path, "application/xml") + headers.value(path)
                      + "\r\nConnection: close\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

} // namespace

// halvane-feeds on a local store: imports, re-imports, refusals, list and remove.
class TestFeedsTool : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void importsAndUpdatesWithoutDuplicates();
    void feedsOfOneSiteKeepTheirChannels();
    void sitesWithRelativeLinksStayApart();
    void titleEntitiesBecomeCharacters();
    void itemsWithoutGuidOrTitle();
    void malformedFeedsWriteNothing();
    void removeMessageAndChannel();
    void refreshGoesOnPastFailingFeeds();
    void serverCharsetCountsWhereTheFeedNamesNone();
    void refreshAsksWhetherTheFeedChanged();
    void subscribesAtOnceAreAllKept();

private:
    int run(const QStringList &arguments, QByteArray *output = nullptr, QByteArray *errors = nullptr);
    QString write(const QString &name, const QByteArray &content);
    QList<QStringList> messages();
    // Whether a stored message (text, body, channel) is as asked.
    bool anyMessage(const std::function<bool(const QStringList &)> &match);
    int resourceCount();

    QTemporaryDir m_dir;
};

void TestFeedsTool::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
}

int TestFeedsTool::run(const QStringList &arguments, QByteArray *output, QByteArray *errors)
{
    // Waits in an event loop: the tool may be downloading from this process.
    QProcess process;
    QEventLoop loop;
    connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    process.start(HVTEST_FEEDS_PROGRAM, arguments);
    loop.exec();
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = process.readAllStandardOutput();
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitCode();
}

QString TestFeedsTool::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
}

// Title, description, channel title, download time and link of every message, sorted.
bool TestFeedsTool::anyMessage(const std::function<bool(const QStringList &)> &match)
{
    const QList<QStringList> rows = messages();
    return std::any_of(rows.cbegin(), rows.cend(), match);
}

QList<QStringList> TestFeedsTool::messages()
{
    QSparqlConnection connection;
    std::unique_ptr<QSparqlResult> result(connection.exec(QSparqlQuery(
        "SELECT ?t ?d ?ct ?when ?url WHERE { ?m a mfo:FeedMessage ; nie:title ?t ; nie:description ?d ; "
        "mfo:downloadedTime ?when ; nie:isLogicalPartOf ?c . ?c a mfo:FeedChannel ; nie:title ?ct . "
        "OPTIONAL { ?m nie:links ?l . ?l nie:url ?url } } ORDER BY ?t")));
    QList<QStringList> rows;
    while (result->next())
        rows.append({result->value(0).toString(), result->value(1).toString(), result->value(2).toString(),
                     result->value(3).toDateTime().toUTC().toString(Qt::ISODate), result->value(4).toString()});
    return rows;
}

int TestFeedsTool::resourceCount()
{
    QSparqlConnection connection;
    std::unique_ptr<QSparqlResult> result(
        connection.exec(QSparqlQuery("SELECT (COUNT(?r) AS ?n) WHERE { ?r a rdfs:Resource }")));
    return result->next() ? result->value(0).toInt() : -1;
}

void TestFeedsTool::importsAndUpdatesWithoutDuplicates()
{
    const QString rss = write("news.rss", Rss);
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    QByteArray output;
    QCOMPARE(run({"import", rss}, &output), 0);
    QCOMPARE(output, QByteArray("imported 2 messages of Town News\n"));
    QCOMPARE(run({"import", write("tech.atom", Atom)}), 0);

    // Two imports at once into a store neither has made yet.
    QProcess first, second;
    QProcessEnvironment fresh = QProcessEnvironment::systemEnvironment();
    fresh.insert("XDG_DATA_HOME", m_dir.filePath("fresh"));
    for (QProcess *process : {&first, &second}) {
        process->setProcessEnvironment(fresh);
        process->start(HVTEST_FEEDS_PROGRAM, {"import", process == &first ? rss : m_dir.filePath("tech.atom")});
    }
    for (QProcess *process : {&first, &second}) {
        QVERIFY(process->waitForFinished(30000));
        QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
    }

    QList<QStringList> rows = messages();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(0), QStringList({"<b>Market</b> opens", "At <i>seven</i>.", "Town News", rows.at(0).at(3),
                                      "https://news.example.org/market"}));
    QCOMPARE(rows.at(1).mid(0, 3), QStringList({"Library", "Till nine.", "Town News"}));
    QCOMPARE(rows.at(2).mid(0, 3), QStringList({"Release \"2.0\" ' } ; DELETE WHERE { ?s ?p ?o }", "Faster.", "Tech Notes"}));
    const QDateTime downloaded = QDateTime::fromString(rows.at(0).at(3), Qt::ISODate);
    QVERIFY(downloaded >= before && downloaded <= QDateTime::currentDateTimeUtc());
    QVERIFY(rows.at(0).at(3).endsWith('Z'));

    // Again, with one title changed: updated in place, download time kept.
    QByteArray changed(Rss);
    changed.replace("Library", "Library extends its hours");
    QCOMPARE(run({"import", write("news.rss", changed)}), 0);
    const QList<QStringList> again = messages();
    QCOMPARE(again.size(), 3);
    QCOMPARE(again.at(1).at(0), QString("Library extends its hours"));
    QCOMPARE(again.at(1).at(3), rows.at(1).at(3));

    QCOMPARE(run({"list"}, &output), 0);
    QCOMPARE(output.count("urn:halvane:feedchannel:"), 2);
    QCOMPARE(output.count("urn:halvane:feedmessage:"), 3);
    QVERIFY(output.contains("\tLibrary extends its hours\n"));
}

void TestFeedsTool::feedsOfOneSiteKeepTheirChannels()
{
    const QByteArray feed("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Blog: %1</title>"
                          "<link>https://blog.example.org/</link><description>d</description>"
                          "<item><title>%1 post</title><description>x</description><guid>1</guid></item>"
                          "</channel></rss>");
    for (const char *category : {"Food", "Travel"})
        QCOMPARE(run({"import", write("blog.rss", QByteArray(feed).replace("%1", category))}), 0);
    QStringList posts;
    for (const QStringList &row : messages()) {
        if (row.at(0).endsWith(" post"))
            posts.append(row.at(0) + " in " + row.at(2));
    }
    QCOMPARE(posts, QStringList({"Food post in Blog: Food", "Travel post in Blog: Travel"}));
}

void TestFeedsTool::sitesWithRelativeLinksStayApart()
{
    // Two sites that both call themselves "News" and link to "/".
    FeedServer first, second;
    QVERIFY(first.listen() && second.listen());
    const QByteArray feed("<rss version=\"2.0\"><channel><title>News</title><link>/</link><description>d</description>"
                          "<item><title>%1</title><guid>1</guid></item></channel></rss>");
    first.documents.insert("/feed", QByteArray(feed).replace("%1", "First site"));
    second.documents.insert("/feed", QByteArray(feed).replace("%1", "Second site"));
    QCOMPARE(run({"import", first.url("/feed")}), 0);
    QCOMPARE(run({"import", second.url("/feed")}), 0);
    QStringList titles;
    for (const QStringList &row : messages()) {
        if (row.at(2) == QLatin1String("News"))
            titles.append(row.at(0));
    }
    QCOMPARE(titles, QStringList({"First site", "Second site"}));
}

void TestFeedsTool::titleEntitiesBecomeCharacters()
{
    QCOMPARE(run({"import", write("entities.rss",
                                  "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Caf&amp;eacute;</title>"
                                  "<link>https://cafe.example.org/</link><description>d</description><item>"
                                  "<title>Cr&amp;egrave;me &amp;mdash; I &amp;lt;3 AT&amp;amp;T</title>"
                                  "<description>x</description></item><item><title><![CDATA[If x < 5 and y > 3 in <vector>]]>"
                                  "</title></item></channel></rss>")}),
             0);
    const QList<QStringList> rows = messages();
    const auto row = std::find_if(rows.cbegin(), rows.cend(),
                                  [](const QStringList &row) { return row.at(2) == QString::fromUtf8("Caf\u00e9"); });
    QVERIFY(row != rows.cend());
    // The escaped bracket stays escaped, or the plug-in would take it for a tag.
    QCOMPARE(row->at(0), QString::fromUtf8("Cr\u00e8me \u2014 I &lt;3 AT&T"));
    // So does a bracket that opens no tag of markup, written as it is.
    QVERIFY(std::any_of(rows.cbegin(), rows.cend(), [](const QStringList &row) {
        return row.at(0) == QString("If x &lt; 5 and y &gt; 3 in &lt;vector&gt;");
    }));
    // The tool's list prints them as the overview shows them.
    QByteArray output;
    QCOMPARE(run({"list"}, &output), 0);
    QVERIFY2(output.contains("\tIf x < 5 and y > 3 in <vector>\n"), output.constData());
    // RSS 0.91 as Netscape wrote it: HTML's entities from a DTD nobody loads;
    // and Latin-1 as sites mean it, Windows' (a quote in 0x92).
    QCOMPARE(run({"import", write("netscape.rss", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!DOCTYPE rss PUBLIC "
                                                  "\"-//Netscape Communications//DTD RSS 0.91//EN\" \"http://my.netscape.com/"
                                                  "publish/formats/rss-0.91.dtd\"><rss version=\"0.91\"><channel><title>"
                                                  "Netscape</title><link>http://n.example/</link><description>d</description>"
                                                  "<item><title>Caf&eacute; it\x92s</title><link>http://n.example/1</link>"
                                                  "</item></channel></rss>")}),
             0);
    QVERIFY(anyMessage([](const QStringList &row) {
        return row.at(2) == "Netscape" && row.at(0) == QString::fromUtf8("Caf\u00e9 it\u2019s");
    }));
    // A channel's title is shown as it is: an Atom title's markup goes. A
    // video's text is its media description, as YouTube gives it.
    QCOMPARE(run({"import", write("tips.atom", "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:media=\"http://search."
                                               "yahoo.com/mrss/\"><title type=\"html\">C++ &lt;b&gt;Tips&lt;/b&gt; &amp;amp; "
                                               "more</title><link href=\"https://tips.example/\"/><entry><title type=\"xhtml\"><div "
                                               "xmlns=\"http://www.w3.org/1999/xhtml\">Less: <em>Is</em> More</div></title>"
                                               "<id>urn:t</id><updated>2026-06-21T08:00:00Z</updated><media:group>"
                                               "<media:description>In 3 &lt; 5 steps</media:description></media:group>"
                                               "</entry></feed>")}),
             0);
    QVERIFY(anyMessage([](const QStringList &row) {
        return row.at(2) == QString("C++ Tips & more") && row.at(1) == QString("In 3 &lt; 5 steps")
            && row.at(0) == QString("Less: <em>Is</em> More");
    }));
    // Written by hand: HTML's entities without a DTD, a character beyond
    // UTF-16's units by number, a title over lines, and the whole article
    // beside its summary.
    QCOMPARE(run({"import", write("blog.rss", "<?xml version=\"1.0\"?><rss version=\"2.0\" xmlns:content=\"http://purl.org/"
                                              "rss/1.0/modules/content/\"><channel><title>Blog &#x1F389;</title><link>"
                                              "http://blog.example/</link><description>d</description><item><title>Caf&eacute;\n"
                                              "\t&ndash; na&iuml;ve</title><guid>b1</guid><description>Short&hellip;</description>"
                                              "<content:encoded><![CDATA[<p>The whole story.</p>]]></content:encoded></item>"
                                              "</channel></rss>")}),
             0);
    QVERIFY(anyMessage([](const QStringList &row) {
        return row.at(2) == QString::fromUtf8("Blog \U0001F389") && row.at(0) == QString::fromUtf8("Caf\u00e9 \u2013 na\u00efve")
            && row.at(1) == QString("<p>The whole story.</p>");
    }));
}

void TestFeedsTool::itemsWithoutGuidOrTitle()
{
    // RSS 0.91 has no guid; microblog posts have no title.
    QByteArray feed = "<rss version=\"0.91\"><channel><title>Posts</title><link>http://posts.example/</link>"
                      "<description>d</description><item><title>Story</title><link>http://posts.example/s</link>"
                      "<description>first draft</description></item><item><link>http://posts.example/p</link>"
                      "<description>&lt;p&gt;Shipped &amp;lt;it&amp;gt; today&lt;/p&gt;</description></item>"
                      "<item><link>http://posts.example/m</link><description>&lt;p&gt;Good &lt;a href=\"t\"&gt;#&lt;span&gt;"
                      "coffee&lt;/span&gt;&lt;/a&gt; time&lt;/p&gt;</description></item><item><link>http://posts.example/c"
                      "</link><description>&lt;style&gt;.x{color:red}&lt;/style&gt;&lt;script&gt;var x = 1;&lt;/script&gt;"
                      "Code apart</description></item><item><title>Old</title><link>http://posts.example/o?utm_source=rss"
                      "</link><description>removed</description></item></channel></rss>";
    // Removed when an earlier version knew it by its whole link: it stays away.
    const auto urn = [](const QString &kind, const QString &key) {
        return QUrl("urn:halvane:" + kind + ":"
                    + QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex());
    };
    QSparqlQuery mark("INSERT DATA { ?:r a nfo:DeletedResource ; nfo:originalLocation ?:channel }",
                      QSparqlQuery::InsertStatement);
    mark.bindValue("r", urn("feedmessage", "http://posts.example/\nPosts\nlink:http://posts.example/o?utm_source=rss"));
    mark.bindValue("channel", urn("feedchannel", "http://posts.example/\nPosts").toString());
    QSparqlConnection connection;
    std::unique_ptr<QSparqlResult> removed(connection.exec(mark));
    QVERIFY2(!removed->hasError(), qPrintable(removed->lastError().message()));
    QCOMPARE(run({"import", write("posts.rss", feed)}), 0);
    // The second time the site adds where a reader came from to a link.
    QCOMPARE(run({"import", write("posts.rss", feed.replace("first draft", "corrected")
                                                   .replace("posts.example/s<", "posts.example/s?utm_source=rss&amp;utm_medium=feed<"))}), 0);
    QStringList titles;
    for (const QStringList &row : messages()) {
        if (row.at(2) == QLatin1String("Posts"))
            titles.append(row.at(0) + ": " + row.at(1));
    }
    QCOMPARE(titles, QStringList({"Code apart: <style>.x{color:red}</style><script>var x = 1;</script>Code apart",
                                  "Good #coffee time: <p>Good <a href=\"t\">#<span>coffee</span></a> time</p>",
                                  "Shipped &lt;it&gt; today: <p>Shipped &lt;it&gt; today</p>", "Story: corrected"}));

    // A club's news share one page's link; the one that leaves the feed stays.
    const QByteArray party = "<item><title>Party</title><link>http://club.example/news</link><description>July</description></item>";
    const QByteArray club = "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\" xmlns:itunes=\"http://"
                            "www.itunes.com/dtds/podcast-1.0.dtd\"><channel><title>Club</title><link>http://club.example/</link>"
                            "<description>d</description><item><title>Training</title><link>http://club.example/news"
                            "</link><description>Friday</description></item>" + party
        // A guid given twice, a feed's mistake: two items still.
        + "<item><title>One</title><guid>same</guid></item><item><title>Two</title><guid>same</guid></item>"
        // An image alone, described as Mastodon does; an episode named the iTunes way.
        + "<item><guid>p</guid><media:content url=\"http://club.example/1.jpg\"><media:description>Team photo"
          "</media:description></media:content></item><item><guid>e</guid><itunes:title>Episode</itunes:title>"
          "<itunes:summary>Talk</itunes:summary></item></channel></rss>";
    QCOMPARE(run({"import", write("club.rss", club)}), 0);
    QCOMPARE(run({"import", write("club.rss", QByteArray(club).replace(party, ""))}), 0);
    titles.clear();
    for (const QStringList &row : messages()) {
        if (row.at(2) == QLatin1String("Club"))
            titles.append(row.at(0));
    }
    QCOMPARE(titles, QStringList({"Episode", "One", "Party", "Team photo", "Training", "Two"}));
}

void TestFeedsTool::malformedFeedsWriteNothing()
{
    const int count = messages().size();
    QByteArray errors;
    QCOMPARE(run({"import", write("cut.rss", QByteArray(Rss).left(300))}, nullptr, &errors), 1);
    QVERIFY(errors.contains("is not a readable RSS, RDF or Atom feed"));
    QCOMPARE(run({"import", write("text.rss", "just text")}), 1);
    QCOMPARE(run({"import", write("userland.rss", "<rss version=\"2.0\" xmlns=\"http://backend.userland.com/rss2\">"
                                                  "<channel><title>T</title><item><title>i</title></item></channel></rss>")}),
             1);
    QCOMPARE(run({"import", m_dir.filePath("missing.rss")}, nullptr, &errors), 1);
    QVERIFY(errors.contains("missing.rss"));
    QCOMPARE(run({"import", "ftp://example.org/feed"}), 1);
    QCOMPARE(run({"frobnicate"}), 2);
    QCOMPARE(run({"import"}), 2);
    QCOMPARE(messages().size(), count);
}

void TestFeedsTool::removeMessageAndChannel()
{
    QCOMPARE(run({"import", write("news.rss", Rss)}), 0);
    QByteArray output;
    QCOMPARE(run({"list"}, &output), 0);
    QString message, channel;
    for (const QString &line : QString::fromUtf8(output).split('\n')) {
        if (line.startsWith("urn:") && line.endsWith("\tTown News"))
            channel = line.section('\t', 0, 0);
        if (line.startsWith("  ") && line.endsWith("\tLibrary"))
            message = line.trimmed().section('\t', 0, 0);
    }
    QVERIFY(!message.isEmpty() && !channel.isEmpty());
    const int count = messages().size();
    QCOMPARE(run({"remove", message}), 0);
    QCOMPARE(messages().size(), count - 1);
    QCOMPARE(run({"remove", message}), 1);
    QCOMPARE(run({"remove", "not a urn>"}), 1);
    // The next import of the feed does not bring it back; once it has left
    // the feed, nothing of it stays.
    const int resources = resourceCount();
    QCOMPARE(run({"import", write("news.rss", Rss)}), 0);
    QCOMPARE(messages().size(), count - 1);
    QCOMPARE(resourceCount(), resources);
    QCOMPARE(run({"import", write("news.rss", QByteArray(Rss).replace("library", "libraries"))}), 0);
    QCOMPARE(messages().size(), count);
    QCOMPARE(resourceCount(), resources + 1);

    QCOMPARE(run({"remove", channel}), 0);
    for (const QStringList &row : messages())
        QVERIFY(row.at(2) != "Town News");
    QCOMPARE(run({"list"}, &output), 0);
    QVERIFY(!output.contains(channel.toUtf8()));
    QVERIFY(!output.contains("news.example.org"));
}

// Subscriptions refreshed from a server on loopback: feeds that fail are
// reported and skipped; an unchanged feed refreshed again adds nothing and
// leaves its messages at the time they were first downloaded.
void TestFeedsTool::refreshGoesOnPastFailingFeeds()
{
    QSparqlConnection connection;
    std::unique_ptr<QSparqlResult> cleared(connection.exec(QSparqlQuery(
        "DELETE { ?r a rdfs:Resource } WHERE { VALUES ?k { mfo:FeedMessage mfo:FeedChannel nfo:RemoteDataObject } ?r a ?k }",
        QSparqlQuery::DeleteStatement)));
    cleared->waitForFinished();
    QVERIFY(!cleared->hasError());
    QCOMPARE(messages().size(), 0);
    FeedServer server;
    QVERIFY(server.listen());
    server.documents.insert("/news.rss", Rss);
    server.documents.insert("/tech.atom", Atom);
    server.documents.insert("/text.rss", "just text");

    QByteArray output, errors;
    QCOMPARE(run({"subscribe", "ftp://127.0.0.1/feed"}, nullptr, &errors), 1);
    QVERIFY(errors.contains("ftp://127.0.0.1/feed is no http(s) URL of a feed"));
    QCOMPARE(run({"subscribe", "http://"}), 1);
    // A password in the address stays out of what is printed (the journal).
    const QString locked = server.url("/locked.rss").replace("http://", "http://ann:secret@");
    QCOMPARE(run({"import", locked}, nullptr, &errors), 1);
    QVERIFY2(errors.contains("ann@") && !errors.contains("secret"), errors.constData());
    QCOMPARE(run({"subscribe", locked}), 0);
    QCOMPARE(run({"subscriptions"}, &output), 0);
    QVERIFY2(output.contains("ann@") && !output.contains("secret"), output.constData());
    // Taken off as it is printed, without the password.
    QCOMPARE(run({"unsubscribe", QString(locked).remove(":secret")}), 0);
    const QStringList urls = {server.url("/news.rss"), server.url("/gone.rss"), server.url("/text.rss"),
                              server.url("/tech.atom")};
    for (const QString &url : urls)
        QCOMPARE(run({"subscribe", url}), 0);
    QCOMPARE(run({"subscribe", urls.at(0)}, &output), 0);
    QCOMPARE(output, "already subscribed to " + urls.at(0).toUtf8() + "\n");
    QCOMPARE(run({"subscriptions"}, &output), 0);
    QCOMPARE(QString::fromUtf8(output), urls.join('\n') + '\n');
    // A podcast page's feed:// link is its http:// address.
    QCOMPARE(run({"subscribe", QString(urls.at(0)).replace("http://", "feed://")}, &output), 0);
    QCOMPARE(output, "already subscribed to " + urls.at(0).toUtf8() + "\n");

    QCOMPARE(run({"refresh"}, &output, &errors), 1);
    QVERIFY(errors.contains(urls.at(1).toUtf8()));
    QVERIFY(errors.contains(urls.at(2).toUtf8() + " is not a readable RSS, RDF or Atom feed"));
    QVERIFY(errors.contains("2 of 4 subscriptions failed"));
    QVERIFY(output.contains("of Town News") && output.contains("of Tech Notes"));
    const QList<QStringList> imported = messages();
    QCOMPARE(imported.size(), 3);
    // A site's address, pasted for its feed: the feed its page names.
    server.documents.insert("/site.html", "<!DOCTYPE html><html><head><link rel=\"alternate\" "
                                          "type=\"application/rss+xml\" href=\"news.rss\"></head><body></body></html>");
    QCOMPARE(run({"import", server.url("/site.html")}, &output), 0);
    QVERIFY2(output.contains("is a web page; its feed is " + urls.at(0).toUtf8()), output.constData());
    QCOMPARE(messages().size(), 3);

    // As if downloaded long ago: a refresh must not bring them into today.
    std::unique_ptr<QSparqlResult> aged(connection.exec(QSparqlQuery(
        "DELETE { ?m mfo:downloadedTime ?t } INSERT { ?m mfo:downloadedTime '2026-01-02T03:04:05Z'^^xsd:dateTime } "
        "WHERE { ?m a mfo:FeedMessage ; mfo:downloadedTime ?t }",
        QSparqlQuery::InsertStatement)));
    aged->waitForFinished();
    QVERIFY(!aged->hasError());
    const int resources = resourceCount();

    QCOMPARE(run({"unsubscribe", urls.at(1)}), 0);
    QCOMPARE(run({"unsubscribe", urls.at(1)}), 1);
    QCOMPARE(run({"unsubscribe", urls.at(2)}), 0);
    QCOMPARE(run({"refresh"}), 0);
    QCOMPARE(resourceCount(), resources);
    const QList<QStringList> refreshed = messages();
    QCOMPARE(refreshed.size(), imported.size());
    for (int i = 0; i < refreshed.size(); ++i) {
        QCOMPARE(refreshed.at(i).at(3), QString("2026-01-02T03:04:05Z"));
        QCOMPARE(refreshed.at(i).mid(0, 3), imported.at(i).mid(0, 3));
    }

    // A feed that renames itself is the same channel, not all its messages again.
    server.documents.insert("/news.rss", QByteArray(Rss).replace("<title>Town News", "<title>Town News Daily"));
    QCOMPARE(run({"refresh"}, &output), 0);
    QVERIFY(output.contains("of Town News Daily"));
    const QList<QStringList> renamed = messages();
    QCOMPARE(renamed.size(), imported.size());
    QCOMPARE(renamed.at(0).mid(2, 2), QStringList({"Town News Daily", "2026-01-02T03:04:05Z"}));
    // So is one whose site moved.
    server.documents.insert("/news.rss", QByteArray(server.documents.value("/news.rss"))
                                             .replace("<link>https://news.example.org/</link>",
                                                      "<link>https://town.example.org/</link>"));
    QCOMPARE(run({"refresh"}), 0);
    QCOMPARE(messages(), renamed);
}

void TestFeedsTool::serverCharsetCountsWhereTheFeedNamesNone()
{
    FeedServer server;
    QVERIFY(server.listen());
    server.documents.insert("/latin.rss", "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>M\xfc" "nchen \x96 live</title>"
                                          "<link>http://latin.example/</link><description>d</description><item>"
                                          "<title>Stra\xdf" "e</title><guid>s1</guid></item></channel></rss>");
    server.types.insert("/latin.rss", "text/xml; charset=ISO-8859-1");
    QByteArray output;
    QCOMPARE(run({"import", server.url("/latin.rss")}, &output), 0);
    QCOMPARE(QString::fromUtf8(output), QString::fromUtf8("imported 1 messages of M\u00fcnchen \u2013 live\n"));
    // Compressed, a download of a few MiB may unpack to gigabytes in memory
    // before the size limit sees it.
    QVERIFY2(server.lastRequest.contains("\r\nAccept-Encoding: identity\r\n"), server.lastRequest.constData());
    // Some servers compress all the same.
    server.documents.insert("/packed.rss", qCompress(server.documents.value("/latin.rss")).mid(4));
    server.types.insert("/packed.rss", "text/xml; charset=ISO-8859-1");
    server.headers.insert("/packed.rss", "\r\nContent-Encoding: deflate");
    QCOMPARE(run({"import", server.url("/packed.rss")}, &output), 0);
    QCOMPARE(QString::fromUtf8(output), QString::fromUtf8("imported 1 messages of M\u00fcnchen \u2013 live\n"));
}

void TestFeedsTool::refreshAsksWhetherTheFeedChanged()
{
    // Subscriptions and cache of their own.
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("conditional/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath("conditional/cache")));
    const auto restore = qScopeGuard([&config] {
        qputenv("XDG_CONFIG_HOME", config);
        qunsetenv("XDG_CACHE_HOME");
    });
    FeedServer server;
    QVERIFY(server.listen());
    server.etags = true;
    const QByteArray rss = QByteArray(Rss).replace("Town News", "Harbour News");
    server.documents.insert("/harbour.rss", rss);
    const QString url = server.url("/harbour.rss");
    QCOMPARE(run({"subscribe", url}), 0);
    QByteArray output;
    QCOMPARE(run({"refresh"}, &output), 0);
    QVERIFY2(output.contains("of Harbour News"), output.constData());
    QVERIFY(!server.lastRequest.contains("If-None-Match"));
    const auto harbour = [this] {
        int count = 0;
        for (const QStringList &row : messages())
            count += row.at(2) == "Harbour News";
        return count;
    };
    QCOMPARE(harbour(), 2);

    // Unchanged: the server sends nothing, and nothing changes.
    QCOMPARE(run({"refresh"}, &output), 0);
    QCOMPARE(output, url.toUtf8() + " is unchanged\n");
    QVERIFY(server.lastRequest.contains("If-None-Match"));
    QCOMPARE(harbour(), 2);

    // The channel removed since: downloaded whole again.
    QSparqlConnection connection;
    std::unique_ptr<QSparqlResult> channel(connection.exec(
        QSparqlQuery("SELECT ?c WHERE { ?c a mfo:FeedChannel ; nie:title 'Harbour News' }")));
    QVERIFY(channel->next());
    QCOMPARE(run({"remove", channel->value(0).toUrl().toString()}), 0);
    QCOMPARE(harbour(), 0);
    QCOMPARE(run({"refresh"}, &output), 0);
    QVERIFY(!server.lastRequest.contains("If-None-Match"));
    QCOMPARE(harbour(), 2);

    // Changed: the new text comes.
    server.documents.insert("/harbour.rss", QByteArray(rss).replace("library", "libraries"));
    QCOMPARE(run({"refresh"}, &output), 0);
    QVERIFY2(output.contains("of Harbour News"), output.constData());
    QCOMPARE(harbour(), 3);
}

void TestFeedsTool::subscribesAtOnceAreAllKept()
{
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("parallel/config")));
    const auto restore = qScopeGuard([&config] { qputenv("XDG_CONFIG_HOME", config); });
    // Each read the list, added its feed and wrote the list back over the others'.
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < 8; ++i) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(HVTEST_FEEDS_PROGRAM, {"subscribe", QString("http://127.0.0.1:9/%1.rss").arg(i)});
    }
    for (const auto &process : processes) {
        QVERIFY(process->waitForFinished(30000));
        QCOMPARE(process->exitCode(), 0);
    }
    QByteArray output;
    QCOMPARE(run({"subscriptions"}, &output), 0);
    QCOMPARE(output.count('\n'), 8);
}

QTEST_GUILESS_MAIN(TestFeedsTool)
#include "tst_feedstool.moc"
