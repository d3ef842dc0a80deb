// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include "hvitemtype.h"
#include "hvmessage.h"
#include "hvservice.h"
#include "hvservicefactory.h"
#include "hvservicesource.h"
#include "hvtestdovecot.h"
#include "qmailmessage.h"
#include "qmailstore.h"

using namespace Halvane;

namespace {

const QDate Day(2026, 6, 21);

QByteArray mail(const QByteArray &subject, const QByteArray &contentType, const QByteArray &body)
{
    return "From: \"Ann Example\" <ann@example.org>\nTo: you@example.org\nSubject: " + subject
        + "\nDate: Sun, 21 Jun 2026 10:00:00 +0200\nMIME-Version: 1.0\nContent-Type: " + contentType + "\n\n" + body;
}

QByteArray part(const QByteArray &contentType, const QByteArray &body, const QByteArray &extra = QByteArray())
{
    return "--b\nContent-Type: " + contentType + "\n" + extra + "\n" + body + "\n";
}

// The process's peak memory since the last reset, in KiB.
qint64 peakMemory()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

void resetPeakMemory()
{
    QFile refs("/proc/self/clear_refs");
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HVTEST_ADDRESS_SANITIZER
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(HVTEST_ADDRESS_SANITIZER)
constexpr bool MeasuresMemory = false; // the sanitizer keeps freed memory
#else
constexpr bool MeasuresMemory = true;
#endif

} // namespace

// The e-mail plug-in, loaded from a temporary plug-ins directory, on a real
// Maildir store; halvane-mail and plain file moves change it from other
// processes, a real Dovecot serves the content of header-only messages.
class TestEmailServicePlugin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void rangeBoundsAreIncludedExactly();
    void bodiesAndLabels_data();
    void bodiesAndLabels();
    void attachmentsAndMessagesWithoutText();
    void headerOnlyMessageIsCompletedFromTheServer();
    void changesByOtherProcessesWhileRunning();
    void brokenMessagesAreReportedAsFarAsReadable();
    void largeMessagesStayWithinBoundedMemory();

private:
    QMailMessageId add(const QByteArray &text, const QDateTime &received, quint64 status = 0);
    QList<HVItem> retrieve(const QDateTime &from, const QDateTime &to);
    QString tool(const QStringList &arguments);
    bool drop(const QString &name, const QByteArray &text);
    static QList<HVItem> itemsOf(QSignalSpy &spy);

    QTemporaryDir m_dir;
    QMailStore *m_store = nullptr;
    HVService *m_service = nullptr;
    HVServiceSource *m_source = nullptr;
};

void TestEmailServicePlugin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<QList<HVItem>>("QList<HVItem>");
    QVERIFY(QDir().mkpath(m_dir.filePath("plugins-base/plugins")));
    QVERIFY(QFile::copy(HVTEST_EMAIL_PLUGIN, m_dir.filePath("plugins-base/plugins/libhalvaneemailplugin.so")));
    qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(m_dir.filePath("plugins-base") + "/"));
    qputenv("HALVANE_MAILDIR", QFile::encodeName(m_dir.filePath("mail")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath("config")));
    QCOMPARE(HVServiceFactory::keys(), QStringList{"halvaneemailplugin"});
    QVERIFY(HVServiceFactory::supports("halvaneemailplugin", HVItemType::TypeMessage));
    m_store = QMailStore::instance();
    QVERIFY(m_store && m_store->isValid());
}

void TestEmailServicePlugin::init()
{
    m_service = HVServiceFactory::createService("halvaneemailplugin");
    QVERIFY(m_service);
    QCOMPARE(m_service->service(), QString("Email"));
    m_source = m_service->source();
    QVERIFY(m_source);
    QSignalSpy completed(m_service, &HVService::actionCompleted);
    QVERIFY(m_source->synchronize());
    QCOMPARE(completed.size(), 1);
    QCOMPARE(completed.first().first().toBool(), true);
}

void TestEmailServicePlugin::cleanup()
{
    delete m_service;
    m_service = nullptr;
    m_source = nullptr;
    m_store->removeMessages(QMailMessageKey());
    QFile::remove(m_dir.filePath("config/halvane/halvane.conf"));
}

QMailMessageId TestEmailServicePlugin::add(const QByteArray &text, const QDateTime &received, quint64 status)
{
    QMailMessage message = QMailMessage::fromRfc2822(text);
    message.setReceivedDate(QMailTimeStamp(received));
    message.setStatus(status ? status : QMailMessageMetaData::Incoming | message.status());
    return m_store->addMessage(&message) ? message.id() : QMailMessageId();
}

QList<HVItem> TestEmailServicePlugin::retrieve(const QDateTime &from, const QDateTime &to)
{
    return m_source->retrieveItemList(from, to);
}

QString TestEmailServicePlugin::tool(const QStringList &arguments)
{
    QProcess process;
    process.start(HVTEST_MAIL_PROGRAM, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "halvane-mail" << arguments << "failed:" << process.readAllStandardError();
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Puts a file into the Maildir as any delivery program does.
bool TestEmailServicePlugin::drop(const QString &name, const QByteArray &text)
{
    const QString temporary = m_dir.filePath("mail/tmp/") + name;
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return false;
    file.close();
    return QFile::rename(temporary, m_dir.filePath("mail/new/") + name);
}

QList<HVItem> TestEmailServicePlugin::itemsOf(QSignalSpy &spy)
{
    QList<HVItem> items;
    while (!spy.isEmpty())
        items += spy.takeFirst().first().value<QList<HVItem>>();
    return items;
}

void TestEmailServicePlugin::rangeBoundsAreIncludedExactly()
{
    const QDateTime from(Day, QTime(0, 0));
    const QDateTime to(Day.addDays(1), QTime(0, 0));
    const QByteArray text = mail("Lunch", "text/plain", "At noon?\n");
    const QMailMessageId atFrom = add(text, from);
    const QMailMessageId atTo = add(text, to);
    add(text, from.addMSecs(-1));
    add(text, to.addMSecs(1));
    add(text, from.addSecs(3600), QMailMessageMetaData::Outgoing | QMailMessageMetaData::ContentAvailable);

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(
        "^QList<Halvane::HVItem> Halvane::EmailServiceSource::getItemListFromBackend\\(const QDateTime ?&, const "
        "QDateTime ?&\\) QDateTime\\(2026-06-21 00:00:00\\.000 CEST .*\\)\\s+QDateTime\\(2026-06-22 00:00:00"));
    // The function's name as the compiler spells it: gcc "bool&", clang "bool &".
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(
        "^Halvane::HVMessage Halvane::EmailServiceSource::extractEmailMessage\\(QMailMessageId, bool ?&\\)$"));
    const QList<HVItem> items = retrieve(from, to);
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).id(), HVItemId(QString::number(atFrom.toULongLong()), "EmailsPlugin"));
    QCOMPARE(items.at(1).id(), HVItemId(QString::number(atTo.toULongLong()), "EmailsPlugin"));

    const HVMessage message(items.at(1));
    QCOMPARE(message.type(), HVItemType::TypeMessage);
    QCOMPARE(message.messageType(), HVMessage::Email);
    QCOMPARE(message.from(), QString("ann@example.org"));
    QCOMPARE(message.subject(), QString("Lunch"));
    QCOMPARE(message.receivedDateTime(), to);
    QCOMPARE(message.receivedDateTime().timeSpec(), Qt::LocalTime);
    QCOMPARE(message.dateTime(), message.receivedDateTime());
    QCOMPARE(message.body(), QString("At noon?"));
    QCOMPARE(message.displayLabel(), QString("At noon?"));
    QVERIFY(message.attachments().isEmpty());
    QVERIFY(message.phoneNumber().isEmpty());
}

void TestEmailServicePlugin::bodiesAndLabels_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("label");

    const QByteArray multipart = "multipart/alternative; boundary=\"b\"";
    QTest::newRow("plain and HTML") << mail("m", multipart, part("text/plain", "plain words") +
                                                                part("text/html", "<p>html words</p>") + "--b--\n")
                                    << "<p>html words</p>" << "plain words";
    QTest::newRow("HTML only") << mail("m", "text/html; charset=utf-8", "<b>only</b>\n") << "<b>only</b>" << "";
    QTest::newRow("upper-case subtype") << mail("m", "TEXT/PLAIN", "shouting\n") << "shouting" << "shouting";
    QTest::newRow("two plain parts joined")
        << mail("m", "multipart/mixed; boundary=\"b\"", part("text/plain", "first, ") + part("text/plain", "second")
                                                            + "--b--\n")
        << "first, second" << "first, second";
    // Apple Mail: soft breaks end in a space, the one DelSp adds goes.
    QTest::newRow("format=flowed")
        << mail("m", "text/plain; format=flowed; delsp=yes", "seventy-eight col \numns, a soft  \nbreak\n> quoted  \n"
                                                             "> on\n-- \nsig\n")
        << "seventy-eight columns, a soft break\n> quoted on\n-- \nsig"
        << "seventy-eight columns, a soft break\n> quoted on\n-- \nsig";
    const QByteArray two00(200, 'a');
    QTest::newRow("200 characters stay") << mail("m", "text/plain", two00 + "\n") << QString(two00) << QString(two00);
    QTest::newRow("201 characters are cut")
        << mail("m", "text/plain", two00 + "b\n") << QString(two00 + "b") << QString(two00);
    // U+1F600 in UTF-16 is two code units: the label never keeps half of it.
    const QString smile = QString::fromUtf8("\xf0\x9f\x98\x80");
    const QByteArray beforeSmile(199, 'c');
    QTest::newRow("no half character at the cut")
        << mail("m", "text/plain; charset=utf-8", beforeSmile + smile.toUtf8() + "\n")
        << QString(beforeSmile) + smile << QString(beforeSmile);
    QTest::newRow("quoted-printable Latin-1")
        << mail("m", "text/plain; charset=iso-8859-1\nContent-Transfer-Encoding: quoted-printable", "K=F6ln\n")
        << QString::fromUtf8("K\xc3\xb6ln") << QString::fromUtf8("K\xc3\xb6ln");
    // Text and HTML beside an attachment: the usual shape of mail with a file.
    QTest::newRow("alternative inside mixed")
        << mail("m", "multipart/mixed; boundary=\"b\"",
                "--b\nContent-Type: multipart/alternative; boundary=\"c\"\n\n--c\nContent-Type: text/plain\n\ninner "
                "plain\n--c\nContent-Type: text/html\n\n<i>inner</i>\n--c--\n"
                    + part("application/pdf; name=\"a.pdf\"", "JVBERi0=", "Content-Transfer-Encoding: base64\n")
                    + "--b--\n")
        << "<i>inner</i>" << "inner plain";
    QTest::newRow("text file attached is no text")
        << mail("m", "multipart/mixed; boundary=\"b\"",
                part("text/plain", "See the log.")
                    + part("text/plain; name=\"server.log\"", "ERROR 1",
                           "Content-Disposition: attachment; filename=\"server.log\"\n")
                    + "--b--\n")
        << "See the log." << "See the log.";
    // Cron and scripts send 8-bit text without a charset.
    QTest::newRow("8-bit without charset")
        << QByteArray("From: ann@example.org\nSubject: m\nDate: Sun, 21 Jun 2026 10:00:00 +0200\n\nCaf\xc3\xa9 cr\xc3\xa8me\n")
        << QString::fromUtf8("Caf\xc3\xa9 cr\xc3\xa8me") << QString::fromUtf8("Caf\xc3\xa9 cr\xc3\xa8me");
    // Outlook: base64 of CRLF lines, and Windows quotes and dashes in Latin-1.
    QTest::newRow("base64 of CRLF lines")
        << mail("m", "text/plain; charset=utf-8\nContent-Transfer-Encoding: base64", "SGkgQW5uLA0KQm9iDQo=\n")
        << "Hi Ann,\nBob" << "Hi Ann,\nBob";
    QTest::newRow("Windows quotes labelled Latin-1")
        << mail("m", "text/plain; charset=iso-8859-1", "\x93Smart\x94 \x96 dash\n")
        << QString::fromUtf8("\xe2\x80\x9cSmart\xe2\x80\x9d \xe2\x80\x93 dash")
        << QString::fromUtf8("\xe2\x80\x9cSmart\xe2\x80\x9d \xe2\x80\x93 dash");
}

void TestEmailServicePlugin::bodiesAndLabels()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, body);
    QFETCH(QString, label);
    const QDateTime noon(Day, QTime(12, 0));
    QVERIFY(add(text, noon).isValid());
    const QList<HVItem> items = retrieve(noon, noon);
    QCOMPARE(items.size(), 1);
    const HVMessage message(items.first());
    QCOMPARE(message.body(), body);
    QCOMPARE(message.displayLabel(), label);
}

void TestEmailServicePlugin::attachmentsAndMessagesWithoutText()
{
    const QDateTime noon(Day, QTime(12, 0));
    const QByteArray pdf("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n");
    const QByteArray withFiles = mail(
        "files", "multipart/mixed; boundary=\"b\"",
        part("text/plain", "see attached") +
            part("application/pdf; name=\"agenda.pdf\"", pdf.toBase64(), "Content-Transfer-Encoding: base64\n") +
            part("image/PNG; name*=utf-8''f%C3%BCr.png", "not really a png", "") +
            // Forwarded whole, without a name: it had none to show.
            part("message/rfc822", "From: c@example.org\nSubject: Minutes 3/12\n\nInner text\n", "") +
            // A name in pieces, split inside the "ä" (as Thunderbird splits long names).
            part("application/pdf", "x", "Content-Disposition: attachment;\n filename*0*=UTF-8''Pr%C3;\n"
                                         " filename*1*=%A4sentation.pdf\n") + "--b--\n");
    const QMailMessageId files = add(withFiles, noon);

    // Nothing but files: no body, reported anyway, its content asked for.
    // This one is named in its disposition only.
    const QMailMessageId onlyFiles = add(
        mail("only files", "multipart/mixed; boundary=\"b\"",
             part("application/zip", "zip", "Content-Disposition: attachment; filename=\"x.zip\"\n") + "--b--\n"),
        noon.addSecs(1));

    // A message that is one file, as a scanner sends it.
    const QMailMessageId scan = add(mail("scan",
                                         "application/pdf\nContent-Transfer-Encoding: base64\n"
                                         // Named in UTF-8, as it is: "写真.pdf".
                                         "Content-Disposition: attachment; filename=\"\xe5\x86\x99\xe7\x9c\x9f.pdf\"",
                                         pdf.toBase64() + "\n"),
                                    noon.addSecs(2));

    // Their whole text is in the store already: the request fetches nothing.
    for (const QMailMessageId &id : {onlyFiles, scan}) {
        QTest::ignoreMessage(QtDebugMsg, "Email should be updated");
        QTest::ignoreMessage(QtDebugMsg, QString("QMailRetrievalAction: message %1 is complete; nothing to fetch")
                                             .arg(id.toULongLong()).toUtf8().constData());
    }
    const QList<HVItem> items = retrieve(noon, noon.addSecs(2));
    QCOMPARE(items.size(), 3);

    const HVMessage message(items.at(0));
    QCOMPARE(message.id().localId(), QString::number(files.toULongLong()));
    QCOMPARE(message.body(), QString("see attached"));
    const QList<HVItemMessageAttachment> attachments = message.attachments();
    QCOMPARE(attachments.size(), 4);
    QCOMPARE(attachments.at(0).fileName(), QString("agenda.pdf"));
    QCOMPARE(attachments.at(0).contentType(), QString("application/pdf"));
    QCOMPARE(attachments.at(0).content(), pdf);
    QCOMPARE(attachments.at(0).size(), pdf.size());
    QCOMPARE(attachments.at(1).fileName(), QString::fromUtf8("f\xc3\xbcr.png"));
    QCOMPARE(attachments.at(1).contentType().toLower(), QString("image/png"));
    QCOMPARE(attachments.at(1).content(), QByteArray("not really a png"));
    QCOMPARE(attachments.at(2).fileName(), QString("Minutes 3_12.eml"));
    QCOMPARE(attachments.at(3).fileName(), QString::fromUtf8("Pr\xc3\xa4sentation.pdf"));

    const HVMessage bare(items.at(1));
    QCOMPARE(bare.id().localId(), QString::number(onlyFiles.toULongLong()));
    QCOMPARE(bare.subject(), QString("only files"));
    QVERIFY(bare.body().isNull());
    QVERIFY(bare.displayLabel().isEmpty());
    QCOMPARE(bare.attachments().size(), 1);
    QCOMPARE(bare.attachments().first().fileName(), QString("x.zip"));

    const HVMessage scanned(items.at(2));
    QCOMPARE(scanned.id().localId(), QString::number(scan.toULongLong()));
    QCOMPARE(scanned.attachments().size(), 1);
    QCOMPARE(scanned.attachments().first().fileName(), QString::fromUtf8("\xe5\x86\x99\xe7\x9c\x9f.pdf"));
    QCOMPARE(scanned.attachments().first().contentType(), QString("application/pdf"));
    QCOMPARE(scanned.attachments().first().content(), pdf);
}

void TestEmailServicePlugin::headerOnlyMessageIsCompletedFromTheServer()
{
    HVTEST_SKIP_WITHOUT_DOVECOT();
    HVTest::Dovecot server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    QVERIFY(server.writeAccount(m_dir.filePath("config")));
    QVERIFY(server.deliver(mail("Tickets", "multipart/alternative; boundary=\"b\"",
                                part("text/plain", "Your seat: 42") + part("text/html", "<p>Your seat: <b>42</b></p>")
                                    + "--b--\n")));

    QSignalSpy added(m_source, &HVServiceSource::itemsAdded);
    QSignalSpy changed(m_source, &HVServiceSource::itemsChanged);
    // halvane-mail brings the headers only, from another process.
    QCOMPARE(tool({"sync"}), QString("1 new message(s)"));
    QTRY_COMPARE(added.size(), 1);
    const QList<HVItem> announced = itemsOf(added);
    QCOMPARE(announced.size(), 1);
    QCOMPARE(HVMessage(announced.first()).subject(), QString("Tickets"));
    QVERIFY(HVMessage(announced.first()).body().isEmpty());
    // Announcing fetches nothing.
    QTest::qWait(200);
    QVERIFY(changed.isEmpty());

    const QDateTime from(Day, QTime(0, 0));
    const QDateTime to(Day.addDays(1), QTime(0, 0));
    QTest::ignoreMessage(QtDebugMsg, "Email should be updated");
    const QList<HVItem> items = retrieve(from, to);
    QCOMPARE(items.size(), 1);
    const HVMessage waiting(items.first());
    QCOMPARE(waiting.id(), announced.first().id());
    QCOMPARE(waiting.subject(), QString("Tickets"));
    QCOMPARE(waiting.receivedDateTime(), QDateTime(Day, QTime(10, 0)));
    QVERIFY(waiting.body().isEmpty());
    // A second retrieval while the content is on its way asks no more.
    QTest::ignoreMessage(QtDebugMsg, "Email should be updated");
    QCOMPARE(retrieve(from, to).size(), 1);

    QTRY_COMPARE(changed.size(), 1);
    const QList<HVItem> completed = itemsOf(changed);
    QCOMPARE(completed.size(), 1);
    const HVMessage message(completed.first());
    QCOMPARE(message.id(), waiting.id());
    QCOMPARE(message.body(), QString("<p>Your seat: <b>42</b></p>"));
    QCOMPARE(message.displayLabel(), QString("Your seat: 42"));
    QCOMPARE(message.receivedDateTime(), waiting.receivedDateTime());

    // Complete now: later retrievals have the body and fetch nothing.
    const QList<HVItem> again = retrieve(from, to);
    QCOMPARE(HVMessage(again.value(0)).body(), message.body());
    QTest::qWait(200);
    QVERIFY(changed.isEmpty());
    // One login for the synchronisation, one for the content.
    QCOMPARE(server.log().count("Login: user=<ann>"), 2);

    // A message larger than the store reads whole is not brought into memory.
    const QByteArray line = QByteArray(76, 'A') + '\n';
    QVERIFY(server.deliver(mail("Video", "video/mp4\nContent-Transfer-Encoding: base64",
                                line.repeated(int((65 << 20) / line.size())))));
    QCOMPARE(tool({"sync"}), QString("1 new message(s)"));
    QTRY_COMPARE(added.size(), 1);
    QTest::ignoreMessage(QtDebugMsg, "Email should be updated");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^QMailRetrievalAction: message \\d+ is 65 MiB, more than the "
                                                          "64 MiB a message is read whole to; it keeps its headers only$"));
    QCOMPARE(retrieve(from, to).size(), 2);
    QTRY_COMPARE(server.log().count("Login: user=<ann>"), 4);
    QTest::qWait(1000);
    QVERIFY(changed.isEmpty());
}

void TestEmailServicePlugin::changesByOtherProcessesWhileRunning()
{
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(retrieve(now.addDays(-1), now.addDays(1)).isEmpty());
    QSignalSpy added(m_source, &HVServiceSource::itemsAdded);
    QSignalSpy removed(m_source, &HVServiceSource::itemsRemoved);

    QFile file(m_dir.filePath("in.eml"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(mail("from elsewhere", "text/plain", "new mail\n"));
    file.close();
    const QString id = tool({"import", "--received", now.toString(Qt::ISODate), file.fileName()});
    QVERIFY(!id.isEmpty());
    QTRY_COMPARE(added.size(), 1);
    QList<HVItem> items = itemsOf(added);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().id(), HVItemId(id, "EmailsPlugin"));
    QCOMPARE(HVMessage(items.first()).body(), QString("new mail"));
    const QDateTime toTheSecond = QDateTime::fromString(now.toString(Qt::ISODate), Qt::ISODate);
    QCOMPARE(HVMessage(items.first()).receivedDateTime(), toTheSecond);

    // Neither a sent message nor old mail joins the list, live or retrieved.
    QVERIFY(!tool({"import", "--outgoing", "--received", now.toString(Qt::ISODate), file.fileName()}).isEmpty());
    QTRY_COMPARE(added.size(), 1);
    QVERIFY(itemsOf(added).isEmpty());
    QFile old(m_dir.filePath("old.eml"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(mail("from days ago", "text/plain", "old mail\n"));
    old.close();
    QVERIFY(!tool({"import", "--received", now.addDays(-3).toString(Qt::ISODate), old.fileName()}).isEmpty());
    QTRY_COMPARE(added.size(), 1);
    QVERIFY(itemsOf(added).isEmpty());
    const QList<HVItem> retrieved = retrieve(now.addDays(-1), now.addDays(1));
    QCOMPARE(retrieved.size(), 1);
    QCOMPARE(retrieved.first().id(), HVItemId(id, "EmailsPlugin"));

    // Removed by another process: the item still carries its type and id.
    QVERIFY(tool({"remove", id}).isEmpty());
    QTRY_COMPARE(removed.size(), 1);
    items = itemsOf(removed);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().type(), HVItemType::TypeMessage);
    QCOMPARE(items.first().id(), HVItemId(id, "EmailsPlugin"));
    QCOMPARE(HVMessage(items.first()).messageType(), HVMessage::Email);

}

void TestEmailServicePlugin::brokenMessagesAreReportedAsFarAsReadable()
{
    const QList<QPair<QString, QByteArray>> files{
        {"no-closing-boundary",
         mail("unclosed", "multipart/mixed; boundary=\"b\"", part("text/plain", "start of text") + "--b\nContent-Ty")},
        {"no-boundary", mail("boundless", "multipart/mixed", "--b\nContent-Type: text/plain\n\nhello\n--b--\n")},
        {"bad-base64", mail("b64", "multipart/mixed; boundary=\"b\"",
                            part("application/pdf; name=x", "!!!@@@***", "Content-Transfer-Encoding: base64\n")
                                + "--b--\n")},
        {"unknown-charset", mail("charset", "text/plain; charset=x-no-such-charset", "still text\n")},
        {"cut-in-header", QByteArray("From: ann@example.org\nSubject: cut\nContent-Type: multipart/mi")},
        {"no-address", QByteArray("From: Mailer-Daemon\nSubject: bounce\n\nx\n")},
        {"empty-address", QByteArray("From: =?UTF-8?Q?J=C3=BCrgen?= <>\nSubject: empty\n\nx\n")},
        {"utf8-address", QByteArray("From: Ann <ann@\xe4\xbe\x8b\xe3\x81\x88.jp>\nSubject: utf8\n\nx\n")},
        {"empty", QByteArray()},
        {"binary", [] {
             QByteArray bytes(4096, '\0');
             for (int i = 0; i < bytes.size(); ++i)
                 bytes[i] = char((i * 7919) % 256);
             return bytes;
         }()},
        {"deeply-nested", []() -> QByteArray {
             QByteArray text = "From: ann@example.org\nSubject: deep\n";
             for (int i = 0; i < 300; ++i)
                 text += "Content-Type: multipart/mixed; boundary=\"l" + QByteArray::number(i) + "\"\n\n--l"
                     + QByteArray::number(i) + "\n";
             return text + "Content-Type: text/plain\n\ndeep text\n";
         }()},
    };
    QSignalSpy added(m_source, &HVServiceSource::itemsAdded);
    for (const auto &file : files)
        QVERIFY(drop(file.first, file.second));
    QList<HVItem> announced;
    QTRY_COMPARE((announced += itemsOf(added)).size(), files.size());

    // Those without a date count as received when they were written.
    const QDateTime now = QDateTime::currentDateTime();
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Email should be updated$"));
    const QList<HVItem> items = retrieve(QDateTime(Day, QTime(0, 0)), now.addSecs(60));
    QCOMPARE(items.size(), files.size());
    QMap<QString, HVMessage> bySubject;
    for (const HVItem &item : items) {
        QVERIFY(!item.id().localId().isEmpty());
        bySubject.insert(HVMessage(item).subject(), HVMessage(item));
    }
    QCOMPARE(bySubject.value("unclosed").body(), QString("start of text"));
    QVERIFY(bySubject.value("boundless").body().contains("hello"));
    QCOMPARE(bySubject.value("charset").body(), QString("still text"));
    QCOMPARE(bySubject.value("b64").attachments().size(), 1);
    QCOMPARE(bySubject.value("cut").from(), QString("ann@example.org"));
    QCOMPARE(bySubject.value("bounce").from(), QString("Mailer-Daemon"));
    QCOMPARE(bySubject.value("empty").from(), QString::fromUtf8("J\xc3\xbcrgen"));
    QCOMPARE(bySubject.value("utf8").from(), QString::fromUtf8("ann@\xe4\xbe\x8b\xe3\x81\x88.jp"));
    QVERIFY(bySubject.contains("deep"));
}

void TestEmailServicePlugin::largeMessagesStayWithinBoundedMemory()
{
    // A big attachment is read whole; a file past the store's limit only as
    // far as its headers.
    const QByteArray head = "From: ann@example.org\nSubject: %1\nDate: Sun, 21 Jun 2026 10:00:00 +0200\n"
                            "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\nbig\n"
                            "--b\nContent-Type: application/octet-stream; name=\"big.bin\"\n"
                            "Content-Transfer-Encoding: base64\n\n";
    const QByteArray line = QByteArray(76, 'A') + '\n'; // 57 zero bytes
    auto write = [&](const QString &name, const QByteArray &subject, int lines) {
        QFile file(m_dir.filePath("mail/tmp/") + name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QByteArray(head).replace("%1", subject));
        const QByteArray block = line.repeated(1024);
        for (int i = 0; i < lines / 1024; ++i)
            file.write(block);
        file.write("--b--\n");
        file.close();
        return QFile::rename(file.fileName(), m_dir.filePath("mail/new/") + name);
    };
    const int bigLines = 8 * 1024 * 1024 / 57 / 1024 * 1024;
    QVERIFY(write("big", "big", bigLines));
    QVERIFY(write("huge", "huge", 70 * 1024 * 1024 / 77 / 1024 * 1024));
    QTRY_COMPARE(m_store->countMessages(), 2);

    const QDateTime from(Day, QTime(0, 0));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^QMailStore: message \\d+ is too large to read \\(\\d+ "
                                                          "bytes\\); only its headers are read$"));
    QTest::ignoreMessage(QtDebugMsg, "Email should be updated");
    resetPeakMemory();
    const qint64 before = peakMemory();
    const QList<HVItem> items = retrieve(from, from.addDays(1));
    const qint64 peak = peakMemory() - before;
    QCOMPARE(items.size(), 2);
    QMap<QString, HVMessage> bySubject;
    for (const HVItem &item : items)
        bySubject.insert(HVMessage(item).subject(), HVMessage(item));

    const HVMessage big = bySubject.value("big");
    QCOMPARE(big.body(), QString("big"));
    QCOMPARE(big.attachments().size(), 1);
    QCOMPARE(big.attachments().first().size(), bigLines * 57);
    QCOMPARE(big.attachments().first().content(), QByteArray(bigLines * 57, '\0'));

    const HVMessage huge = bySubject.value("huge");
    QVERIFY(huge.body().isEmpty());
    QVERIFY(huge.attachments().isEmpty());
    QCOMPARE(huge.from(), QString("ann@example.org"));
    // The huge file is never held whole; the big one a few times over at most.
    if (MeasuresMemory && before > 0)
        QVERIFY2(peak < 5 * 8 * 1024, qPrintable(QString("peak grew by %1 KiB").arg(peak)));
}

QTEST_GUILESS_MAIN(TestEmailServicePlugin)
#include "tst_emailserviceplugin.moc"
