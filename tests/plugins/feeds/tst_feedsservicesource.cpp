// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>

#include "feedsservice.h"
#include "feedsservicesource.h"
#include "hvfeed.h"
#include "qsparqlconnection.h"
#include "qsparqlresult.h"

using namespace Halvane;

namespace {

bool update(QSparqlConnection &connection, const QString &text)
{
    std::unique_ptr<QSparqlResult> result(connection.exec(QSparqlQuery(text, QSparqlQuery::InsertStatement)));
    if (result->hasError())
        qWarning() << result->lastError().message();
    return !result->hasError();
}

QString message(const QString &name, const QDateTime &downloaded, const QString &more)
{
    return QStringLiteral("<urn:s:%1> a mfo:FeedMessage ; nie:title \"<b>%1</b> title\" ; "
                          "mfo:downloadedTime \"%2\"^^xsd:dateTime %3 . ")
        .arg(name, downloaded.toUTC().toString(Qt::ISODate), more);
}

// Every value a record carries, one text per record, sorted.
QStringList records(const QList<HVItem> &items)
{
    QStringList texts;
    for (const HVItem &item : items) {
        const HVFeed feed(item);
        texts.append(QStringList{feed.id().localId(), feed.title(), feed.body(), feed.channel(),
                                 feed.dateTime().toString(Qt::ISODateWithMs), feed.displayLabel()}
                         .join(QLatin1Char('|')));
    }
    texts.sort();
    return texts;
}

} // namespace

// The queries the feeds source sends beside the single join they replace, on
// one local store. Runs with TZ=Europe/Berlin.
class TestFeedsServiceSource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sentQueriesGiveTheJoinsRecords();
};

void TestFeedsServiceSource::sentQueriesGiveTheJoinsRecords()
{
    QTemporaryDir data;
    QVERIFY(data.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    qputenv("HALVANE_TRACKER_SERVICE", QByteArray());
    const QDateTime from(QDate(2026, 6, 21), QTime(0, 0));
    const QDateTime to(QDate(2026, 6, 22), QTime(0, 0));
    const QDateTime noon(QDate(2026, 6, 21), QTime(12, 0));

    QSparqlConnection connection;
    QVERIFY(update(connection, QStringLiteral(
        "INSERT DATA { <urn:s:a> a mfo:FeedChannel ; nie:title \"Channel <b>A</b>\" . "
        "<urn:s:b> a mfo:FeedChannel ; nie:title \"B\" . <urn:s:untitled> a mfo:FeedChannel . "
        "<urn:s:doc> a nfo:Document ; nie:title \"not a channel\" . ")
        + message("atFrom", from, "; nie:description \"f\" ; nie:isLogicalPartOf <urn:s:a>")
        + message("atTo", to, "; nie:description \"t\" ; nie:isLogicalPartOf <urn:s:a>")
        + message("before", from.addSecs(-1), "; nie:description \"x\" ; nie:isLogicalPartOf <urn:s:a>")
        + message("after", to.addSecs(1), "; nie:description \"x\" ; nie:isLogicalPartOf <urn:s:a>")
        + message("markup", noon, "; nie:description \"<i>kept</i>\" ; nie:isLogicalPartOf <urn:s:b>")
        + message("twoChannels", noon, "; nie:description \"2\" ; nie:isLogicalPartOf <urn:s:a>, <urn:s:b>")
        + message("untitledChannel", noon, "; nie:description \"u\" ; nie:isLogicalPartOf <urn:s:untitled>")
        + message("alsoUntitled", noon, "; nie:description \"au\" ; nie:isLogicalPartOf <urn:s:a>, <urn:s:untitled>")
        + message("document", noon, "; nie:description \"d\" ; nie:isLogicalPartOf <urn:s:doc>")
        + message("noChannel", noon, "; nie:description \"n\"")
        + message("noDescription", noon, "; nie:isLogicalPartOf <urn:s:a>")
        + QLatin1Char('}')));

    FeedsService service;
    auto *source = static_cast<FeedsServiceSource *>(service.source());
    const QStringList sent = records(source->getItemListFromBackend(source->buildQuery(from, to)));
    QCOMPARE(sent, records(source->getItemListFromBackend(FeedsServiceSource::referenceQuery(from, to))));
    // The bounds, each channel of a message, and nothing without a titled channel or a description.
    QCOMPARE(sent.size(), 6);
    QCOMPARE(sent.filter(QStringLiteral("urn:s:twoChannels|")).size(), 2);
    QCOMPARE(sent.filter(QStringLiteral("urn:s:atTo|")).size(), 1);

    // The same by tracker:id, the way changes come, for every message.
    std::unique_ptr<QSparqlResult> all(
        connection.exec(QSparqlQuery(QStringLiteral("SELECT tracker:id(?m) WHERE { ?m a mfo:FeedMessage }"))));
    QList<int> ids;
    while (all->next())
        ids.append(all->value(0).toInt());
    QCOMPARE(ids.size(), 11);
    const QStringList byId = records(source->getItemListFromBackend(source->buildQuery(ids)));
    QCOMPARE(byId, records(source->getItemListFromBackend(FeedsServiceSource::referenceQuery(ids))));
    QCOMPARE(byId.size(), 8);
}

QTEST_GUILESS_MAIN(TestFeedsServiceSource)
#include "tst_feedsservicesource.moc"
