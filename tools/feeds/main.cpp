// halvane-feeds: brings downloaded feeds (RSS, RDF, Atom) into the Tracker
// store the feeds plug-in reads, and lists or removes what is there.
#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDateTime>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtCore/QDir>
#include <QtCore/QUrl>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <Syndication/Syndication>

#include <cstdio>
#include <memory>

#include "qsparqlconnection.h"
#include "qsparqlresult.h"

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "halvane-feeds: %s\n", qPrintable(message));
    return 1;
}

int usage(const QCommandLineParser &parser, const QString &message = QString())
{
    if (!message.isEmpty())
        std::fprintf(stderr, "halvane-feeds: %s\n\n", qPrintable(message));
    std::fprintf(stderr, "%s\nCommands:\n  import FILE|URL   add or update the channel and messages of an RSS, RDF or Atom feed\n"
                         "  list              print every channel and its messages: URN, download time, title\n"
                         "  remove URN        remove one message, or one channel with its messages\n",
                 qPrintable(parser.helpText()));
    return 2;
}

std::unique_ptr<QSparqlResult> run(QSparqlConnection &connection, const QSparqlQuery &query)
{
    return std::unique_ptr<QSparqlResult>(connection.exec(query));
}

// Reads a local file or downloads a URL; false with error set on failure.
bool readSource(const QString &argument, QByteArray *data, QUrl *url, QString *error)
{
    // Relative paths are relative to where the command runs.
    const QUrl given = QUrl::fromUserInput(argument, QDir::currentPath(), QUrl::AssumeLocalFile);
    if (QFileInfo::exists(argument) || given.isLocalFile()) {
        const QString path = QFileInfo::exists(argument) ? argument : given.toLocalFile();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1: %2").arg(argument, file.errorString());
            return false;
        }
        *data = file.readAll();
        *url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        return true;
    }
    if (given.scheme() != QLatin1String("http") && given.scheme() != QLatin1String("https")) {
        *error = QStringLiteral("%1 is neither a readable file nor an http(s) URL").arg(argument);
        return false;
    }
    QNetworkAccessManager network;
    QNetworkRequest request(given);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(30000);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (reply->error() != QNetworkReply::NoError) {
        *error = QStringLiteral("cannot download %1: %2").arg(argument, reply->errorString());
        return false;
    }
    *data = reply->readAll();
    *url = given;
    return true;
}

// Syndication hands titles over as HTML. Markup stays (the plug-in takes tags
// out) but quotes and ampersands are shown as the characters they stand for.
QString titleText(QString title)
{
    static const QRegularExpression quotes(QStringLiteral("&(quot|#34|apos|#39);"));
    static const QRegularExpression ampersand(QStringLiteral("&amp;(?!lt;|gt;)"));
    QString text;
    int last = 0;
    auto matches = quotes.globalMatch(title);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString name = match.captured(1);
        text += title.midRef(last, match.capturedStart() - last)
            + (name == QLatin1String("quot") || name == QLatin1String("#34") ? QLatin1Char('"') : QLatin1Char('\''));
        last = match.capturedEnd();
    }
    text += title.midRef(last);
    return text.replace(ampersand, QStringLiteral("&"));
}

// Stable URNs, so that importing the same items again updates them.
QUrl urn(const char *kind, const QString &key)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QUrl(QLatin1String("urn:halvane:") + QLatin1String(kind) + QLatin1Char(':') + QString::fromLatin1(hash));
}

int importFeed(QSparqlConnection &connection, const QString &argument)
{
    QByteArray data;
    QUrl url;
    QString error;
    if (!readSource(argument, &data, &url, &error))
        return fail(error);
    const Syndication::FeedPtr feed = Syndication::parse(Syndication::DocumentSource(data, url.toString()));
    if (!feed)
        return fail(QStringLiteral("%1 is not a readable RSS, RDF or Atom feed").arg(argument));

    const QString channelKey = feed->link().isEmpty() ? url.toString() : feed->link();
    const QUrl channel = urn("feedchannel", channelKey);
    const QString channelTitle = feed->title().isEmpty() ? url.fileName() : titleText(feed->title());

    // Everything goes in one update, so a failure leaves the store as it was.
    QString text = QStringLiteral("INSERT OR REPLACE { ?:channel a mfo:FeedChannel ; nie:title ?:channelTitle } ");
    QSparqlQuery update(QString(), QSparqlQuery::InsertStatement);
    update.bindValue(QStringLiteral("channel"), channel);
    update.bindValue(QStringLiteral("channelTitle"), channelTitle);
    // The first download time stays: a re-import is no new download.
    update.bindValue(QStringLiteral("now"), QDateTime::currentDateTimeUtc());

    const QList<Syndication::ItemPtr> items = feed->items();
    int count = 0;
    for (const Syndication::ItemPtr &item : items) {
        const QString n = QString::number(count);
        const QString message = QStringLiteral("m") + n;
        const QString description = item->description().isEmpty() ? item->content() : item->description();
        text += QStringLiteral("; INSERT OR REPLACE { ?:%1 a mfo:FeedMessage ; nie:title ?:t%2 ; nie:description ?:d%2 ; "
                               "nie:isLogicalPartOf ?:channel } ")
                    .arg(message, n);
        text += QStringLiteral("; INSERT { ?:%1 mfo:downloadedTime ?:now } WHERE { FILTER NOT EXISTS { ?:%1 mfo:downloadedTime ?any } } ")
                    .arg(message);
        update.bindValue(message, urn("feedmessage", channelKey + QLatin1Char('\n') + item->id()));
        update.bindValue(QStringLiteral("t") + n, titleText(item->title()));
        update.bindValue(QStringLiteral("d") + n, description);

        const QUrl link(item->link(), QUrl::StrictMode);
        if (link.isValid() && (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https"))
            && !QSparqlQuery::term(link).isEmpty()) {
            text += QStringLiteral("; INSERT OR REPLACE { ?:l%1 a nfo:RemoteDataObject ; nie:url ?:u%1 . ?:%2 nie:links ?:l%1 } ")
                        .arg(n, message);
            update.bindValue(QStringLiteral("l") + n, link);
            update.bindValue(QStringLiteral("u") + n, link.toString(QUrl::FullyEncoded));
        }
        ++count;
    }
    update.setQuery(text);
    auto result = run(connection, update);
    if (result->hasError())
        return fail(QStringLiteral("the store refused %1: %2").arg(argument, result->lastError().message()));
    std::printf("imported %d messages of %s\n", count, qPrintable(channelTitle));
    return 0;
}

int list(QSparqlConnection &connection)
{
    auto result = run(connection, QSparqlQuery(QStringLiteral(
        "SELECT ?c ?ct ?m ?d ?t WHERE { ?c a mfo:FeedChannel . OPTIONAL { ?c nie:title ?ct } "
        "OPTIONAL { ?m nie:isLogicalPartOf ?c ; a mfo:FeedMessage . "
        "OPTIONAL { ?m mfo:downloadedTime ?d } OPTIONAL { ?m nie:title ?t } } } ORDER BY ?ct ?c ?d ?m")));
    if (result->hasError())
        return fail(QStringLiteral("the store cannot be read: ") + result->lastError().message());
    QString lastChannel;
    while (result->next()) {
        const QString channel = result->value(0).toUrl().toString();
        if (channel != lastChannel) {
            std::printf("%s\t%s\n", qPrintable(channel), qPrintable(result->value(1).toString()));
            lastChannel = channel;
        }
        if (result->binding(2).isValid())
            std::printf("  %s\t%s\t%s\n", qPrintable(result->value(2).toUrl().toString()),
                        qPrintable(result->value(3).toDateTime().toUTC().toString(Qt::ISODate)),
                        qPrintable(result->value(4).toString()));
    }
    return 0;
}

int remove(QSparqlConnection &connection, const QString &argument)
{
    const QUrl resource(argument, QUrl::StrictMode);
    if (!resource.isValid() || QSparqlQuery::term(resource).isEmpty())
        return fail(QStringLiteral("%1 is no URN").arg(argument));

    QSparqlQuery kind(QStringLiteral("SELECT ?k WHERE { VALUES ?k { mfo:FeedChannel mfo:FeedMessage } ?:r a ?k }"));
    kind.bindValue(QStringLiteral("r"), resource);
    auto found = run(connection, kind);
    if (found->hasError())
        return fail(QStringLiteral("the store cannot be read: ") + found->lastError().message());
    if (!found->next())
        return fail(QStringLiteral("no feed channel or message %1").arg(argument));

    // A channel goes with its messages; their links are the messages' own.
    QSparqlQuery removal(QStringLiteral(
        "DELETE { ?l a rdfs:Resource } WHERE { { ?:r nie:links ?l } UNION { ?m nie:isLogicalPartOf ?:r ; nie:links ?l } } ; "
        "DELETE { ?m a rdfs:Resource } WHERE { ?m a mfo:FeedMessage ; nie:isLogicalPartOf ?:r } ; "
        "DELETE { ?:r a rdfs:Resource } WHERE { ?:r a rdfs:Resource }"),
        QSparqlQuery::DeleteStatement);
    removal.bindValue(QStringLiteral("r"), resource);
    auto result = run(connection, removal);
    if (result->hasError())
        return fail(QStringLiteral("the store refused the removal: ") + result->lastError().message());
    std::printf("removed %s\n", qPrintable(argument));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("halvane-feeds"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Feed messages in the Tracker store: the endpoint HALVANE_TRACKER_SERVICE names, else the local store."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("import, list or remove"));
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usage(parser, QStringLiteral("no command given"));
    const QString command = arguments.first();
    const int needed = command == QLatin1String("list") ? 1 : 2;
    if ((command != QLatin1String("import") && command != QLatin1String("list") && command != QLatin1String("remove")))
        return usage(parser, QStringLiteral("unknown command ") + command);
    if (arguments.size() != needed)
        return usage(parser, QStringLiteral("wrong number of arguments for ") + command);

    QSparqlConnection connection(QStringLiteral("QTRACKER"));
    if (!connection.isValid())
        return fail(QStringLiteral("no Tracker store: ") + connection.lastError().message());
    if (command == QLatin1String("import"))
        return importFeed(connection, arguments.at(1));
    if (command == QLatin1String("remove"))
        return remove(connection, arguments.at(1));
    return list(connection);
}
