// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

// halvane-mail: brings mail into the message store the e-mail plug-in reads:
// the headers of new INBOX messages from the configured IMAP account, or whole
// messages from files; lists and removes what is there; keeps the account's
// password in the session's secret store.
#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDateTime>
#include <QtCore/QEventLoop>
#include <QtCore/QSet>
#include <QtCore/QFileInfo>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

#include <termios.h>
#include <unistd.h>

#include "hvglobal.h"
#include "hvlocalzone.h"
#include "mailaccount.h"
#include "mailpassword.h"
#include "qmailmessage.h"
#include "qmailretrievalaction.h"
#include "qmailstore.h"

#include "mailfilereader.h"

namespace {

// Messages stored in one go: an export of years of mail is not held in
// memory at once.
constexpr int MessagesPerBatch = 500;

int fail(const QString &message)
{
    std::fprintf(stderr, "halvane-mail: %s\n", qPrintable(message));
    return 1;
}

int usage(const QCommandLineParser &parser, const QString &message = QString())
{
    if (!message.isEmpty())
        std::fprintf(stderr, "halvane-mail: %s\n\n", qPrintable(message));
    std::fprintf(stderr, "%s\nCommands:\n"
                         "  sync                  add the headers of new INBOX messages of the account in the\n"
                         "                        settings group [mail]; their content is fetched when shown\n"
                         "  import FILE...        add whole messages (RFC 2822 files, e.g. .eml)\n"
                         "  list                  print every message: id, reception time, status, sender, subject\n"
                         "  remove ID...          remove messages\n"
                         "  set-password          read the account's password from standard input (one line)\n"
                         "                        and keep it in the session's secret store\n",
                 qPrintable(parser.helpText()));
    return 2;
}

QMailStore *openStore()
{
    QMailStore *store = QMailStore::instance();
    return store && store->isValid() ? store : nullptr;
}

int sync(bool ifConfigured)
{
    // For timers: no account is nothing to do, not a failure.
    if (ifConfigured && !MailAccount::exists())
        return 0;
    QMailStore *store = openStore();
    if (!store)
        return fail(QStringLiteral("cannot open the message store in ") + QMailStore::storagePath());
    QMailRetrievalAction action;
    QEventLoop loop;
    QObject::connect(&action, &QMailRetrievalAction::activityChanged, &loop,
                     [&loop](QMailRetrievalAction::Activity activity) {
                         if (activity == QMailRetrievalAction::Successful || activity == QMailRetrievalAction::Failed)
                             loop.quit();
                     });
    action.retrieveMessageList();
    if (action.activity() == QMailRetrievalAction::InProgress)
        loop.exec();
    if (action.activity() != QMailRetrievalAction::Successful)
        return fail(action.statusText());
    std::printf("%d new message(s)\n", action.newMessageCount());
    return 0;
}

// One line from standard input; not echoed when that is a terminal.
bool readPassword(const MailAccount &account, QString *password)
{
    const bool terminal = ::isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "Password for %s@%s: ", qPrintable(account.user), qPrintable(account.host));
        std::fflush(stderr);
        if (::tcgetattr(STDIN_FILENO, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputc('\n', stderr);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    *password = QString::fromStdString(line);
    return !password->isEmpty();
}

int setPassword()
{
    QString problem;
    const MailAccount account = MailAccount::configured(&problem);
    if (account.host.isEmpty())
        return fail(problem);
    QString password;
    if (!readPassword(account, &password))
        return fail(QStringLiteral("no password on standard input"));
    QEventLoop loop;
    QString note;
    MailPassword::write(account, password, &loop, [&](const QString &written, const QString &error) {
        note = written;
        problem = error;
        loop.quit();
    });
    // It answers on the event loop, within the account's timeout.
    loop.exec();
    if (!problem.isEmpty())
        return fail(problem);
    std::printf("%s\n", qPrintable(note));
    return 0;
}

// A message as the same message again: its Message-ID, else its whole text,
// and which way it went (a message to oneself is both sent and received).
QString sameMessageKey(bool outgoing, const QString &id)
{
    return (outgoing ? QLatin1String("out ") : QLatin1String("in ")) + id;
}

QString sameMessageKey(const QMailMessage &message)
{
    QString id = message.headerFieldText("Message-ID").trimmed();
    if (id.isEmpty())
        id = QString::fromLatin1(QCryptographicHash::hash(message.toRfc2822(), QCryptographicHash::Sha1).toHex());
    return sameMessageKey(message.status() & QMailMessageMetaData::Outgoing, id);
}

// Mailers that reuse one Message-ID (a shop's every notice under its first
// one) make it stand for several messages; copies of one message keep its
// sender and Date, which tell the others apart.
QString senderAndDate(const QMailMessage &message)
{
    return message.from().address().toLower() + QLatin1Char(' ') + message.date().toUTC().toString(Qt::ISODate);
}

// What a mail program's own export says is no received mail: deleted in
// Thunderbird but not yet compacted away (X-Mozilla-Status 0x0008), or in
// Gmail's spam, bin or drafts (X-Gmail-Labels). Empty for mail to import.
QString notReceived(const QMailMessage &message)
{
    bool ok = false;
    const uint mozilla = message.headerFieldText("X-Mozilla-Status").trimmed().toUInt(&ok, 16);
    if (ok && (mozilla & 0x0008))
        return QStringLiteral("deleted in Thunderbird");
    const QStringList labels = message.headerFieldText("X-Gmail-Labels").split(QLatin1Char(','));
    for (const QString &label : labels) {
        const QString name = label.trimmed();
        if (name == QLatin1String("Spam") || name == QLatin1String("Trash") || name == QLatin1String("Drafts"))
            return QStringLiteral("in Gmail's ") + name;
    }
    return QString();
}

// Gmail's export holds sent mail too: labelled Sent, and not in the inbox.
bool isSentInGmail(const QMailMessage &message)
{
    QStringList labels;
    for (const QString &label : message.headerFieldText("X-Gmail-Labels").split(QLatin1Char(',')))
        labels.append(label.trimmed());
    return labels.contains(QLatin1String("Sent")) && !labels.contains(QLatin1String("Inbox"));
}

// The header block of a message, and the empty line that ends it.
QByteArray headerOf(const QByteArray &text)
{
    int end = text.indexOf("\n\n");
    const int crlf = text.indexOf("\r\n\r\n");
    if (crlf >= 0 && (end < 0 || crlf < end))
        end = crlf;
    return end < 0 ? text : text.left(end) + "\n\n";
}

int import(const QStringList &files, bool outgoing, const QDateTime &received)
{
    // Every file is read and checked first: a bad one imports none.
    for (const QString &name : files) {
        MailFileReader reader(name);
        if (!reader.open())
            return fail(reader.error());
        const QString notMail = QStringLiteral("%1 is no e-mail message (it has no From, Subject or Date header)").arg(name);
        QByteArray text;
        int count = 0;
        while (reader.next(&text)) {
            const QMailMessage message = QMailMessage::fromRfc2822(headerOf(text));
            if (message.from().address().isEmpty() && message.subject().isEmpty() && message.date().isNull())
                return fail(notMail);
            ++count;
        }
        if (!reader.error().isEmpty())
            return fail(reader.error());
        // A "From " line and nothing after it (or lines ended by CR alone).
        if (count == 0)
            return fail(notMail);
    }

    QMailStore *store = openStore();
    if (!store)
        return fail(QStringLiteral("cannot open the message store in ") + QMailStore::storagePath());
    // The same file imported again, or a message the store already has from
    // the server, would show twice.
    // The index keeps the Message-IDs: files are read only of messages
    // without one, and of those whose Message-ID comes again.
    QMultiHash<QString, QMailMessageId> stored;
    QHash<QString, QStringList> known;
    const QHash<QMailMessageId, QString> identifiers = store->messageIdentifiers(store->queryMessages());
    for (auto it = identifiers.constBegin(); it != identifiers.constEnd(); ++it) {
        if (it.value().isEmpty()) {
            stored.insert(sameMessageKey(store->message(it.key())), it.key());
            continue;
        }
        stored.insert(sameMessageKey(store->messageMetaData(it.key()).status() & QMailMessageMetaData::Outgoing,
                                     it.value()),
                      it.key());
    }
    const auto isKnown = [&](const QString &key, const QMailMessage &message) {
        QStringList &copies = known[key];
        for (const QMailMessageId &id : stored.values(key))
            copies.append(senderAndDate(store->messageHeaders(id)));
        stored.remove(key);
        return copies.contains(senderAndDate(message));
    };
    QList<QMailMessage> batch;
    const auto storeBatch = [&] {
        QList<QMailMessage *> pointers;
        for (QMailMessage &message : batch)
            pointers.append(&message);
        const bool ok = store->addMessages(pointers);
        for (const QMailMessage &message : qAsConst(batch)) {
            if (message.id().isValid())
                std::printf("%llu\n", message.id().toULongLong());
        }
        std::fflush(stdout);
        batch.clear();
        return ok;
    };
    for (const QString &name : files) {
        MailFileReader reader(name);
        if (!reader.open())
            return fail(reader.error());
        QByteArray text;
        while (reader.next(&text)) {
            QMailMessage message = QMailMessage::fromRfc2822(text);
            const QString skipped = notReceived(message);
            if (!skipped.isEmpty()) {
                std::fprintf(stderr, "halvane-mail: %s: a message %s (\"%s\"); skipped\n", qPrintable(name),
                             qPrintable(skipped), qPrintable(Halvane::withoutControls(message.subject())));
                continue;
            }
            quint64 status = outgoing || isSentInGmail(message) ? QMailMessageMetaData::Outgoing
                                                                : QMailMessageMetaData::Incoming;
            if (message.status() & QMailMessageMetaData::ContentAvailable)
                status |= QMailMessageMetaData::ContentAvailable;
            message.setStatus(status);
            if (received.isValid())
                message.setReceivedDate(QMailTimeStamp(received));
            const QString key = sameMessageKey(message);
            if (isKnown(key, message)) {
                const QString id = message.headerFieldText("Message-ID").trimmed();
                std::fprintf(stderr, "halvane-mail: %s: %s is already in the store; skipped\n", qPrintable(name),
                             qPrintable(id.isEmpty() ? QStringLiteral("the message \"%1\"")
                                                           .arg(Halvane::withoutControls(message.subject()))
                                                     : id));
                continue;
            }
            known[key].append(senderAndDate(message));
            batch.append(message);
            // A store that fails halfway keeps what it took: an import again
            // skips that and adds the rest.
            if (batch.size() == MessagesPerBatch && !storeBatch())
                return fail(QStringLiteral("the store refused a message: ") + store->errorString());
        }
        if (!reader.error().isEmpty())
            return fail(reader.error());
    }
    return storeBatch() ? 0 : fail(QStringLiteral("the store refused a message: ") + store->errorString());
}

// A subject may hold encoded line breaks and tabs; list keeps one record a line.
QString oneLine(const QString &text)
{
    return Halvane::withoutControls(text);
}

int list()
{
    QMailStore *store = openStore();
    if (!store)
        return fail(QStringLiteral("cannot open the message store in ") + QMailStore::storagePath());
    const QMailMessageIdList ids =
        store->queryMessages(QMailMessageKey(), QMailMessageSortKey::receptionTimeStamp() & QMailMessageSortKey::id());
    for (const QMailMessageId &id : ids) {
        const QMailMessage message = store->messageHeaders(id);
        if (!message.id().isValid())
            continue;
        const quint64 status = message.status();
        std::printf("%llu\t%s\t%s,%s\t%s\t%s\n", id.toULongLong(),
                    qPrintable(message.receivedDate().toLocalTime().toString(Qt::ISODate)),
                    status & QMailMessageMetaData::Outgoing ? "out" : "in",
                    status & QMailMessageMetaData::ContentAvailable ? "complete" : "headers",
                    qPrintable(message.from().address()), qPrintable(oneLine(message.subject())));
    }
    return 0;
}

int remove(const QStringList &arguments)
{
    QMailMessageIdList ids;
    for (const QString &argument : arguments) {
        bool ok = false;
        const quint64 number = argument.toULongLong(&ok);
        if (!ok || number == 0)
            return fail(QStringLiteral("%1 is no message id").arg(argument));
        ids.append(QMailMessageId(number));
    }
    QMailStore *store = openStore();
    if (!store)
        return fail(QStringLiteral("cannot open the message store in ") + QMailStore::storagePath());
    int result = 0;
    QMailMessageIdList known;
    for (const QMailMessageId &id : qAsConst(ids)) {
        if (store->messageMetaData(id).id().isValid())
            known.append(id);
        else
            result = fail(QStringLiteral("cannot remove %1: no such message").arg(id.toULongLong()));
    }
    // All at once: the store looks at its folder again after each removal.
    if (!known.isEmpty() && !store->removeMessages(QMailMessageKey::id(known)))
        result = fail(QStringLiteral("cannot remove the messages: ") + store->errorString());
    return result;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane-mail"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "E-mail in the message store: the Maildir HALVANE_MAILDIR names, else $XDG_DATA_HOME/halvane/mail."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption outgoingOption(QStringLiteral("outgoing"),
                                            QStringLiteral("import: the messages were sent, not received."));
    const QCommandLineOption receivedOption(QStringLiteral("received"),
        QStringLiteral("import: the reception time (ISO 8601, local time unless it has an offset); "
                       "by default the message's newest Received: stamp, else its Date:."),
        QStringLiteral("time"));
    const QCommandLineOption ifConfiguredOption(QStringLiteral("if-configured"),
        QStringLiteral("sync: with no account in the settings, do nothing and succeed."));
    parser.addOptions({outgoingOption, receivedOption, ifConfiguredOption});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("sync, import, list, remove or set-password"));
    parser.process(app);

    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usage(parser, QStringLiteral("no command given"));
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    QDateTime received;
    if (parser.isSet(receivedOption)) {
        received = QDateTime::fromString(parser.value(receivedOption), Qt::ISODate);
        if (!received.isValid())
            return usage(parser, QStringLiteral("--received takes an ISO 8601 time"));
    }

    if (command == QLatin1String("sync") || command == QLatin1String("list")
        || command == QLatin1String("set-password")) {
        // Never a password as an argument: others see the command line.
        if (!rest.isEmpty())
            return usage(parser, QStringLiteral("%1 takes no arguments").arg(command));
        if (command == QLatin1String("set-password"))
            return setPassword();
        return command == QLatin1String("sync") ? sync(parser.isSet(ifConfiguredOption)) : list();
    }
    if (command == QLatin1String("import") || command == QLatin1String("remove")) {
        if (rest.isEmpty())
            return usage(parser, QStringLiteral("%1 needs at least one argument").arg(command));
        return command == QLatin1String("import") ? import(rest, parser.isSet(outgoingOption), received)
                                                  : remove(rest);
    }
    return usage(parser, QStringLiteral("unknown command ") + command);
}
