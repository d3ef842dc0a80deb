// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

// halvane-commhistory: reads and changes the communication history the way
// the phone's messaging does, signals included.

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>

#include <cstdio>

#include "commhistory.h"
#include "database.h"
#include "event.h"
#include "hvglobal.h"
#include "historywriter.h"
#include "hvlocalzone.h"

using namespace CommHistory;

namespace {

// Folders of the messages this program records.
constexpr int InboxFolder = 4098;
constexpr int SentFolder = 4099;

int usageError(const QString &message, const QCommandLineParser &parser)
{
    std::fprintf(stderr, "halvane-commhistory: %s\n\n%s", qPrintable(message), qPrintable(parser.helpText()));
    return 2;
}

int failure(const QString &message)
{
    std::fprintf(stderr, "halvane-commhistory: %s\n", qPrintable(message));
    return 1;
}

QString oneLine(QString text)
{
    // Any sender writes the text: an escape sequence in it must not reach the terminal.
    return Halvane::withoutControls(text.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                                        .replace(QLatin1Char('\n'), QLatin1String("\\n"))
                                        .replace(QLatin1Char('\t'), QLatin1String("\\t")));
}

QString directionName(Event::EventDirection direction)
{
    switch (direction) {
    case Event::Inbound:
        return QStringLiteral("in");
    case Event::Outbound:
        return QStringLiteral("out");
    default:
        return QStringLiteral("-");
    }
}

bool parseId(const QString &text, int *id)
{
    bool ok = false;
    *id = text.toInt(&ok);
    return ok && *id >= 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // Local times read the zone once, not on every conversion.
    const Halvane::HVLocalZone localZone;
    QCoreApplication::setApplicationName(QStringLiteral("halvane-commhistory"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads and changes the communication history and tells the session bus.\n\n"
        "Commands:\n"
        "  add-sms --from NUMBER [--name NAME] --text TEXT [--time ISO] [--outbound]\n"
        "                       records an SMS and prints its event id\n"
        "  update ID [--text TEXT]  marks an event changed, with a new text if given\n"
        "  delete ID            deletes an event\n"
        "  list [--date YYYY-MM-DD]  prints the events (of one day): id, end time,\n"
        "                       type, direction, folder, numbers, name, text\n\n"
        "The history is $HALVANE_COMMHISTORY_DB, else $XDG_DATA_HOME/halvane/commhistory.db."));
    parser.addHelpOption();
    const QCommandLineOption fromOption(QStringLiteral("from"), QStringLiteral("The sender's (or recipient's) number."),
                                        QStringLiteral("number"));
    const QCommandLineOption nameOption(QStringLiteral("name"), QStringLiteral("The contact's name."),
                                        QStringLiteral("name"));
    const QCommandLineOption textOption(QStringLiteral("text"), QStringLiteral("The message text."),
                                        QStringLiteral("text"));
    const QCommandLineOption timeOption(QStringLiteral("time"),
                                        QStringLiteral("When it arrived (ISO 8601, local time without an offset; default now)."),
                                        QStringLiteral("iso"));
    const QCommandLineOption outboundOption(QStringLiteral("outbound"), QStringLiteral("A sent message."));
    const QCommandLineOption dateOption(QStringLiteral("date"), QStringLiteral("Only the events of that day."),
                                        QStringLiteral("yyyy-mm-dd"));
    parser.addOptions({fromOption, nameOption, textOption, timeOption, outboundOption, dateOption});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("add-sms, update, delete or list"));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText(), parser);
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty())
        return usageError(QStringLiteral("no command"), parser);
    const QString command = arguments.first();

    const auto allowOnly = [&](const QList<QCommandLineOption> &allowed, int positional) -> QString {
        for (const QString &name : parser.optionNames()) {
            bool known = false;
            for (const QCommandLineOption &option : allowed)
                known = known || option.names().contains(name);
            if (!known)
                return QStringLiteral("--%1 does not go with %2").arg(name, command);
        }
        if (arguments.size() != positional + 1)
            return QStringLiteral("%1 takes %2 argument(s)").arg(command).arg(positional);
        return QString();
    };

    if (command == QLatin1String("add-sms")) {
        const QString error = allowOnly({fromOption, nameOption, textOption, timeOption, outboundOption}, 0);
        if (!error.isEmpty())
            return usageError(error, parser);
        const QString number = parser.value(fromOption).trimmed();
        if (number.isEmpty())
            return usageError(QStringLiteral("add-sms needs --from NUMBER"), parser);
        if (!parser.isSet(textOption))
            return usageError(QStringLiteral("add-sms needs --text TEXT"), parser);
        QDateTime time = QDateTime::currentDateTime();
        if (parser.isSet(timeOption)) {
            time = QDateTime::fromString(parser.value(timeOption), Qt::ISODate);
            if (!time.isValid())
                return usageError(QStringLiteral("--time takes an ISO 8601 date and time: ") + parser.value(timeOption), parser);
        }

        HistoryWriter writer;
        if (!writer.isOpen())
            return failure(writer.errorString());
        const Group group = writer.ensureGroup(number, parser.value(nameOption));
        if (!group.isValid())
            return failure(QStringLiteral("cannot record the conversation: ") + writer.errorString());

        const bool outbound = parser.isSet(outboundOption);
        Event event;
        event.setType(Event::SMSEvent);
        event.setDirection(outbound ? Event::Outbound : Event::Inbound);
        event.setParentId(outbound ? SentFolder : InboxFolder);
        event.setGroupId(group.id());
        event.setStartTime(time);
        event.setEndTime(time);
        event.setFreeText(parser.value(textOption));
        event.setRemoteUid(number);
        QList<Event> events{event};
        if (!writer.addEvents(events))
            return failure(QStringLiteral("cannot record the message: ") + writer.errorString());
        std::printf("%d\n", events.first().id());
        return 0;
    }

    if (command == QLatin1String("update") || command == QLatin1String("delete")) {
        const bool update = command == QLatin1String("update");
        const QString error = update ? allowOnly({textOption}, 1) : allowOnly({}, 1);
        if (!error.isEmpty())
            return usageError(error, parser);
        int id = -1;
        if (!parseId(arguments.at(1), &id))
            return usageError(QStringLiteral("not an event id: ") + arguments.at(1), parser);

        HistoryWriter writer;
        if (!writer.isOpen())
            return failure(writer.errorString());
        if (!update)
            return writer.deleteEvent(id) ? 0 : failure(QStringLiteral("cannot delete event %1: %2").arg(id).arg(writer.errorString()));

        Event event = writer.database().event(id);
        if (!event.isValid())
            return failure(QStringLiteral("no event %1").arg(id));
        if (parser.isSet(textOption))
            event.setFreeText(parser.value(textOption));
        QList<Event> events{event};
        if (!writer.modifyEvents(events))
            return failure(QStringLiteral("cannot change event %1: %2").arg(id).arg(writer.errorString()));
        return 0;
    }

    if (command == QLatin1String("list")) {
        const QString error = allowOnly({dateOption}, 0);
        if (!error.isEmpty())
            return usageError(error, parser);
        Database::EventQuery query;
        if (parser.isSet(dateOption)) {
            const QDate date = QDate::fromString(parser.value(dateOption), Qt::ISODate);
            if (!date.isValid())
                return usageError(QStringLiteral("--date takes YYYY-MM-DD: ") + parser.value(dateOption), parser);
            // From its first moment: where the clocks skip midnight, 00:00 is no time.
            query.from = Halvane::dayStart(date);
            query.to = Halvane::dayStart(date.addDays(1)).addMSecs(-1);
        }

        Database database(databasePath());
        if (!database.isOpen())
            return failure(database.errorString());
        for (const Event &event : database.events(query)) {
            const Group group = database.group(event.groupId());
            const QStringList fields = {
                QString::number(event.id()),
                event.endTime().toString(Qt::ISODate),
                QString::number(int(event.type())),
                directionName(event.direction()),
                QString::number(event.parentId()),
                group.remoteUids().join(QLatin1Char('|')),
                oneLine(group.contactName()),
                oneLine(event.freeText()),
            };
            // Messages may hold any text, whatever the locale.
            std::fputs((fields.join(QLatin1Char('\t')) + QLatin1Char('\n')).toUtf8().constData(), stdout);
        }
        return 0;
    }

    return usageError(QStringLiteral("unknown command: ") + command, parser);
}
