// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvcall.h"
#include "halvanecall_debug.h"

#include <QtContacts/QContactDetailFilter>
#include <QtContacts/QContactEmailAddress>
#include <QtContacts/QContactManager>
#include <QtContacts/QContactName>
#include <QtContacts/QContactPhoneNumber>
#include <QtCore/QBuffer>
#include <QtCore/QDebug>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtVersit/QVersitContactExporter>
#include <QtVersit/QVersitWriter>

#include "hvcallservice.h"
#include "hvglobal.h"
#include "hvsettings.h"

using namespace QtContacts;
using namespace QtVersit;

namespace {

const char MakeCallContact[] = "void HVCall::makeCall(const QtMobility::QContact&)";
const char FindContactByEmail[] = "QtMobility::QContact HVCall::findContactByEmail(const QString&)";

QByteArray vCard(const QContact &contact)
{
    QVersitContactExporter exporter;
    if (!exporter.exportContacts({contact}, QVersitDocument::VCard30Type))
        return QByteArray();
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    QVersitWriter writer(&buffer);
    writer.startWriting(exporter.documents());
    writer.waitForFinished();
    return text;
}

} // namespace

HVCall::HVCall(QObject *parent)
    : QObject(parent)
    , m_callService(new HVCallService(nullptr))
{
    connect(m_callService, &HVCallService::dialFailed, this, &HVCall::callFailed);
    qCDebug(HALVANE_CALL) << "HVContactsManager constructed.";
}

HVCall::~HVCall()
{
    delete m_callService;
}

void HVCall::makeCall(QString detailType, QString detail)
{
    qCDebug(HALVANE_CALL) << "SLOT makeCall(QString,QString) called.";
    if (detail.isEmpty()) {
        qCDebug(HALVANE_CALL) << "HVCall::makeCall() - No contact's details. Return.";
        Q_EMIT callFailed(QString(), QStringLiteral("no number to call"));
        return;
    }
    if (detailType == QLatin1String("phone")) {
        qCDebug(HALVANE_CALL) << "HVCall::makeCall(" << detail << ")";
        makeCall(detail);
        return;
    }
    if (detailType == QLatin1String("email")) {
        qCDebug(HALVANE_CALL) << "HVCall::makeCall(" << detailType << "," << detail << ")";
        const QContact contact = findContactByEmail(detail);
        if (!contact.isEmpty())
            makeCall(contact);
        else
            Q_EMIT callFailed(QString(), QStringLiteral("no contact has the address ") + detail);
        return;
    }
    qCDebug(HALVANE_CALL) << "HVCall::makeCall() - wrong detail's type: " << detailType;
    Q_EMIT callFailed(QString(), QStringLiteral("cannot call by ") + detailType);
}

void HVCall::makeCall(const QString &number)
{
    qCDebug(HALVANE_CALL) << "void HVCall::makeCall(const QString&)" << QString(QStringLiteral(" call to ") + number);
    m_callService->dial(number);
}

void HVCall::makeCall(QContact contact)
{
    const QContactName name = contact.detail<QContactName>();
    qCDebug(HALVANE_CALL) << MakeCallContact << " Found contact: " << name.firstName() << name.lastName();

    const QList<QContactPhoneNumber> phones = contact.details<QContactPhoneNumber>();
    if (phones.isEmpty()) {
        qCDebug(HALVANE_CALL) << MakeCallContact << " No phone numbers.";
        Q_EMIT callFailed(QString(), QStringLiteral("the contact has no phone number"));
        return;
    }
    QStringList numbers;
    for (const QContactPhoneNumber &phone : phones) {
        if (!phone.number().isEmpty())
            numbers.append(phone.number());
    }
    if (numbers.isEmpty()) {
        qCDebug(HALVANE_CALL) << MakeCallContact << " No phone numbers.";
        Q_EMIT callFailed(QString(), QStringLiteral("the contact has no phone number"));
        return;
    }
    if (numbers.size() == 1) {
        qCDebug(HALVANE_CALL) << MakeCallContact << " Found number " << numbers.first();
        makeCall(numbers.first());
        return;
    }
    qCDebug(HALVANE_CALL) << MakeCallContact << " Found multiple numbers. Opening contact's details.";
    openContactDetails(contact);
}

QContact HVCall::findContactByEmail(const QString &email)
{
    qCDebug(HALVANE_CALL) << FindContactByEmail << "param: " << email;
    QContactManager manager(QStringLiteral("tracker"));
    if (manager.managerName() != QLatin1String("tracker")) {
        qWarning() << FindContactByEmail << "Error: contact manager: " << manager.managerName();
        return QContact();
    }

    QContactDetailFilter filter;
    filter.setDetailType(QContactEmailAddress::Type, QContactEmailAddress::FieldEmailAddress);
    if (!manager.isFilterSupported(filter)) {
        qWarning() << FindContactByEmail << " Filtering is NOT supported!";
        return QContact();
    }
    filter.setValue(email);
    filter.setMatchFlags(QContactFilter::MatchExactly);
    const QList<QContact> contacts = manager.contacts(filter, QList<QContactSortOrder>(), QContactFetchHint());

    qCDebug(HALVANE_CALL) << FindContactByEmail << " Found contacts' list of size " << contacts.size();
    if (contacts.isEmpty()) {
        qCDebug(HALVANE_CALL) << FindContactByEmail << " no matches for " << email;
        return QContact();
    }
    return contacts.first();
}

void HVCall::openContactDetails(const QContact &contact)
{
    qCDebug(HALVANE_CALL) << "void HVCall::openContactDetails(const QtMobility::QContact&)";

    // The viewer is whatever contacts application answers this call.
    QString service = QStringLiteral("org.halvane.ContactCard");
    QString path = QStringLiteral("/org/halvane/ContactCard");
    QString interface = QStringLiteral("org.halvane.ContactCard");
    QString method = QStringLiteral("Show");
    Halvane::HVSettings settings;
    QString problem;
    if (Halvane::settingsFileIsSafe(settings.fileName(), &problem)) {
        settings.beginGroup(QStringLiteral("contacts"));
        service = settings.value(QStringLiteral("cardService"), service).toString();
        path = settings.value(QStringLiteral("cardPath"), path).toString();
        interface = settings.value(QStringLiteral("cardInterface"), interface).toString();
        method = settings.value(QStringLiteral("cardMethod"), method).toString();
    } else {
        qWarning() << "HVCall: settings refused, the default contact card viewer is asked:" << problem;
    }

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qWarning() << "HVCall: no session bus: the contact's card cannot be opened";
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call << QString::fromUtf8(contact.id().localId()) << QString::fromUtf8(vCard(contact));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [service](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError())
            qWarning() << "HVCall: the contact card viewer" << service << "is unavailable:" << w->error().message();
    });
}
