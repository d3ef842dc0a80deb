// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

// halvane-feeds: brings downloaded feeds (RSS, RDF, Atom) into the Tracker
// store the feeds plug-in reads, and lists or removes what is there. It also
// keeps the list of subscribed feeds in the settings file and refreshes them.
#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QCryptographicHash>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QLockFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QSettings>
#include <QtCore/QStandardPaths>
#include <QtCore/QTextCodec>
#include <QtCore/QTimer>
#include <QtCore/QDir>
#include <QtCore/QUrl>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <cstdio>
#include <memory>

#include <zlib.h>

#include "feedimporter.h"
#include "hvglobal.h"
#include "hvlocalzone.h"
#include "hvsettings.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

namespace {

// How long a server may stay silent, how long a download may take, how large
// a feed may be.
constexpr int SilenceMs = 30000;
constexpr int DeadlineMs = 120000;
constexpr qint64 MaxFeedBytes = qint64(32) << 20;

// The charset the server names counts for a document that names none itself
// (no byte order mark, no encoding in its XML declaration).
QByteArray withServerCharset(const QByteArray &data, const QByteArray &contentType)
{
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*\"?([A-Za-z0-9._:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString name = charset.match(QString::fromLatin1(contentType)).captured(1);
    if (name.isEmpty() || data.startsWith("\xef\xbb\xbf") || data.startsWith("\xfe\xff") || data.startsWith("\xff\xfe"))
        return data;
    const int declarationEnd = data.startsWith("<?xml") ? data.indexOf("?>") : -1;
    if (declarationEnd >= 0 && data.left(declarationEnd).contains("encoding"))
        return data;
    QTextCodec *codec = QTextCodec::codecForName(name.toLatin1());
    if (!codec || codec->mibEnum() == 106) // UTF-8: the default already
        return data;
    // Latin-1 as sites mean it: Windows' (quotes and dashes in 0x80-0x9f).
    if (codec->mibEnum() == 4 || codec->mibEnum() == 3)
        codec = QTextCodec::codecForName("windows-1252");
    return codec->toUnicode(data).toUtf8();
}

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
                         "  remove URN        remove one message, or one channel with its messages\n"
                         "  subscribe URL     add an http(s) feed to the subscriptions (feeds/subscriptions\n"
                         "                    of halvane.conf)\n"
                         "  unsubscribe URL   take a feed off the subscriptions; its messages stay\n"
                         "  subscriptions     print the subscribed feeds\n"
                         "  refresh           import every subscribed feed; fails if any of them failed\n",
                 qPrintable(parser.helpText()));
    return 2;
}

std::unique_ptr<QSparqlResult> run(QSparqlConnection &connection, const QSparqlQuery &query)
{
    return std::unique_ptr<QSparqlResult>(connection.exec(query));
}

// What the server said of a feed's last download (ETag, Last-Modified) and
// the channel it gave: asked with them, a server answers "not modified" to a
// refresh that would bring nothing new, without sending the feed again.
struct Validators
{
    QByteArray etag;
    QByteArray lastModified;
    QString channel;
    bool notModified = false;
};

// A reply some servers compress although asked not to, unpacked here with
// the same limit as a plain one; false with error set.
bool unpack(QByteArray *data, const QByteArray &encoding, QString *error)
{
    const QByteArray name = encoding.trimmed().toLower();
    if (name.isEmpty() || name == "identity")
        return true;
    if (name != "gzip" && name != "x-gzip" && name != "deflate") {
        *error = QStringLiteral("sent compressed as %1, which cannot be read").arg(QString::fromLatin1(name));
        return false;
    }
    // gzip and zlib tell themselves apart; "deflate" is also sent raw.
    for (const int windowBits : {15 + 32, -15}) {
        z_stream stream = {};
        if (inflateInit2(&stream, windowBits) != Z_OK)
            break;
        stream.next_in = reinterpret_cast<Bytef *>(data->data());
        stream.avail_in = uInt(data->size());
        QByteArray out;
        int status = Z_OK;
        char chunk[64 * 1024];
        while (status == Z_OK && out.size() <= MaxFeedBytes) {
            stream.next_out = reinterpret_cast<Bytef *>(chunk);
            stream.avail_out = sizeof chunk;
            status = inflate(&stream, Z_NO_FLUSH);
            out.append(chunk, int(sizeof chunk - stream.avail_out));
        }
        inflateEnd(&stream);
        if (out.size() > MaxFeedBytes) {
            *error = QStringLiteral("larger than %1 MiB unpacked").arg(MaxFeedBytes >> 20);
            return false;
        }
        if (status == Z_STREAM_END) {
            *data = out;
            return true;
        }
    }
    *error = QStringLiteral("sent as %1 that does not unpack").arg(QString::fromLatin1(name));
    return false;
}

// In the cache: lost, a refresh only downloads the feeds once more.
QString validatorsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
        + QLatin1String("/halvane/feeds-validators.ini");
}

QString validatorsGroup(const QString &url)
{
    return QString::fromLatin1(QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha1).toHex());
}

Validators readValidators(const QString &url)
{
    QSettings cache(validatorsFile(), QSettings::IniFormat);
    cache.beginGroup(validatorsGroup(url));
    Validators validators;
    validators.etag = cache.value(QStringLiteral("etag")).toByteArray();
    validators.lastModified = cache.value(QStringLiteral("last-modified")).toByteArray();
    validators.channel = cache.value(QStringLiteral("channel")).toString();
    return validators;
}

void writeValidators(const QString &url, const Validators &validators)
{
    QSettings cache(validatorsFile(), QSettings::IniFormat);
    cache.remove(validatorsGroup(url));
    if (validators.etag.isEmpty() && validators.lastModified.isEmpty())
        return;
    cache.beginGroup(validatorsGroup(url));
    cache.setValue(QStringLiteral("etag"), validators.etag);
    cache.setValue(QStringLiteral("last-modified"), validators.lastModified);
    cache.setValue(QStringLiteral("channel"), validators.channel);
}

// The http(s) URL behind a feed or podcast link as browsers and podcast
// pages write them: feed://host/x, feed:https://host/x, itpc://, pcast://.
QString withWebScheme(const QString &argument)
{
    const QString text = argument.trimmed();
    static const QRegularExpression wrapped(QStringLiteral("^(?:feed|pcast|itpc|podcast):(https?://.*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression own(QStringLiteral("^(?:feed|pcast|itpc|podcast)://(.*)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch match = wrapped.match(text);
    if (match.hasMatch())
        return match.captured(1);
    match = own.match(text);
    return match.hasMatch() ? QStringLiteral("http://") + match.captured(1) : argument;
}

// The feed a web page names for itself (<link rel="alternate"
// type="application/rss+xml" href="...">), as people paste a site's address;
// empty when it names none.
QUrl announcedFeed(const QByteArray &page, const QUrl &base)
{
    static const QRegularExpression link(QStringLiteral("<link\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression alternate(QStringLiteral("\\brel\\s*=\\s*[\"']?alternate\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression feedType(QStringLiteral("\\btype\\s*=\\s*[\"']?application/(rss|atom|rdf)\\+xml"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(QStringLiteral("\\bhref\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString text = QString::fromUtf8(page.left(256 * 1024));
    if (!text.contains(QLatin1String("<html"), Qt::CaseInsensitive))
        return QUrl();
    auto links = link.globalMatch(text);
    while (links.hasNext()) {
        const QString tag = links.next().captured(0);
        const QRegularExpressionMatch target = href.match(tag);
        if (!alternate.match(tag).hasMatch() || !feedType.match(tag).hasMatch() || !target.hasMatch())
            continue;
        const QString value = target.captured(1) + target.captured(2) + target.captured(3);
        const QUrl feed = base.resolved(QUrl(value.trimmed().replace(QLatin1String("&amp;"), QLatin1String("&"))));
        if (feed.scheme() == QLatin1String("http") || feed.scheme() == QLatin1String("https"))
            return feed;
    }
    return QUrl();
}

// A feed's address as it is printed: without the password of a feed behind
// HTTP authentication (the lines end up in the journal).
QString shown(const QString &argument)
{
    const QUrl url(argument);
    return url.isValid() && !url.password().isEmpty() ? url.toString(QUrl::RemovePassword) : argument;
}

// A text that may quote the address (Qt's error strings do), without its password.
QString withoutPassword(QString text, const QUrl &url)
{
    for (const QUrl::ComponentFormattingOptions form : {QUrl::FullyEncoded, QUrl::PrettyDecoded, QUrl::FullyDecoded}) {
        const QString password = url.password(form);
        if (!password.isEmpty())
            text.replace(QLatin1Char(':') + password + QLatin1Char('@'), QStringLiteral("@"));
    }
    return text;
}

// Reads a local file or downloads a URL; false with error set on failure.
// With validators, the download is conditional: a server's "not modified"
// sets notModified and leaves data empty; the new ETag and Last-Modified are
// kept in them.
bool readSource(const QString &argument, QByteArray *data, QUrl *url, QString *error,
                Validators *validators = nullptr)
{
    // Relative paths are relative to where the command runs.
    const QUrl given = QUrl::fromUserInput(withWebScheme(argument), QDir::currentPath(), QUrl::AssumeLocalFile);
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
    request.setTransferTimeout(SilenceMs);
    // Not compressed: Qt would unpack a whole reply before the size limit
    // below sees it (a few MiB of gzip may hold gigabytes). One compressed
    // anyway is unpacked afterwards, within the limit.
    request.setRawHeader("Accept-Encoding", "identity");
    if (validators && !validators->etag.isEmpty())
        request.setRawHeader("If-None-Match", validators->etag);
    if (validators && !validators->lastModified.isEmpty())
        request.setRawHeader("If-Modified-Since", validators->lastModified);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // A server that trickles never falls silent; one that sends without end
    // would fill the memory.
    QString cut;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&] {
        cut = QStringLiteral("not done after %1 s").arg(DeadlineMs / 1000);
        reply->abort();
    });
    deadline.start(DeadlineMs);
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(), [&](qint64 received, qint64) {
        if (received > MaxFeedBytes && cut.isEmpty()) {
            cut = QStringLiteral("larger than %1 MiB").arg(MaxFeedBytes >> 20);
            reply->abort();
        }
    });
    loop.exec();
    if (!cut.isEmpty() || reply->error() != QNetworkReply::NoError) {
        if (cut.isEmpty() && reply->error() == QNetworkReply::OperationCanceledError)
            cut = QStringLiteral("no answer for %1 s").arg(SilenceMs / 1000);
        *error = QStringLiteral("cannot download %1: %2")
                     .arg(shown(argument), cut.isEmpty() ? withoutPassword(reply->errorString(), given) : cut);
        return false;
    }
    *url = given;
    if (validators) {
        validators->notModified = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 304;
        if (validators->notModified)
            return true;
        validators->etag = reply->rawHeader("ETag");
        validators->lastModified = reply->rawHeader("Last-Modified");
    }
    QByteArray body = reply->readAll();
    QString unreadable;
    if (!unpack(&body, reply->rawHeader("Content-Encoding"), &unreadable)) {
        *error = QStringLiteral("cannot download %1: %2").arg(shown(argument), unreadable);
        return false;
    }
    *data = withServerCharset(body, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray());
    return true;
}

// Whether the store still holds the channel (it may have been removed since).
bool hasChannel(QSparqlConnection &connection, const QString &channel)
{
    QSparqlQuery query(QStringLiteral("SELECT ?:c WHERE { ?:c a mfo:FeedChannel }"));
    query.bindValue(QStringLiteral("c"), QUrl(channel));
    const std::unique_ptr<QSparqlResult> result(connection.exec(query));
    return !result->hasError() && result->next();
}

// conditional: a subscription's refresh, which asks the server whether the
// feed changed since the download that gave what the store holds.
int importFeed(QSparqlConnection &connection, const QString &argument, bool conditional = false)
{
    QByteArray data;
    QUrl url;
    QString error;
    Validators validators;
    if (conditional) {
        validators = readValidators(argument);
        if (validators.channel.isEmpty() || !hasChannel(connection, validators.channel))
            validators = Validators();
    }
    if (!readSource(argument, &data, &url, &error, conditional ? &validators : nullptr))
        return fail(error);
    if (validators.notModified) {
        std::printf("%s is unchanged\n", qPrintable(shown(argument)));
        return 0;
    }
    FeedImporter importer;
    if (!importer.parse(data, url)) {
        // A site's page that names its feed: that feed.
        const QUrl announced = announcedFeed(data, url);
        if (announced.isEmpty())
            return fail(QStringLiteral("%1 is not a readable RSS, RDF or Atom feed").arg(shown(argument)));
        const QString feed = announced.toString(QUrl::FullyEncoded);
        std::printf("%s is a web page; its feed is %s\n", qPrintable(shown(argument)), qPrintable(shown(feed)));
        // What the page's server says of the page is nothing of the feed's.
        validators = Validators();
        if (!readSource(feed, &data, &url, &error))
            return fail(error);
        if (!importer.parse(data, url))
            return fail(QStringLiteral("%1 is not a readable RSS, RDF or Atom feed").arg(shown(feed)));
    }
    QString problem;
    if (!importer.readStore(connection, &problem))
        return fail(QStringLiteral("the store cannot be read: ") + problem);

    std::unique_ptr<QSparqlResult> result(connection.exec(importer.updates()));
    if (result->hasError())
        return fail(QStringLiteral("the store refused %1: %2").arg(shown(argument), result->lastError().message()));
    if (conditional) {
        validators.channel = importer.channel().toString();
        writeValidators(argument, validators);
    }
    std::printf("imported %d messages of %s\n", importer.messageCount(), qPrintable(importer.channelTitle()));
    return 0;
}

const QString SubscriptionsKey = QStringLiteral("feeds/subscriptions");

// The URL a feed is subscribed under, or an empty one with error set.
QString subscriptionUrl(const QString &argument, QString *error)
{
    const QUrl url(withWebScheme(argument).trimmed(), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || url.host().isEmpty()) {
        *error = QStringLiteral("%1 is no http(s) URL of a feed").arg(argument);
        return QString();
    }
    return url.toString(QUrl::FullyEncoded);
}

// The settings file, unless it holds what it must not.
std::unique_ptr<Halvane::HVSettings> openSettings(QString *error)
{
    auto settings = std::make_unique<Halvane::HVSettings>();
    if (!Halvane::settingsFileIsSafe(settings->fileName(), error))
        return nullptr;
    return settings;
}

int writeSubscriptions(Halvane::HVSettings &settings, const QStringList &subscriptions)
{
    if (subscriptions.isEmpty())
        settings.remove(SubscriptionsKey);
    else
        settings.setValue(SubscriptionsKey, subscriptions);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(QStringLiteral("cannot write %1").arg(settings.fileName()));
    return 0;
}

int subscribe(const QString &argument, bool add)
{
    // Read, changed and written back whole: two at once (a script's loop run
    // in parallel) each wrote its list over the other's, and both said done.
    // The file is not opened before the lock is held: Qt keeps what a process
    // read of it, and a copy read while another wrote can pass for current.
    const Halvane::HVSettings::Names names = Halvane::HVSettings::applicationNames();
    const QString lockName = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + names.organization + QLatin1Char('/') + names.application
        + QLatin1String(".conf.subscriptions-lock");
    QDir().mkpath(QFileInfo(lockName).absolutePath());
    QLockFile lock(lockName);
    lock.setStaleLockTime(30000);
    if (!lock.tryLock(30000))
        return fail(QStringLiteral("the subscriptions are being changed by another program (%1)").arg(lockName));
    QString error;
    const std::unique_ptr<Halvane::HVSettings> settings = openSettings(&error);
    if (!settings)
        return fail(error);
    QStringList subscriptions = settings->value(SubscriptionsKey).toStringList();
    const QString url = subscriptionUrl(argument, &error);
    if (add) {
        if (url.isEmpty())
            return fail(error);
        if (subscriptions.contains(url)) {
            std::printf("already subscribed to %s\n", qPrintable(shown(url)));
            return 0;
        }
        subscriptions.append(url);
    } else {
        // What was written into the file by hand goes as it was written; a
        // feed with a password also as the tool prints it, without.
        QString entry = subscriptions.contains(url) ? url : argument;
        if (!subscriptions.contains(entry)) {
            QStringList same;
            for (const QString &subscribed : qAsConst(subscriptions)) {
                if (QUrl(subscribed).adjusted(QUrl::RemovePassword)
                    == QUrl(url.isEmpty() ? argument : url).adjusted(QUrl::RemovePassword))
                    same.append(subscribed);
            }
            if (same.size() == 1)
                entry = same.first();
        }
        if (!subscriptions.removeAll(entry))
            return fail(QStringLiteral("not subscribed to %1").arg(shown(argument)));
    }
    if (const int status = writeSubscriptions(*settings, subscriptions))
        return status;
    std::printf("%s %s\n", add ? "subscribed to" : "unsubscribed from", qPrintable(shown(add ? url : argument)));
    return 0;
}

int listSubscriptions()
{
    QString error;
    const std::unique_ptr<Halvane::HVSettings> settings = openSettings(&error);
    if (!settings)
        return fail(error);
    // A feed's password is never printed.
    for (const QString &url : settings->value(SubscriptionsKey).toStringList())
        std::printf("%s\n", qPrintable(shown(url)));
    return 0;
}

// Every subscription in turn: one that fails is reported and the rest still come.
int refresh(QSparqlConnection &connection)
{
    QString error;
    const std::unique_ptr<Halvane::HVSettings> settings = openSettings(&error);
    if (!settings)
        return fail(error);
    const QStringList subscriptions = settings->value(SubscriptionsKey).toStringList();
    int failed = 0;
    for (const QString &entry : subscriptions) {
        const QString url = subscriptionUrl(entry, &error);
        if (url.isEmpty() ? fail(error) : importFeed(connection, url, true))
            ++failed;
    }
    if (failed)
        return fail(QStringLiteral("%1 of %2 subscriptions failed").arg(failed).arg(subscriptions.size()));
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
            std::printf("%s\t%s\n", qPrintable(channel), qPrintable(Halvane::withoutControls(result->value(1).toString())));
            lastChannel = channel;
        }
        // The store keeps a title's '<' and '>' as entities (no tag may be
        // taken for them): printed as the overview shows them.
        if (result->binding(2).isValid())
            std::printf("  %s\t%s\t%s\n", qPrintable(result->value(2).toUrl().toString()),
                        qPrintable(result->value(3).toDateTime().toUTC().toString(Qt::ISODate)),
                        qPrintable(Halvane::withoutControls(result->value(4).toString())
                                       .replace(QLatin1String("&lt;"), QLatin1String("<"))
                                       .replace(QLatin1String("&gt;"), QLatin1String(">"))));
    }
    return 0;
}

int remove(QSparqlConnection &connection, const QString &argument)
{
    const QUrl resource(argument, QUrl::StrictMode);
    if (!resource.isValid() || QSparqlQuery::term(resource).isEmpty())
        return fail(QStringLiteral("%1 is no URN").arg(argument));

    QSparqlQuery kind(QStringLiteral("SELECT ?k ?c WHERE { VALUES ?k { mfo:FeedChannel mfo:FeedMessage } ?:r a ?k "
                                     "OPTIONAL { ?:r nie:isLogicalPartOf ?c } }"));
    kind.bindValue(QStringLiteral("r"), resource);
    auto found = run(connection, kind);
    if (found->hasError())
        return fail(QStringLiteral("the store cannot be read: ") + found->lastError().message());
    if (!found->next())
        return fail(QStringLiteral("no feed channel or message %1").arg(argument));
    const QUrl channel = found->value(1).toUrl();

    // A channel goes with its messages, and with what it knew of those
    // removed; their links are the messages' own. A message leaves a mark in
    // its place, so that the next import of its feed does not bring it back.
    QString text = QStringLiteral(
        "DELETE { ?l a rdfs:Resource } WHERE { { ?:r nie:links ?l } UNION { ?m nie:isLogicalPartOf ?:r ; nie:links ?l } } ; "
        "DELETE { ?m a rdfs:Resource } WHERE { ?m a mfo:FeedMessage ; nie:isLogicalPartOf ?:r } ; "
        "DELETE { ?m a rdfs:Resource } WHERE { ?m a nfo:DeletedResource ; nfo:originalLocation ?:name } ; "
        "DELETE { ?:r a rdfs:Resource } WHERE { ?:r a rdfs:Resource }");
    if (channel.isValid())
        text += QStringLiteral(" ; INSERT DATA { ?:r a nfo:DeletedResource ; nfo:originalLocation ?:channel }");
    QSparqlQuery removal(text, QSparqlQuery::DeleteStatement);
    removal.bindValue(QStringLiteral("r"), resource);
    removal.bindValue(QStringLiteral("name"), resource.toString());
    removal.bindValue(QStringLiteral("channel"), channel.toString());
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
    // Local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    QCoreApplication::setApplicationName(QStringLiteral("halvane-feeds"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Feed messages in the Tracker store: HALVANE_TRACKER_SERVICE, else the shared endpoint org.halvane.Tracker when installed, else the local store."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("import, list, remove, subscribe, unsubscribe, subscriptions or refresh"));
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usage(parser, QStringLiteral("no command given"));
    const QString command = arguments.first();
    static const QStringList withArgument = {QStringLiteral("import"), QStringLiteral("remove"),
                                             QStringLiteral("subscribe"), QStringLiteral("unsubscribe")};
    static const QStringList withoutArgument = {QStringLiteral("list"), QStringLiteral("subscriptions"),
                                                QStringLiteral("refresh")};
    if (!withArgument.contains(command) && !withoutArgument.contains(command))
        return usage(parser, QStringLiteral("unknown command ") + command);
    if (arguments.size() != (withArgument.contains(command) ? 2 : 1))
        return usage(parser, QStringLiteral("wrong number of arguments for ") + command);

    // The subscriptions live in the settings file alone.
    if (command == QLatin1String("subscribe") || command == QLatin1String("unsubscribe"))
        return subscribe(arguments.at(1), command == QLatin1String("subscribe"));
    if (command == QLatin1String("subscriptions"))
        return listSubscriptions();

    QSparqlConnection connection(QStringLiteral("QTRACKER"));
    if (!connection.isValid())
        return fail(QStringLiteral("no Tracker store: ") + connection.lastError().message());
    if (command == QLatin1String("import"))
        return importFeed(connection, arguments.at(1));
    if (command == QLatin1String("remove"))
        return remove(connection, arguments.at(1));
    if (command == QLatin1String("refresh"))
        return refresh(connection);
    return list(connection);
}
