// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

// halvane-contacts: brings an address book (vCard) into the contacts store the
// call helper searches, and lists or removes what is there.
#include <QtContacts/QContactEmailAddress>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactName>
#include <QtContacts/QContactPhoneNumber>
#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSet>
#include <QtVersit/QVersitContactImporter>
#include <QtVersit/QVersitReader>

#include <cstdio>

#include "hvglobal.h"

using namespace QtContacts;
using namespace QtVersit;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "halvane-contacts: %s\n", qPrintable(message));
    return 1;
}

int usage(const QCommandLineParser &parser, const QString &message = QString())
{
    if (!message.isEmpty())
        std::fprintf(stderr, "halvane-contacts: %s\n\n", qPrintable(message));
    std::fprintf(stderr, "%s\nCommands:\n  import FILE.vcf   add or update the contacts of a vCard file\n"
                         "  list              print every contact: id, name, e-mail addresses, numbers\n"
                         "  remove ID         remove one contact\n",
                 qPrintable(parser.helpText()));
    return 2;
}

int importFile(QContactManager &manager, const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(fileName, file.errorString()));
    // A card without its END (or an END of none) is read by the vCard
    // reader as part of the next card, which is lost without a word.
    int line = 0;
    int openedAt = 0;
    while (!file.atEnd()) {
        const QByteArray text = file.readLine().trimmed().toUpper();
        ++line;
        if (text == "BEGIN:VCARD") {
            if (openedAt != 0)
                return fail(QStringLiteral("%1: the card that begins at line %2 has no END:VCARD").arg(fileName).arg(openedAt));
            openedAt = line;
        } else if (text == "END:VCARD") {
            if (openedAt == 0)
                return fail(QStringLiteral("%1: the END:VCARD at line %2 ends no card").arg(fileName).arg(line));
            openedAt = 0;
        }
    }
    if (openedAt != 0)
        return fail(QStringLiteral("%1: the card that begins at line %2 has no END:VCARD").arg(fileName).arg(openedAt));
    file.seek(0);
    QVersitReader reader(&file);
    if (!reader.startReading() || !reader.waitForFinished() || reader.error() != QVersitReader::NoError)
        return fail(QStringLiteral("%1 is not a readable vCard file").arg(fileName));
    const QList<QVersitDocument> documents = reader.results();
    if (documents.isEmpty())
        return fail(QStringLiteral("%1 holds no vCard").arg(fileName));
    QVersitContactImporter importer;
    if (!importer.importDocuments(documents))
        return fail(QStringLiteral("%1 holds vCards that cannot be read as contacts").arg(fileName));

    // Everything was read before anything is written: a bad file changes nothing.
    QList<QContact> contacts = importer.contacts();
    QMap<int, QContactManager::Error> errors;
    if (!manager.saveContacts(&contacts, &errors))
        return fail(QStringLiteral("saving failed for %1 of %2 contacts").arg(errors.size()).arg(contacts.size()));
    // Cards of one person (the same UID, or name and first number) are one contact.
    QSet<QContactId> distinct;
    for (const QContact &contact : qAsConst(contacts))
        distinct.insert(contact.id());
    if (distinct.size() == contacts.size())
        std::printf("imported %d contacts\n", int(contacts.size()));
    else
        std::printf("imported %d contacts (from %d cards)\n", int(distinct.size()), int(contacts.size()));
    return 0;
}

int list(QContactManager &manager)
{
    const QList<QContact> contacts = manager.contacts();
    if (manager.error() != QContactManager::NoError)
        return fail(QStringLiteral("the contacts store cannot be read"));
    for (const QContact &contact : contacts) {
        const QContactName name = contact.detail<QContactName>();
        QStringList emails, numbers;
        for (const QContactEmailAddress &email : contact.details<QContactEmailAddress>())
            emails.append(email.emailAddress());
        for (const QContactPhoneNumber &phone : contact.details<QContactPhoneNumber>())
            numbers.append(phone.number());
        // The name as the card writes it (FN: "王小明", "Dr. Jean-François Dupont Jr."), else given and family name.
        QString fullName = contact.detail<QContactDisplayLabel>().label().trimmed();
        if (fullName.isEmpty())
            fullName = QString(name.firstName() + QLatin1Char(' ') + name.lastName()).trimmed();
        // Text from outside: an escape sequence in a name must not act on
        // the terminal, nor a line break split the record.
        using Halvane::withoutControls;
        std::printf("%s\t%s\t%s\t%s\n", contact.id().localId().constData(), qPrintable(withoutControls(fullName)),
                    qPrintable(withoutControls(emails.join(QLatin1Char(',')))),
                    qPrintable(withoutControls(numbers.join(QLatin1Char(',')))));
    }
    return 0;
}

int remove(QContactManager &manager, const QString &id)
{
    if (!manager.removeContact(QContactId(manager.managerUri(), id.toUtf8())))
        return fail(QStringLiteral("no contact %1").arg(id));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HALVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Manages the contacts the call helper finds by e-mail address."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("import, list or remove"));
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser, parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return usage(parser), 0;
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("halvane-contacts %s\n", HALVANE_VERSION);
        return 0;
    }

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool known = (command == QLatin1String("import") && args.size() == 2)
        || (command == QLatin1String("list") && args.size() == 1)
        || (command == QLatin1String("remove") && args.size() == 2);
    if (!known)
        return usage(parser, args.isEmpty() ? QStringLiteral("a command is needed") : QStringLiteral("bad command line"));

    // Uninstalled runs find the contacts engine built beside the program.
    const QString builtPlugins = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                                 + QLatin1String("/" HALVANE_RELATIVE_QT_PLUGINS));
    if (QFileInfo(builtPlugins).isDir())
        QCoreApplication::addLibraryPath(builtPlugins);

    QContactManager manager(QStringLiteral("tracker"));
    if (manager.managerName() != QLatin1String("tracker"))
        return fail(QStringLiteral("the contacts back end \"tracker\" is not installed"));

    if (command == QLatin1String("import"))
        return importFile(manager, args.at(1));
    if (command == QLatin1String("list"))
        return list(manager);
    return remove(manager, args.at(1));
}
