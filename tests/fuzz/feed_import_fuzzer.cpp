// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The feed importer: the input is a downloaded feed given to
// "halvane-feeds import". Its update must always be accepted by the store
// (outside text must never break the query), and the feeds source must read
// the messages back.
#include <QtCore/QDateTime>
#include <QtCore/QFile>

#include <memory>

#include "feedimporter.h"
#include "feedsservice.h"
#include "fuzzsupport.h"
#include "hvservicesource.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

using namespace Halvane;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The local store, in a directory of this run.
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
    qputenv("XDG_DATA_HOME", QFile::encodeName(HVFuzz::scratchDirectory() + QStringLiteral("/data")));
    HVFuzz::application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QSparqlConnection *connection = nullptr;
    static FeedsService *service = nullptr;
    if (!connection) {
        connection = new QSparqlConnection(QStringLiteral("QTRACKER"));
        if (!connection->isValid())
            abort();
        service = new FeedsService;
    }

    FeedImporter importer;
    if (!importer.parse(QByteArray(reinterpret_cast<const char *>(data), int(size)),
                        QUrl(QStringLiteral("http://127.0.0.1/feeds/news.xml"))))
        return 0;

    std::unique_ptr<QSparqlResult> result(connection->exec(importer.updates()));
    if (result->hasError()) {
        QString text;
        for (const QSparqlQuery &update : importer.updates())
            text += update.preparedQueryText() + QLatin1Char('\n');
        qWarning("update refused: %s\n%s", qPrintable(result->lastError().message()), qPrintable(text));
        abort();
    }

    // Everything downloaded this minute, as the source reads it.
    const QDateTime now = QDateTime::currentDateTime();
    service->source()->retrieveItemList(now.addSecs(-3600), now.addSecs(3600));

    // Each input starts from an empty store.
    std::unique_ptr<QSparqlResult> cleared(connection->exec(QSparqlQuery(
        QStringLiteral("DELETE { ?r a rdfs:Resource } WHERE { { ?r a mfo:FeedMessage } UNION { ?r a mfo:FeedChannel } "
                       "UNION { ?r a nfo:RemoteDataObject } }"),
        QSparqlQuery::DeleteStatement)));
    if (cleared->hasError())
        abort();
    return 0;
}
