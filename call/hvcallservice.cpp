// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvcallservice.h"

#include <QtCore/QDebug>
#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>

#include "telephonystack.h"

#include <algorithm>

namespace {

const QString VoiceCallManager = QStringLiteral("org.ofono.VoiceCallManager");
const QString ModemInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem");
const QString VoiceInterface = QStringLiteral("org.freedesktop.ModemManager1.Modem.Voice");
const QString CallInterface = QStringLiteral("org.freedesktop.ModemManager1.Call");

// Long enough for a modem that is slow to take the dial command.
constexpr int Timeout = 20000;

QStringList stringList(const QVariant &value)
{
    return value.userType() == qMetaTypeId<QDBusArgument>() ? qdbus_cast<QStringList>(value.value<QDBusArgument>())
                                                            : value.toStringList();
}

// The path of the first modem that offers voice calls, from oFono's GetModems a(oa{sv}).
QString ofonoVoiceModem(const QDBusArgument &modems)
{
    QString found;
    modems.beginArray();
    while (!modems.atEnd()) {
        QDBusObjectPath path;
        QVariantMap properties;
        modems.beginStructure();
        modems >> path >> properties;
        modems.endStructure();
        if (found.isEmpty() && stringList(properties.value(QStringLiteral("Interfaces"))).contains(VoiceCallManager))
            found = path.path();
    }
    modems.endArray();
    return found;
}

// The first modem (by path) of ModemManager's GetManagedObjects a{oa{sa{sv}}} that
// offers voice calls; modemCount tells how many modems there are at all.
QString modemManagerVoiceModem(const QDBusArgument &objects, int *modemCount)
{
    const QMap<QString, QStringList> interfacesByPath = TelephonyStack::managedInterfaces(objects);
    *modemCount = 0;
    QString found;
    for (auto it = interfacesByPath.cbegin(); it != interfacesByPath.cend(); ++it) {
        if (!it.value().contains(ModemInterface))
            continue;
        ++*modemCount;
        if (found.isEmpty() && it.value().contains(VoiceInterface))
            found = it.key();
    }
    return found;
}

// The number as a modem dials it: oFono takes a '+' first, then digits, '*'
// and '#' only, while people write numbers with spaces, dashes, dots,
// brackets and slashes, and vCard 4 as tel: URIs. Empty for what is no
// phone number at all (a sender's name, a letter among the digits).
QString dialable(const QString &number)
{
    QString text = number.trimmed();
    // A footnote mark or a circled number reads as a digit once normalised:
    // "+49 30 1234567¹" is no number 1 longer.
    if (std::any_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.category() == QChar::Number_Other || c.category() == QChar::Number_Letter;
        }))
        return QString();
    // Full-width digits and the like as their plain forms.
    text = text.normalized(QString::NormalizationForm_KC);
    if (text.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        text = QUrl::fromPercentEncoding(text.mid(4).toUtf8());
    // A tel: URI's parameters (";ext=5", ";phone-context=+49"), also where
    // an address book kept them without the "tel:": the number is before.
    if (text.section(QLatin1Char(';'), 1).contains(QLatin1Char('=')))
        text = text.section(QLatin1Char(';'), 0, 0);
    QString digits;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // Digits of any script (Arabic-Indic ones too) as the modem's.
        if (c.category() == QChar::Number_DecimalDigit)
            digits += QChar(QLatin1Char('0').unicode() + c.digitValue());
        else if (c == QLatin1Char('*') || c == QLatin1Char('#') || (c == QLatin1Char('+') && digits.isEmpty()))
            digits += c;
        // "(0)": the trunk 0 is dialled at home only, never after the
        // country code ("+44 (0)20 ...", "0044-(0)20-...").
        else if (text.midRef(i).startsWith(QLatin1String("(0)"))
                 && (digits.startsWith(QLatin1Char('+')) || digits.startsWith(QLatin1String("00"))))
            i += 2;
        // Spaces, dashes (the minus sign too) and brackets of any script, and
        // the direction marks a copied number brings along.
        else if (!(c.isSpace() || c.category() == QChar::Punctuation_Dash || c == QChar(0x2212)
                   || c == QLatin1Char('(') || c == QLatin1Char(')') || c == QLatin1Char('.') || c == QLatin1Char('/')
                   || c.category() == QChar::Other_Format))
            return QString();
    }
    // A number has a digit: "+" or "#" alone is none.
    const bool anyDigit = std::any_of(digits.cbegin(), digits.cend(), [](QChar c) { return c.isDigit(); });
    return anyDigit ? digits : QString();
}

} // namespace

HVCallService::HVCallService(QObject *parent)
    : QObject(parent)
{
}

void HVCallService::fail(const QString &number, const QString &reason)
{
    qWarning() << "HVCallService: no call to" << number << "-" << reason;
    Q_EMIT dialFailed(number, reason);
}

void HVCallService::dial(const QString &written)
{
    const QString number = dialable(written);
    if (number.isEmpty()) {
        fail(written, QStringLiteral("not a phone number"));
        return;
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        fail(number, QStringLiteral("no system bus"));
        return;
    }
    switch (TelephonyStack::choose(bus, TelephonyStack::setting())) {
    case TelephonyStack::Ofono:
        dialOfono(bus, number);
        return;
    case TelephonyStack::ModemManager:
        dialModemManager(bus, number);
        return;
    case TelephonyStack::None:
        break;
    }
    fail(number, QStringLiteral("neither oFono nor ModemManager is on the system bus"));
}

void HVCallService::dialOfono(QDBusConnection &bus, const QString &number)
{
    const QString service = TelephonyStack::ofonoService();
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(service, QStringLiteral("/"),
                                                                       QStringLiteral("org.ofono.Manager"),
                                                                       QStringLiteral("GetModems")),
                                        QDBus::Block, Timeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        fail(number, QStringLiteral("oFono does not answer: ") + reply.errorMessage());
        return;
    }
    const QString modem = ofonoVoiceModem(reply.arguments().first().value<QDBusArgument>());
    if (modem.isEmpty()) {
        fail(number, QStringLiteral("no modem offers voice calls"));
        return;
    }
    QDBusMessage dialCall = QDBusMessage::createMethodCall(service, modem, VoiceCallManager, QStringLiteral("Dial"));
    dialCall << number << QStringLiteral("default");
    const QDBusMessage dialReply = bus.call(dialCall, QDBus::Block, Timeout);
    if (dialReply.type() != QDBusMessage::ReplyMessage || dialReply.arguments().isEmpty()) {
        fail(number, QStringLiteral("the modem refused the call: ") + dialReply.errorMessage());
        return;
    }
    Q_EMIT dialed(number, dialReply.arguments().first().value<QDBusObjectPath>().path());
}

void HVCallService::dialModemManager(QDBusConnection &bus, const QString &number)
{
    const QString service = TelephonyStack::modemManagerService();
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(service, TelephonyStack::modemManagerPath(),
                                                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                                       QStringLiteral("GetManagedObjects")),
                                        QDBus::Block, Timeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        fail(number, QStringLiteral("ModemManager does not answer: ") + reply.errorMessage());
        return;
    }
    int modems = 0;
    const QString modem = modemManagerVoiceModem(reply.arguments().first().value<QDBusArgument>(), &modems);
    if (modems == 0) {
        fail(number, QStringLiteral("no modem"));
        return;
    }
    if (modem.isEmpty()) {
        fail(number, QStringLiteral("no modem offers voice calls"));
        return;
    }

    QDBusMessage create = QDBusMessage::createMethodCall(service, modem, VoiceInterface, QStringLiteral("CreateCall"));
    create << QVariant::fromValue(QVariantMap{{QStringLiteral("number"), number}});
    const QDBusMessage created = bus.call(create, QDBus::Block, Timeout);
    if (created.type() != QDBusMessage::ReplyMessage || created.arguments().isEmpty()) {
        fail(number, QStringLiteral("the modem refused the call: ") + created.errorMessage());
        return;
    }
    const QString call = created.arguments().first().value<QDBusObjectPath>().path();
    const QDBusMessage started = bus.call(QDBusMessage::createMethodCall(service, call, CallInterface,
                                                                         QStringLiteral("Start")),
                                          QDBus::Block, Timeout);
    if (started.type() != QDBusMessage::ReplyMessage) {
        // A call that never started would linger in the modem's list.
        QDBusMessage remove = QDBusMessage::createMethodCall(service, modem, VoiceInterface, QStringLiteral("DeleteCall"));
        remove << QVariant::fromValue(QDBusObjectPath(call));
        bus.call(remove, QDBus::Block, Timeout);
        fail(number, QStringLiteral("the modem refused the call: ") + started.errorMessage());
        return;
    }
    Q_EMIT dialed(number, call);
}
