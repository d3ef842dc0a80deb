// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlQuery>
#include <QtTest/QtTest>

#include "hvtestdovecot.h"
#include "qmailmessage.h"
#include "qmailmessagekey.h"
#include "qmailretrievalaction.h"
#include "qmailstore.h"

namespace {

QByteArray mail(const QString &subject, const QString &date, const QByteArray &extraHeaders = QByteArray(),
                const QByteArray &body = "Hello.\n")
{
    return "From: Ann Example <ann@example.org>\nTo: you@example.org\nSubject: " + subject.toUtf8()
        + "\nDate: " + date.toUtf8() + "\n" + extraHeaders + "\n" + body;
}

const char Alternative[] =
    "From: =?UTF-8?Q?J=C3=BCrgen?= <juergen@example.de>\r\n"
    "Subject: =?UTF-8?B?R3LDvMOfZQ==?= und mehr\r\n"
    "Date: Sun, 21 Jun 2026 14:47:00 +0200\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"outer\"\r\n"
    "\r\n"
    "--outer\r\n"
    "Content-Type: multipart/alternative; boundary=\"inner\"\r\n"
    "\r\n"
    "--inner\r\n"
    "Content-Type: text/plain; charset=iso-8859-1\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "\r\n"
    "Sch=F6ne Gr=FC=DFe\r\n"
    "--inner\r\n"
    "Content-Type: text/html; charset=utf-8\r\n"
    "\r\n"
    "<p>Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f" "e</p>\r\n"
    "--inner--\r\n"
    "--outer\r\n"
    "Content-Type: application/pdf; name=\"=?UTF-8?Q?pl=C3=A4ne.pdf?=\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "JVBERi0xLjQK\r\n"
    "--outer\r\n"
    "Content-Type: message/rfc822\r\n"
    "\r\n"
    "From: inner@example.org\r\n"
    "Subject: forwarded\r\n"
    "\r\n"
    "inside\r\n"
    "--outer--\r\n";

} // namespace

// The message store on a real Maildir, changed by this process, by
// halvane-mail and by plain shell commands; content from a real Dovecot.
class TestQMailStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void keysSelectByReceptionStatusAndType();
    void messagesAreParsedWithKMime();
    void idsStayAcrossProcessesAndMoves();
    void killedAddIsFinishedByTheNextProcess();
    void changesByOtherProgramsAreReported();
    void fileWrittenInPlaceIsTakenWhenDone();
    void headersAreListedAndContentFetchedFromTheServer();
    void accountsThatCannotServeLeaveMessagesAlone();
    void importedMailIsNotSyncedTwice();
    void settingsAreReadAsUtf8();

private:
    QMailMessageId add(const QByteArray &text, const QDateTime &received, quint64 status);
    QString tool(const QStringList &arguments, int *exitCode = nullptr);
    bool shell(const QString &script);
    bool waitFor(QSignalSpy &spy, int count = 1);

    QTemporaryDir m_dir;
    QString m_maildir;
    QMailStore *m_store = nullptr;
};

void TestQMailStore::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_maildir = m_dir.filePath("mail");
    qputenv("HALVANE_MAILDIR", QFile::encodeName(m_maildir));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    m_store = QMailStore::instance();
    QVERIFY(m_store);
    QVERIFY(m_store->isValid());
    QCOMPARE(QMailStore::storagePath(), m_maildir);
    QVERIFY(QFileInfo(m_maildir + "/new").isDir());
    QVERIFY(QFileInfo(m_maildir + "/halvane-index.db").isFile());
}

void TestQMailStore::cleanup()
{
    m_store->removeMessages(QMailMessageKey());
    QCOMPARE(m_store->countMessages(), 0);
    QFile::remove(m_dir.filePath("config/halvane/halvane.conf"));
}

QMailMessageId TestQMailStore::add(const QByteArray &text, const QDateTime &received, quint64 status)
{
    QMailMessage message = QMailMessage::fromRfc2822(text);
    message.setReceivedDate(QMailTimeStamp(received));
    message.setStatus(status);
    return m_store->addMessage(&message) ? message.id() : QMailMessageId();
}

QString TestQMailStore::tool(const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(HVTEST_MAIL_PROGRAM, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return QString();
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool TestQMailStore::shell(const QString &script)
{
    QProcess process;
    process.setWorkingDirectory(m_maildir);
    process.start("/bin/sh", {"-ec", script});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool TestQMailStore::waitFor(QSignalSpy &spy, int count)
{
    // As long as the account lets a server be silent: a loaded machine's
    // Dovecot was once seen to greet a second session after more than 10 s.
    QDeadlineTimer deadline(30000);
    while (spy.count() < count && !deadline.hasExpired())
        spy.wait(100);
    return spy.count() >= count;
}

void TestQMailStore::keysSelectByReceptionStatusAndType()
{
    const QDateTime from(QDate(2026, 6, 21), QTime(0, 0), Qt::UTC);
    const QDateTime to = from.addDays(1);
    const quint64 in = QMailMessageMetaData::Incoming | QMailMessageMetaData::ContentAvailable;
    const QMailMessageId atFrom = add(mail("at from", "x"), from, in);
    const QMailMessageId atTo = add(mail("at to", "x"), to, in);
    const QMailMessageId before = add(mail("before", "x"), from.addMSecs(-1), in);
    const QMailMessageId after = add(mail("after", "x"), to.addMSecs(1), in);
    const QMailMessageId sent = add(mail("sent", "x"), from.addSecs(3600), QMailMessageMetaData::Outgoing);
    QVERIFY(atFrom.isValid() && atTo.isValid() && before.isValid() && after.isValid() && sent.isValid());

    const QMailMessageKey day = QMailMessageKey::receptionTimeStamp(from, QMailDataComparator::GreaterThanEqual)
        & QMailMessageKey::receptionTimeStamp(to, QMailDataComparator::LessThanEqual);
    const QMailMessageKey received = day & QMailMessageKey::status(QMailMessageMetaData::Incoming)
        & QMailMessageKey::messageType(QMailMessageMetaData::Email);
    // The store's order is the order messages came in.
    QCOMPARE(m_store->queryMessages(received), (QMailMessageIdList{atFrom, atTo}));
    QCOMPARE(m_store->queryMessages(day), (QMailMessageIdList{atFrom, atTo, sent}));
    QCOMPARE(m_store->countMessages(day & ~QMailMessageKey::status(QMailMessageMetaData::Incoming)), 1);
    QVERIFY(m_store->queryMessages(day & QMailMessageKey::messageType(QMailMessageMetaData::Sms)).isEmpty());
    // A bound of no time bounds nothing in.
    const QMailMessageKey noBound =
        QMailMessageKey::receptionTimeStamp(QDateTime(), QMailDataComparator::GreaterThanEqual);
    QVERIFY(m_store->queryMessages(noBound).isEmpty());

    const QMailMessageSortKey newestFirst = QMailMessageSortKey::receptionTimeStamp(Qt::DescendingOrder);
    QCOMPARE(m_store->queryMessages(QMailMessageKey(), newestFirst),
             (QMailMessageIdList{after, atTo, sent, atFrom, before}));
    QCOMPARE(m_store->queryMessages(QMailMessageKey(), newestFirst, 2, 1), (QMailMessageIdList{atTo, sent}));
    QVERIFY(m_store->queryMessages(QMailMessageKey(), newestFirst, 2, 7).isEmpty());
    QCOMPARE(m_store->queryMessages(QMailMessageKey::id(QMailMessageIdList{before, after})
                                    | QMailMessageKey::id(sent)),
             (QMailMessageIdList{before, after, sent}));

    // What was stored is what is read back.
    const QMailMessage message = m_store->message(atTo);
    QCOMPARE(message.id(), atTo);
    QCOMPARE(message.subject(), QString("at to"));
    QCOMPARE(message.receivedDate().toUTC(), to);
    QCOMPARE(message.status(), in);
    QVERIFY(!m_store->message(QMailMessageId(999999)).id().isValid());
    QCOMPARE(m_store->lastError(), QMailStore::InvalidId);
}

void TestQMailStore::messagesAreParsedWithKMime()
{
    const QMailMessage message = QMailMessage::fromRfc2822(Alternative);
    QCOMPARE(message.from().address(), QString("juergen@example.de"));
    QCOMPARE(message.from().name(), QString::fromUtf8("J\xc3\xbcrgen"));
    QCOMPARE(message.subject(), QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e und mehr"));
    // A date as scripts write it.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nDate: 2026-12-10T11:30:00+01:00\n\nx\n").receivedDate().toUTC(),
             QDateTime(QDate(2026, 12, 10), QTime(10, 30), Qt::UTC));
    // And as Usenet did.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nDate: Thursday, 10-Dec-26 11:30:00 EST\n\nx\n").receivedDate().toUTC(),
             QDateTime(QDate(2026, 12, 10), QTime(16, 30), Qt::UTC));
    // Raw Latin-1 in a header, as old clients write it.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nSubject: Gr\xfc\xdf" "e\n\nx\n").subject(),
             QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e"));
    // A character split between two encoded-words, as mailers split them.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nSubject: =?UTF-8?B?R3LD?=\n =?utf-8?b?vMOfZQ==?=\n\nx\n").subject(),
             QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e"));
    // So split, and written without a blank between them.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nSubject: =?UTF-8?Q?=E6=97?==?UTF-8?Q?=A5?=\n\nx\n").subject(),
             QString::fromUtf8("\xe6\x97\xa5"));
    // A word that is no base64 stays as written.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nSubject: =?UTF-8?B?SGk=?= and =?UTF-8?B?broken!!?=\n\nx\n").subject(),
             QStringLiteral("Hi and =?UTF-8?B?broken!!?="));
    // Outlook's dash, labelled Latin-1.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nSubject: report =?iso-8859-1?Q?=96_draft?=\n\nx\n").subject(),
             QString::fromUtf8("report \xe2\x80\x93 draft"));
    // HTML without a charset in its header names it itself.
    QCOMPARE(QMailMessage::fromRfc2822("From: a@example.de\nContent-Type: text/html\n\n<meta charset=\"windows-1251\">"
                                       "\xcf\xf0\xe8\n").body().data(),
             QString::fromUtf8("<meta charset=\"windows-1251\">\xd0\x9f\xd1\x80\xd0\xb8"));
    // Without a Received: stamp the Date: is the reception time.
    QCOMPARE(message.receivedDate().toUTC(), QDateTime(QDate(2026, 6, 21), QTime(12, 47), Qt::UTC));
    QVERIFY(message.status() & QMailMessageMetaData::ContentAvailable);
    QVERIFY(!message.toRfc2822().contains('\r'));

    QCOMPARE(message.multipartType(), QMailMessagePartContainer::MultipartMixed);
    QVERIFY(!message.hasBody());
    QCOMPARE(message.partCount(), 3);
    const QMailMessagePart alternative = message.partAt(0);
    QCOMPARE(alternative.multipartType(), QMailMessagePartContainer::MultipartAlternative);
    QCOMPARE(alternative.partCount(), 2);
    QCOMPARE(alternative.partAt(0).body().data(), QString::fromUtf8("Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f" "e"));
    QCOMPARE(alternative.partAt(1).contentType().subType(), QByteArray("html"));
    QCOMPARE(alternative.partAt(1).body().data(), QString::fromUtf8("<p>Sch\xc3\xb6ne Gr\xc3\xbc\xc3\x9f" "e</p>"));

    const QMailMessagePart pdf = message.partAt(1);
    QCOMPARE(pdf.contentType().content(), QByteArray("application/pdf"));
    QCOMPARE(pdf.contentType().name(), QString::fromUtf8("pl\xc3\xa4ne.pdf"));
    QCOMPARE(pdf.body().data(QMailMessageBody::Decoded), QByteArray("%PDF-1.4\n"));
    QVERIFY(pdf.body().data().isEmpty() || pdf.contentType().type() != "text");

    // An attached message is content like any other.
    const QMailMessagePart forwarded = message.partAt(2);
    QCOMPARE(forwarded.partCount(), 0);
    QVERIFY(forwarded.body().data(QMailMessageBody::Decoded).contains("Subject: forwarded"));
    QVERIFY(message.partAt(3).isNull());

    // Headers only: a message still, without content.
    const QMailMessage headers = QMailMessage::fromRfc2822("From: a@example.org\r\nSubject: s\r\n\r\n \r\n");
    QVERIFY(!(headers.status() & QMailMessageMetaData::ContentAvailable));
    QVERIFY(headers.hasBody());
    QVERIFY(headers.body().data().trimmed().isEmpty());
    QCOMPARE(headers.subject(), QString("s"));

    // The newest Received: stamp is when it arrived, whatever Date: says.
    const QMailMessage relayed = QMailMessage::fromRfc2822(
        mail("r", "Mon, 1 Jan 2024 10:00:00 +0000",
             "Received: from b by c; Tue, 2 Jan 2024 09:30:00 +0100\n"
             "Received: from a by b; Tue, 2 Jan 2024 08:00:00 +0000\n"));
    QCOMPARE(relayed.receivedDate().toUTC(), QDateTime(QDate(2024, 1, 2), QTime(8, 30), Qt::UTC));
    // A local delivery's stamp without a date on top, and relays out of order.
    const QMailMessage delivered = QMailMessage::fromRfc2822(
        mail("d", "Mon, 1 Jan 2024 10:00:00 +0000",
             "Received: by localhost (Postfix, from userid 0) id ABC\n"
             "Received: from a by b; Tue, 2 Jan 2024 08:00:00 +0000\n"
             "Received: from b by c; Tue, 2 Jan 2024 09:30:00 +0100\n"));
    QCOMPARE(delivered.receivedDate().toUTC(), QDateTime(QDate(2024, 1, 2), QTime(8, 30), Qt::UTC));
    // A stamp from far away, years ahead of ours: a wrong clock or a forgery.
    const QMailMessage forged = QMailMessage::fromRfc2822(
        mail("f", "Mon, 1 Jan 2024 10:00:00 +0000",
             "Received: from a by us; Tue, 2 Jan 2024 08:00:00 +0000\n"
             "Received: from x by a; Sat, 10 Dec 2039 09:14:00 +0000\n"));
    QCOMPARE(forged.receivedDate().toUTC(), QDateTime(QDate(2024, 1, 2), QTime(8, 0), Qt::UTC));
}

void TestQMailStore::idsStayAcrossProcessesAndMoves()
{
    QSignalSpy added(m_store, &QMailStore::messagesAdded);
    QSignalSpy updated(m_store, &QMailStore::messagesUpdated);
    QFile file(m_dir.filePath("one.eml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(mail("from the tool", "Sun, 21 Jun 2026 08:00:00 +0000"));
    file.close();

    int exitCode = -1;
    const QString printed = tool({"import", file.fileName()}, &exitCode);
    QCOMPARE(exitCode, 0);
    const QMailMessageId id(printed.toULongLong());
    QVERIFY(id.isValid());
    QVERIFY(waitFor(added));
    QCOMPARE(added.takeFirst().at(0).value<QMailMessageIdList>(), QMailMessageIdList{id});
    QCOMPARE(m_store->message(id).subject(), QString("from the tool"));

    // A mail reader marks it seen: same message, same id, now read.
    QVERIFY(shell("for f in new/*; do mv \"$f\" \"cur/$(basename \"$f\"):2,S\"; done"));
    QVERIFY(waitFor(updated));
    QCOMPARE(updated.takeFirst().at(0).value<QMailMessageIdList>(), QMailMessageIdList{id});
    QVERIFY(m_store->messageMetaData(id).status() & QMailMessageMetaData::Read);
    QCOMPARE(m_store->queryMessages(), QMailMessageIdList{id});
    QVERIFY(added.isEmpty());

    // Another process reads the same ids.
    QVERIFY(tool({"list"}).startsWith(printed + "\t"));

    // Deleted in a reader that expunges later: gone for us.
    QSignalSpy removed(m_store, &QMailStore::messagesRemoved);
    QVERIFY(shell("for f in cur/*; do mv \"$f\" \"${f}T\"; done"));
    QVERIFY(waitFor(removed));
    QCOMPARE(removed.takeFirst().at(0).value<QMailMessageIdList>(), QMailMessageIdList{id});
    QVERIFY(m_store->queryMessages().isEmpty());
    // Where file names hold no colon, the flags follow "!2,".
    QVERIFY(shell("printf 'Subject: bang\\n\\nx\\n' > tmp/b && mv tmp/b 'cur/bang!2,S'"));
    QVERIFY(waitFor(added));
    const QMailMessageId bang = added.takeFirst().at(0).value<QMailMessageIdList>().value(0);
    QVERIFY(m_store->messageMetaData(bang).status() & QMailMessageMetaData::Read);
    QVERIFY(shell("mv 'cur/bang!2,S' 'cur/bang!2,ST'"));
    QVERIFY(waitFor(removed));
    QCOMPARE(removed.takeFirst().at(0).value<QMailMessageIdList>(), QMailMessageIdList{bang});
}

void TestQMailStore::killedAddIsFinishedByTheNextProcess()
{
    // Killed after the index took its rows, before its files reached new/: a
    // sync would count them as stored and never fetch them again.
    const QMailMessageId id = add(mail("interrupted", "Sun, 21 Jun 2026 08:00:00 +0000"),
                                  QDateTime(QDate(2026, 6, 21), QTime(8, 0), Qt::UTC), QMailMessageMetaData::Incoming);
    QVERIFY(id.isValid());
    QVERIFY(shell("for f in new/*; do mv \"$f\" tmp/; done; printf 'x' > tmp/abandoned; touch -d '3 days ago' tmp/abandoned"));
    {
        // Meanwhile another process holds a long write of the index: the
        // next one still reads.
        QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
        locker.setDatabaseName(m_maildir + "/halvane-index.db");
        QVERIFY(locker.open());
        QVERIFY(QSqlQuery(locker).exec("BEGIN IMMEDIATE"));
        QVERIFY(tool({"list"}).startsWith(QString::number(id.toULongLong()) + "\t"));
        QSqlQuery(locker).exec("ROLLBACK");
        locker.close();
    }
    QSqlDatabase::removeDatabase("locker");
    QVERIFY(QDir(m_maildir + "/tmp").entryList(QDir::Files).isEmpty());
    QCOMPARE(QDir(m_maildir + "/new").entryList(QDir::Files).size(), 1);
}

void TestQMailStore::fileWrittenInPlaceIsTakenWhenDone()
{
    QSignalSpy added(m_store, &QMailStore::messagesAdded);
    // As cp or a plain redirection into new/ do: the file is there before its text.
    QVERIFY(shell("touch new/slow"));
    QTest::qWait(500);
    QVERIFY(shell("printf 'Subject: slow\\nDate: Sun, 21 Jun 2026 08:00:00 +0200\\n\\nthe body\\n' > new/slow"));
    QVERIFY(waitFor(added));
    const QMailMessage message = m_store->message(added.first().at(0).value<QMailMessageIdList>().first());
    QCOMPARE(message.subject(), QString("slow"));
    QCOMPARE(message.receivedDate().toUTC(), QDateTime(QDate(2026, 6, 21), QTime(6, 0), Qt::UTC));
    QCOMPARE(message.status(), QMailMessageMetaData::Incoming | QMailMessageMetaData::ContentAvailable);
}

void TestQMailStore::changesByOtherProgramsAreReported()
{
    QSignalSpy added(m_store, &QMailStore::messagesAdded);
    QSignalSpy updated(m_store, &QMailStore::messagesUpdated);
    QSignalSpy removed(m_store, &QMailStore::messagesRemoved);

    QFile sample(m_dir.filePath("sample.eml"));
    QVERIFY(sample.open(QIODevice::WriteOnly));
    sample.write(mail("dropped in", "Sun, 21 Jun 2026 08:00:00 +0200",
                      "Received: from mx by here; Sun, 21 Jun 2026 08:05:00 +0200\n"));
    sample.close();
    // As a delivery agent does: write in tmp/, move to new/.
    QVERIFY(shell(QString("cp '%1' tmp/dropped && mv tmp/dropped new/dropped").arg(sample.fileName())));
    QVERIFY(waitFor(added));
    const QMailMessageIdList ids = added.takeFirst().at(0).value<QMailMessageIdList>();
    QCOMPARE(ids.size(), 1);
    const QMailMessage message = m_store->message(ids.first());
    QCOMPARE(message.subject(), QString("dropped in"));
    QCOMPARE(message.receivedDate().toUTC(), QDateTime(QDate(2026, 6, 21), QTime(6, 5), Qt::UTC));
    QCOMPARE(message.status(), QMailMessageMetaData::Incoming | QMailMessageMetaData::ContentAvailable);

    // Replaced by a new file of the same name.
    QVERIFY(shell("printf 'Subject: replaced\\n\\nnew text\\n' > tmp/x && mv tmp/x new/dropped"));
    QVERIFY(waitFor(updated));
    QCOMPARE(updated.takeFirst().at(0).value<QMailMessageIdList>(), ids);
    QCOMPARE(m_store->message(ids.first()).subject(), QString("replaced"));

    // A burst: every file reported once, none twice.
    QVERIFY(shell("i=0; while [ $i -lt 40 ]; do printf 'Subject: n%s\\n\\nx\\n' $i > tmp/b$i; mv tmp/b$i new/b$i; "
                  "i=$((i+1)); done"));
    QMailMessageIdList burst;
    QDeadlineTimer deadline(10000);
    while (burst.size() < 40 && !deadline.hasExpired()) {
        if (added.isEmpty())
            added.wait(100);
        while (!added.isEmpty())
            burst += added.takeFirst().at(0).value<QMailMessageIdList>();
    }
    QCOMPARE(burst.size(), 40);
    QCOMPARE(QSet<QMailMessageId>(burst.cbegin(), burst.cend()).size(), 40);
    QVERIFY(!burst.contains(ids.first()));
    QTest::qWait(100);
    QVERIFY(added.isEmpty());
    // Without Received: or Date: the file's time is the reception time.
    const QDateTime written = m_store->messageMetaData(burst.first()).receivedDate().toUTC();
    QVERIFY(qAbs(written.secsTo(QDateTime::currentDateTimeUtc())) < 60);

    QVERIFY(shell("rm new/b*"));
    // On a loaded machine the removals may be seen in more than one batch.
    QMailMessageIdList gone;
    deadline.setRemainingTime(10000);
    while (gone.size() < 40 && !deadline.hasExpired()) {
        if (removed.isEmpty())
            removed.wait(100);
        while (!removed.isEmpty())
            gone += removed.takeFirst().at(0).value<QMailMessageIdList>();
    }
    std::sort(gone.begin(), gone.end());
    std::sort(burst.begin(), burst.end());
    QCOMPARE(gone, burst);
    QCOMPARE(m_store->queryMessages(), ids);

    QVERIFY(shell("rm new/dropped"));
    QVERIFY(waitFor(removed));
    QCOMPARE(removed.takeFirst().at(0).value<QMailMessageIdList>(), ids);
    QVERIFY(!m_store->message(ids.first()).id().isValid());
}

void TestQMailStore::headersAreListedAndContentFetchedFromTheServer()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeAccount(m_dir.filePath("config")));
    QVERIFY(server.deliver(QByteArray(Alternative)));
    QVERIFY(server.deliver(mail("second", "Sun, 21 Jun 2026 15:00:00 +0200")));

    QMailRetrievalAction action;
    QSignalSpy activity(&action, &QMailRetrievalAction::activityChanged);
    QSignalSpy added(m_store, &QMailStore::messagesAdded);
    QSignalSpy updated(m_store, &QMailStore::messagesUpdated);
    action.retrieveMessageList();
    QVERIFY(waitFor(activity, 2));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QCOMPARE(action.newMessageCount(), 2);

    QMailMessageIdList ids = m_store->queryMessages(QMailMessageKey::account(server.accountId()));
    QCOMPARE(ids.size(), 2);
    QCOMPARE(added.size(), 1);
    QMailMessage first = m_store->message(ids.first());
    QCOMPARE(first.subject(), QString::fromUtf8("Gr\xc3\xbc\xc3\x9f" "e und mehr"));
    QCOMPARE(first.status(), QMailMessageMetaData::Incoming);
    QCOMPARE(first.receivedDate().toUTC(), QDateTime(QDate(2026, 6, 21), QTime(12, 47), Qt::UTC));
    QCOMPARE(first.partCount(), 0);
    QCOMPARE(first.mailbox(), QString("INBOX"));
    QVERIFY(first.serverUid() > 0);

    // Nothing new: nothing added.
    action.retrieveMessageList();
    QVERIFY(waitFor(activity, 4));
    QCOMPARE(action.newMessageCount(), 0);
    QCOMPARE(m_store->countMessages(), 2);

    // The content of both, in one request.
    action.retrieveMessages(ids, QMailRetrievalAction::ContentRetrieval);
    QCOMPARE(action.activity(), QMailRetrievalAction::InProgress);
    // A second request for messages on their way adds no fetch.
    action.retrieveMessages(ids, QMailRetrievalAction::ContentRetrieval);
    QVERIFY(waitFor(activity, 6));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QMailMessageIdList changed;
    while (!updated.isEmpty())
        changed += updated.takeFirst().at(0).value<QMailMessageIdList>();
    std::sort(changed.begin(), changed.end());
    QCOMPARE(changed, ids);
    first = m_store->message(ids.first());
    QCOMPARE(first.status(), QMailMessageMetaData::Incoming | QMailMessageMetaData::ContentAvailable);
    QCOMPARE(first.partCount(), 3);
    QCOMPARE(first.partAt(1).contentType().name(), QString::fromUtf8("pl\xc3\xa4ne.pdf"));
    QCOMPARE(m_store->message(ids.last()).body().data(), QString("Hello."));
    QCOMPARE(server.log().count("Login: user=<ann>"), 3);

    // Complete messages are not fetched again.
    action.retrieveMessages(ids, QMailRetrievalAction::ContentRetrieval);
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QTest::qWait(200);
    QCOMPARE(server.log().count("Login: user=<ann>"), 3);
    QVERIFY(updated.isEmpty());

    // Deleted on the server: gone here.
    QSignalSpy removed(m_store, &QMailStore::messagesRemoved);
    const QDir inbox(server.maildir() + "/new");
    QVERIFY(QFile::remove(inbox.filePath(inbox.entryList(QDir::Files).value(0))));
    QVERIFY(server.deliver(mail("third", "Mon, 22 Jun 2026 15:00:00 +0200")));
    action.retrieveMessageList();
    QVERIFY(waitFor(activity, 8));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QCOMPARE(action.newMessageCount(), 1);
    QVERIFY(waitFor(removed));
    QCOMPARE(removed.takeFirst().at(0).value<QMailMessageIdList>().size(), 1);
    const QMailMessageIdList now = m_store->queryMessages(QMailMessageKey::account(server.accountId()));
    QCOMPARE(now.size(), 2);
    QCOMPARE(m_store->message(now.last()).subject(), QString("third"));

    // The server rebuilt the mailbox (a new UIDVALIDITY, which Dovecot takes
    // from the clock: a second later): the same two, once.
    QVERIFY(QProcess::execute("sh", {"-c", "sleep 1; rm -f '" + server.maildir() + "'/dovecot*"}) == 0);
    action.retrieveMessageList();
    // With the server's log, should it stay silent (seen once on a loaded machine).
    QVERIFY2(waitFor(activity, 10), qPrintable(server.log().right(3000)));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QTest::qWait(200);
    QCOMPARE(m_store->countMessages(QMailMessageKey::account(server.accountId())), 2);
}

void TestQMailStore::accountsThatCannotServeLeaveMessagesAlone()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeAccount(m_dir.filePath("config")));
    QVERIFY(server.deliver(mail("only headers here", "Sun, 21 Jun 2026 15:00:00 +0200")));
    QMailRetrievalAction action;
    QSignalSpy activity(&action, &QMailRetrievalAction::activityChanged);
    action.retrieveMessageList();
    QVERIFY(waitFor(activity, 2));
    const QMailMessageIdList ids = m_store->queryMessages();
    QCOMPARE(ids.size(), 1);
    const QByteArray headers = m_store->message(ids.first()).toRfc2822();

    QSignalSpy updated(m_store, &QMailStore::messagesUpdated);
    auto fetchFails = [&](const QRegularExpression &warning) {
        activity.clear();
        QTest::ignoreMessage(QtWarningMsg, warning);
        action.retrieveMessages(ids, QMailRetrievalAction::ContentRetrieval);
        if (action.activity() == QMailRetrievalAction::InProgress)
            waitFor(activity, 2);
    };

    // The wrong password: the server refuses, the headers stay.
    QVERIFY(server.writeAccount(m_dir.filePath("config"), "wrong"));
    fetchFails(QRegularExpression("^QMailRetrievalAction: cannot fetch 1 message\\(s\\): cannot log in as "));
    QCOMPARE(action.activity(), QMailRetrievalAction::Failed);
    QVERIFY(action.statusText().contains("cannot log in"));

    // The server gone.
    QVERIFY(server.writeAccount(m_dir.filePath("config")));
    server.stop();
    fetchFails(QRegularExpression("^QMailRetrievalAction: cannot fetch 1 message\\(s\\): cannot connect to 127.0.0.1"));
    QCOMPARE(action.activity(), QMailRetrievalAction::Failed);

    // Another server in the settings now: never ask it for this message.
    QVERIFY(server.writeAccount(m_dir.filePath("config"), QString(), HVTest::Dovecot::freePort()));
    fetchFails(QRegularExpression("came from ann@127.0.0.1:\\d+, not from the configured account"));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);

    // No account at all.
    QFile::remove(m_dir.filePath("config/halvane/halvane.conf"));
    fetchFails(QRegularExpression("no mail account is configured.*message \\d+ keeps its headers only"));
    QCOMPARE(action.activity(), QMailRetrievalAction::Failed);

    QTest::qWait(100);
    QVERIFY(updated.isEmpty());
    QCOMPARE(m_store->message(ids.first()).toRfc2822(), headers);
    QCOMPARE(m_store->messageMetaData(ids.first()).status(), QMailMessageMetaData::Incoming);
}

void TestQMailStore::importedMailIsNotSyncedTwice()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeAccount(m_dir.filePath("config")));
    // An export of the mailbox imported before the account was set up.
    const QByteArray both = mail("in both", "Sun, 21 Jun 2026 15:00:00 +0200", "Message-ID: <both@example.org>\n");
    const QDateTime imported(QDate(2026, 6, 21), QTime(13, 0, 5), Qt::UTC);
    const QMailMessageId copy = add(both, imported, QMailMessageMetaData::Incoming);
    QVERIFY(copy.isValid());
    QVERIFY(server.deliver(both));
    QVERIFY(server.deliver(mail("only there", "Mon, 22 Jun 2026 15:00:00 +0200", "Message-ID: <new@example.org>\n")));

    QMailRetrievalAction action;
    QSignalSpy activity(&action, &QMailRetrievalAction::activityChanged);
    action.retrieveMessageList();
    QVERIFY(waitFor(activity, 2));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QCOMPARE(action.newMessageCount(), 1);
    QCOMPARE(m_store->countMessages(), 2);
    // The copy is the server's message now: the same id and reception time.
    const QMailMessageMetaData adopted = m_store->messageMetaData(copy);
    QCOMPARE(adopted.account(), server.accountId());
    QVERIFY(adopted.serverUid() > 0);
    QCOMPARE(adopted.receivedDate().toUTC(), imported);

    // Deleted on the server: the copy goes with it.
    const QDir inbox(server.maildir() + "/new");
    for (const QString &name : inbox.entryList(QDir::Files)) {
        QFile file(inbox.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (file.readAll().contains("<both@example.org>"))
            QVERIFY(QFile::remove(file.fileName()));
    }
    action.retrieveMessageList();
    QVERIFY(waitFor(activity, 4));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QTRY_COMPARE(m_store->countMessages(), 1);
}

QTEST_GUILESS_MAIN(TestQMailStore)
void TestQMailStore::settingsAreReadAsUtf8()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    server.setPassword(QString::fromUtf8("p\xc3\xa4ssw\xc3\xb6rt"));
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.deliver(mail("hello", "Sun, 21 Jun 2026 15:00:00 +0200")));

    // As a person writes it in a UTF-8 editor, not as QSettings would escape it.
    QVERIFY(QDir().mkpath(m_dir.filePath("config/halvane")));
    QFile conf(m_dir.filePath("config/halvane/halvane.conf"));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("[mail]\nhost=%1\nport=%2\nuser=%3\npassword=%4\npassword-in-file=true\n")
                   .arg(server.host())
                   .arg(server.port())
                   .arg(server.user(), server.password())
                   .toUtf8());
    conf.close();

    QMailRetrievalAction action;
    QSignalSpy activity(&action, &QMailRetrievalAction::activityChanged);
    action.retrieveMessageList();
    QVERIFY(waitFor(activity, 2));
    QCOMPARE(action.activity(), QMailRetrievalAction::Successful);
    QCOMPARE(m_store->countMessages(), 1);
}

#include "tst_qmailstore.moc"
