// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

// halvane-feeds: brings downloaded feeds (RSS, RDF, Atom) into the Tracker
// store the feeds plug-in reads, and lists or removes what is there.
#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtCore/QDir>
#include <QtCore/QUrl>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>
#include <QtNetwork/QNetworkRequest>

#include <cstdio>
#include <memory>

#include "feedimporter.h"
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

int importFeed(QSparqlConnection &connection, const QString &argument)
{
    QByteArray data;
    QUrl url;
    QString error;
    if (!readSource(argument, &data, &url, &error))
        return fail(error);
    FeedImporter importer;
    if (!importer.parse(data, url))
        return fail(QStringLiteral("%1 is not a readable RSS, RDF or Atom feed").arg(argument));

    auto result = run(connection, importer.update());
    if (result->hasError())
        return fail(QStringLiteral("the store refused %1: %2").arg(argument, result->lastError().message()));
    std::printf("imported %d messages of %s\n", importer.messageCount(), qPrintable(importer.channelTitle()));
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
