// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qcontacttrackerengine.h"

#include <QtContacts/QContactDetailFilter>
#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactEmailAddress>
#include <QtContacts/QContactFetchByIdRequest>
#include <QtContacts/QContactFetchRequest>
#include <QtContacts/QContactGuid>
#include <QtContacts/QContactIdFetchRequest>
#include <QtContacts/QContactIdFilter>
#include <QtContacts/QContactName>
#include <QtContacts/QContactNickname>
#include <QtContacts/QContactOrganization>
#include <QtContacts/QContactPhoneNumber>
#include <QtContacts/QContactRemoveRequest>
#include <QtContacts/QContactSaveRequest>
#include <QtCore/QCryptographicHash>
#include <QtCore/QDebug>
#include <QtCore/QUrl>
#include <QtCore/QUuid>

#include <memory>

#include "qsparqlconnection.h"
#include "qsparqlquery.h"
#include "qsparqlresult.h"

using namespace QtContacts;

const QString QContactTrackerEngine::EngineName = QStringLiteral("tracker");

namespace {

// The contact the nepomuk ontology ships for the device's owner carries no data.
const QString OwnerContact = QStringLiteral("http://tracker.api.gnome.org/ontology/v3/nco#default-contact-me");

std::unique_ptr<QSparqlResult> exec(QSparqlConnection &connection, const QSparqlQuery &query,
                                    QContactManager::Error *error)
{
    std::unique_ptr<QSparqlResult> result(connection.exec(query));
    if (result->hasError()) {
        qWarning() << "contacts: Tracker query failed:" << result->lastError().message();
        *error = QContactManager::UnspecifiedError;
    }
    return result;
}

// A filter on one field of one detail, matched in one way.
bool isDetailFilter(const QContactFilter &filter, QContactDetail::DetailType type, int field,
                    QContactFilter::MatchFlags flags)
{
    if (filter.type() != QContactFilter::ContactDetailFilter)
        return false;
    const QContactDetailFilter detailFilter(filter);
    return detailFilter.detailType() == type && detailFilter.detailField() == field && detailFilter.matchFlags() == flags;
}

bool isExactEmailFilter(const QContactFilter &filter)
{
    return isDetailFilter(filter, QContactEmailAddress::Type, QContactEmailAddress::FieldEmailAddress,
                          QContactFilter::MatchExactly);
}

// A number as QtContacts matches phone numbers: by its last digits, so that
// "+33 6 12 34 56 78" and "06 12 34 56 78" are candidates for one another.
bool isPhoneNumberFilter(const QContactFilter &filter)
{
    return isDetailFilter(filter, QContactPhoneNumber::Type, QContactPhoneNumber::FieldNumber,
                          QContactFilter::MatchPhoneNumber);
}

QString lastDigits(const QString &number)
{
    // Digits of any script; a tel: URI's parameters (";ext=5") are no part
    // of the number.
    QString digits;
    for (const QChar c : number.leftRef(number.indexOf(QLatin1Char(';')))) {
        if (c.isDigit())
            digits.append(QLatin1Char(char('0' + c.digitValue())));
    }
    return digits.right(7);
}

// The name a card gives as written (FN), else its nickname or its company's.
QString fullName(const QContact &contact)
{
    const QString label = contact.detail<QContactDisplayLabel>().label().trimmed();
    if (!label.isEmpty())
        return label;
    const QString nickname = contact.detail<QContactNickname>().nickname().trimmed();
    return nickname.isEmpty() ? contact.detail<QContactOrganization>().name().trimmed() : nickname;
}

// A resource for a new or imported contact: the same vCard gives the same
// resource (by its UID, else by its name and first address), so importing a
// file again updates instead of doubling.
QString newResource(const QContact &contact)
{
    const QString guid = contact.detail<QContactGuid>().guid();
    if (guid.isEmpty()) {
        const QContactName name = contact.detail<QContactName>();
        QStringList parts{name.firstName(), name.lastName(), contact.detail<QContactEmailAddress>().emailAddress(),
                          contact.detail<QContactPhoneNumber>().number()};
        // A card known by its formatted name alone ("Plumber", "Mum") is not
        // one with every other such card that shares its first number.
        if (name.firstName().isEmpty() && name.lastName().isEmpty())
            parts.append(fullName(contact));
        const QByteArray key = parts.join(QLatin1Char('\n')).toUtf8();
        return QStringLiteral("urn:halvane:contact:")
            + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex());
    }
    const QUuid uuid(guid.startsWith(QLatin1String("urn:uuid:")) ? guid.mid(9) : guid);
    if (!uuid.isNull())
        return QStringLiteral("urn:uuid:") + uuid.toString(QUuid::WithoutBraces);
    return QStringLiteral("urn:halvane:contact:") + QString::fromLatin1(QUrl::toPercentEncoding(guid));
}

// Addresses and numbers are unique in the store: contacts share their resources.
QUrl addressResource(const QString &prefix, const QString &value)
{
    return QUrl(prefix + QString::fromLatin1(QUrl::toPercentEncoding(value)));
}

} // namespace

QContactTrackerEngine::QContactTrackerEngine()
    : m_connection(std::make_unique<QSparqlConnection>(QStringLiteral("QTRACKER")))
{
}

QContactTrackerEngine::~QContactTrackerEngine() = default;

QString QContactTrackerEngine::managerName() const
{
    return EngineName;
}

int QContactTrackerEngine::managerVersion() const
{
    return 1;
}

QString QContactTrackerEngine::resourceOf(const QContactId &id)
{
    return QString::fromUtf8(id.localId());
}

QContactId QContactTrackerEngine::idOf(const QString &resource) const
{
    return QContactId(managerUri(), resource.toUtf8());
}

bool QContactTrackerEngine::isFilterSupported(const QContactFilter &filter) const
{
    switch (filter.type()) {
    case QContactFilter::DefaultFilter:
    case QContactFilter::IdFilter:
        return true;
    default:
        return isExactEmailFilter(filter) || isPhoneNumberFilter(filter);
    }
}

QList<QContactType::TypeValues> QContactTrackerEngine::supportedContactTypes() const
{
    return {QContactType::TypeContact};
}

QList<QContactDetail::DetailType> QContactTrackerEngine::supportedContactDetailTypes() const
{
    return {QContactDetail::TypeName, QContactDetail::TypeEmailAddress, QContactDetail::TypePhoneNumber,
            QContactDetail::TypeGuid};
}

QStringList QContactTrackerEngine::resources(const QContactFilter &filter, QContactManager::Error *error) const
{
    *error = QContactManager::NoError;
    QStringList list;
    if (filter.type() == QContactFilter::IdFilter) {
        const QList<QContactId> ids = QContactIdFilter(filter).ids();
        for (const QContactId &id : ids) {
            QSparqlQuery ask(QStringLiteral("ASK { ?:contact a nco:PersonContact }"), QSparqlQuery::AskStatement);
            ask.bindValue(QStringLiteral("contact"), QUrl(resourceOf(id)));
            if (exec(*m_connection, ask, error)->boolValue())
                list.append(resourceOf(id));
        }
        return list;
    }
    if (!isFilterSupported(filter)) {
        *error = QContactManager::NotSupportedError;
        return list;
    }

    if (isPhoneNumberFilter(filter)) {
        // Numbers are written in every way: compared here, not in SPARQL.
        const QString wanted = lastDigits(QContactDetailFilter(filter).value().toString());
        QSparqlQuery numbers(QStringLiteral("SELECT ?c ?n WHERE { ?c a nco:PersonContact ; nco:hasPhoneNumber ?p . "
                                            "?p nco:phoneNumber ?n FILTER(?c != ?:owner) } ORDER BY tracker:id(?c)"));
        numbers.bindValue(QStringLiteral("owner"), QUrl(OwnerContact));
        auto result = exec(*m_connection, numbers, error);
        while (!wanted.isEmpty() && result->next()) {
            const QString contact = result->value(0).toUrl().toString();
            if (lastDigits(result->value(1).toString()) == wanted && !list.contains(contact))
                list.append(contact);
        }
        return list;
    }
    QSparqlQuery query;
    if (filter.type() == QContactFilter::DefaultFilter) {
        query.setQuery(QStringLiteral("SELECT ?c WHERE { ?c a nco:PersonContact . FILTER(?c != ?:owner) } "
                                      "ORDER BY tracker:id(?c)"));
        query.bindValue(QStringLiteral("owner"), QUrl(OwnerContact));
    } else {
        // Addresses are written in any case ("Dad@Example.ORG").
        query.setQuery(QStringLiteral("SELECT DISTINCT ?c WHERE { ?c a nco:PersonContact ; nco:hasEmailAddress ?e . "
                                      "?e nco:emailAddress ?a FILTER (LCASE(?a) = LCASE(?:email)) } ORDER BY tracker:id(?c)"));
        query.bindValue(QStringLiteral("email"), QContactDetailFilter(filter).value().toString().trimmed());
    }
    auto result = exec(*m_connection, query, error);
    while (result->next())
        list.append(result->value(0).toUrl().toString());
    return list;
}

QContact QContactTrackerEngine::load(const QString &resource, QContactManager::Error *error) const
{
    QContact contact;
    contact.setId(idOf(resource));
    const QUrl subject(resource);

    QSparqlQuery names(QStringLiteral("SELECT ?given ?family ?full WHERE { ?:c a nco:PersonContact . "
                                      "OPTIONAL { ?:c nco:nameGiven ?given } OPTIONAL { ?:c nco:nameFamily ?family } "
                                      "OPTIONAL { ?:c nco:fullname ?full } }"));
    names.bindValue(QStringLiteral("c"), subject);
    auto nameResult = exec(*m_connection, names, error);
    if (nameResult->next()) {
        QContactName name;
        name.setFirstName(nameResult->value(0).toString());
        name.setLastName(nameResult->value(1).toString());
        contact.saveDetail(&name);
        QContactDisplayLabel label;
        label.setLabel(nameResult->value(2).toString());
        if (!label.label().isEmpty())
            contact.saveDetail(&label);
    }

    QSparqlQuery emails(QStringLiteral("SELECT ?address WHERE { ?:c nco:hasEmailAddress ?e . "
                                       "?e nco:emailAddress ?address } ORDER BY tracker:id(?e)"));
    emails.bindValue(QStringLiteral("c"), subject);
    auto emailResult = exec(*m_connection, emails, error);
    while (emailResult->next()) {
        QContactEmailAddress email;
        email.setEmailAddress(emailResult->value(0).toString());
        contact.saveDetail(&email);
    }

    QSparqlQuery phones(QStringLiteral("SELECT ?number WHERE { ?:c nco:hasPhoneNumber ?p . "
                                       "?p nco:phoneNumber ?number } ORDER BY tracker:id(?p)"));
    phones.bindValue(QStringLiteral("c"), subject);
    auto phoneResult = exec(*m_connection, phones, error);
    while (phoneResult->next()) {
        QContactPhoneNumber phone;
        phone.setNumber(phoneResult->value(0).toString());
        contact.saveDetail(&phone);
    }

    QContactGuid guid;
    guid.setGuid(resource);
    contact.saveDetail(&guid);
    return contact;
}

QList<QContactId> QContactTrackerEngine::contactIds(const QContactFilter &filter,
                                                    const QList<QContactSortOrder> &sortOrders,
                                                    QContactManager::Error *error) const
{
    Q_UNUSED(sortOrders)
    QList<QContactId> ids;
    const QStringList list = resources(filter, error);
    for (const QString &resource : list)
        ids.append(idOf(resource));
    return ids;
}

QList<QContact> QContactTrackerEngine::contacts(const QContactFilter &filter,
                                                const QList<QContactSortOrder> &sortOrders,
                                                const QContactFetchHint &fetchHint,
                                                QContactManager::Error *error) const
{
    Q_UNUSED(sortOrders)
    Q_UNUSED(fetchHint)
    const QStringList found = resources(filter, error);
    if (found.size() > 1)
        return loadMany(found, error);
    QList<QContact> list;
    for (const QString &resource : found)
        list.append(load(resource, error));
    return list;
}

QList<QContact> QContactTrackerEngine::loadMany(const QStringList &resources, QContactManager::Error *error) const
{
    // Each contact's own queries took time in proportion to the store: an
    // address book of 5,000 listed in half a minute.
    QHash<QString, QContact> byResource;
    for (const QString &resource : resources) {
        QContact contact;
        contact.setId(idOf(resource));
        byResource.insert(resource, contact);
    }
    const auto each = [this, error, &byResource](const QString &text, auto fill) {
        auto result = exec(*m_connection, QSparqlQuery(text), error);
        while (result->next()) {
            const auto it = byResource.find(result->value(0).toUrl().toString());
            if (it != byResource.end())
                fill(*it, *result);
        }
    };
    each(QStringLiteral("SELECT ?c ?given ?family ?full WHERE { ?c a nco:PersonContact . "
                        "OPTIONAL { ?c nco:nameGiven ?given } OPTIONAL { ?c nco:nameFamily ?family } "
                        "OPTIONAL { ?c nco:fullname ?full } }"),
         [](QContact &contact, const QSparqlResult &row) {
             QContactName name;
             name.setFirstName(row.value(1).toString());
             name.setLastName(row.value(2).toString());
             contact.saveDetail(&name);
             QContactDisplayLabel label;
             label.setLabel(row.value(3).toString());
             if (!label.label().isEmpty())
                 contact.saveDetail(&label);
         });
    // Details of one value, the query's second column. Each row makes its
    // own detail: copies of one would share its key and replace each other.
    const auto eachValue = [&each](const QString &text, auto type, int field) {
        each(text, [field](QContact &contact, const QSparqlResult &row) {
            decltype(type) detail;
            detail.setValue(field, row.value(1).toString());
            contact.saveDetail(&detail);
        });
    };
    eachValue(QStringLiteral("SELECT ?c ?address WHERE { ?c a nco:PersonContact ; nco:hasEmailAddress ?e . "
                             "?e nco:emailAddress ?address } ORDER BY tracker:id(?e)"),
              QContactEmailAddress(), QContactEmailAddress::FieldEmailAddress);
    eachValue(QStringLiteral("SELECT ?c ?number WHERE { ?c a nco:PersonContact ; nco:hasPhoneNumber ?p . "
                             "?p nco:phoneNumber ?number } ORDER BY tracker:id(?p)"),
              QContactPhoneNumber(), QContactPhoneNumber::FieldNumber);
    QList<QContact> list;
    list.reserve(resources.size());
    for (const QString &resource : resources) {
        QContact contact = byResource.value(resource);
        QContactGuid guid;
        guid.setGuid(resource);
        contact.saveDetail(&guid);
        list.append(contact);
    }
    return list;
}

QList<QContact> QContactTrackerEngine::contacts(const QList<QContactId> &contactIds,
                                                const QContactFetchHint &fetchHint,
                                                QMap<int, QContactManager::Error> *errorMap,
                                                QContactManager::Error *error) const
{
    QList<QContact> list;
    *error = QContactManager::NoError;
    for (int i = 0; i < contactIds.size(); ++i) {
        QContactManager::Error itemError = QContactManager::NoError;
        list.append(contact(contactIds.at(i), fetchHint, &itemError));
        if (itemError != QContactManager::NoError) {
            if (errorMap)
                errorMap->insert(i, itemError);
            *error = itemError;
        }
    }
    return list;
}

QContact QContactTrackerEngine::contact(const QContactId &contactId, const QContactFetchHint &fetchHint,
                                        QContactManager::Error *error) const
{
    Q_UNUSED(fetchHint)
    QContactIdFilter filter;
    filter.setIds({contactId});
    if (resources(filter, error).isEmpty()) {
        *error = QContactManager::DoesNotExistError;
        return QContact();
    }
    return load(resourceOf(contactId), error);
}

bool QContactTrackerEngine::saveContact(QContact *contact, QContactManager::Error *error)
{
    *error = QContactManager::NoError;
    if (!contact) {
        *error = QContactManager::BadArgumentError;
        return false;
    }
    const bool ours = !contact->id().isNull() && contact->id().managerUri() == managerUri();
    const QString resource = ours ? resourceOf(contact->id()) : newResource(*contact);
    const QUrl subject(resource);

    // One update: the old contact goes, the new one comes.
    QString text = QStringLiteral(
        "DELETE { ?:c a rdfs:Resource } WHERE { ?:c a nco:PersonContact } ; "
        "INSERT DATA { ?:c a nco:PersonContact ; nco:nameGiven ?:given ; nco:nameFamily ?:family ; "
        "nco:fullname ?:full");
    const QList<QContactEmailAddress> emails = contact->details<QContactEmailAddress>();
    const QList<QContactPhoneNumber> phones = contact->details<QContactPhoneNumber>();
    for (int i = 0; i < emails.size(); ++i)
        text += QStringLiteral(" ; nco:hasEmailAddress ?:email%1").arg(i);
    for (int i = 0; i < phones.size(); ++i)
        text += QStringLiteral(" ; nco:hasPhoneNumber ?:phone%1").arg(i);
    text += QStringLiteral(" . ");
    for (int i = 0; i < emails.size(); ++i)
        text += QStringLiteral("?:email%1 a nco:EmailAddress ; nco:emailAddress ?:address%1 . ").arg(i);
    for (int i = 0; i < phones.size(); ++i)
        text += QStringLiteral("?:phone%1 a nco:PhoneNumber ; nco:phoneNumber ?:number%1 . ").arg(i);
    text += QStringLiteral("}");

    QSparqlQuery update(text, QSparqlQuery::InsertStatement);
    update.bindValue(QStringLiteral("c"), subject);
    const QContactName name = contact->detail<QContactName>();
    update.bindValue(QStringLiteral("given"), name.firstName());
    update.bindValue(QStringLiteral("family"), name.lastName());
    update.bindValue(QStringLiteral("full"), fullName(*contact));
    for (int i = 0; i < emails.size(); ++i) {
        update.bindValue(QStringLiteral("email%1").arg(i),
                         addressResource(QStringLiteral("mailto:"), emails.at(i).emailAddress()));
        update.bindValue(QStringLiteral("address%1").arg(i), emails.at(i).emailAddress());
    }
    for (int i = 0; i < phones.size(); ++i) {
        // vCard 4 writes a number as a tel: URI; it is matched and dialled
        // as the number alone.
        QString number = phones.at(i).number().trimmed();
        if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
            number = number.mid(4);
        update.bindValue(QStringLiteral("phone%1").arg(i), addressResource(QStringLiteral("urn:halvane:phone:"), number));
        update.bindValue(QStringLiteral("number%1").arg(i), number);
    }
    auto result = exec(*m_connection, update, error);
    if (result->hasError())
        return false;

    contact->setId(idOf(resource));
    if (ours)
        Q_EMIT contactsChanged({contact->id()}, {});
    else
        Q_EMIT contactsAdded({contact->id()});
    return true;
}

bool QContactTrackerEngine::saveContacts(QList<QContact> *contacts, QMap<int, QContactManager::Error> *errorMap,
                                         QContactManager::Error *error)
{
    *error = QContactManager::NoError;
    if (!contacts) {
        *error = QContactManager::BadArgumentError;
        return false;
    }
    for (int i = 0; i < contacts->size(); ++i) {
        QContactManager::Error itemError = QContactManager::NoError;
        if (!saveContact(&(*contacts)[i], &itemError)) {
            if (errorMap)
                errorMap->insert(i, itemError);
            *error = itemError;
        }
    }
    return *error == QContactManager::NoError;
}

bool QContactTrackerEngine::removeContact(const QContactId &contactId, QContactManager::Error *error)
{
    QContactIdFilter filter;
    filter.setIds({contactId});
    if (resources(filter, error).isEmpty()) {
        *error = QContactManager::DoesNotExistError;
        return false;
    }
    QSparqlQuery remove(QStringLiteral("DELETE { ?:c a rdfs:Resource } WHERE { ?:c a nco:PersonContact }"),
                        QSparqlQuery::DeleteStatement);
    remove.bindValue(QStringLiteral("c"), QUrl(resourceOf(contactId)));
    if (exec(*m_connection, remove, error)->hasError())
        return false;
    Q_EMIT contactsRemoved({contactId});
    return true;
}

bool QContactTrackerEngine::removeContacts(const QList<QContactId> &contactIds,
                                           QMap<int, QContactManager::Error> *errorMap, QContactManager::Error *error)
{
    *error = QContactManager::NoError;
    for (int i = 0; i < contactIds.size(); ++i) {
        QContactManager::Error itemError = QContactManager::NoError;
        if (!removeContact(contactIds.at(i), &itemError)) {
            if (errorMap)
                errorMap->insert(i, itemError);
            *error = itemError;
        }
    }
    return *error == QContactManager::NoError;
}

bool QContactTrackerEngine::startRequest(QContactAbstractRequest *request)
{
    QContactManager::Error error = QContactManager::NoError;
    updateRequestState(request, QContactAbstractRequest::ActiveState);
    switch (request->type()) {
    case QContactAbstractRequest::ContactFetchRequest: {
        auto *fetch = static_cast<QContactFetchRequest *>(request);
        const QList<QContact> found = contacts(fetch->filter(), fetch->sorting(), fetch->fetchHint(), &error);
        updateContactFetchRequest(fetch, found, error, QContactAbstractRequest::FinishedState);
        return true;
    }
    case QContactAbstractRequest::ContactIdFetchRequest: {
        auto *fetch = static_cast<QContactIdFetchRequest *>(request);
        const QList<QContactId> found = contactIds(fetch->filter(), fetch->sorting(), &error);
        updateContactIdFetchRequest(fetch, found, error, QContactAbstractRequest::FinishedState);
        return true;
    }
    case QContactAbstractRequest::ContactFetchByIdRequest: {
        auto *fetch = static_cast<QContactFetchByIdRequest *>(request);
        QMap<int, QContactManager::Error> errors;
        const QList<QContact> found = contacts(fetch->contactIds(), fetch->fetchHint(), &errors, &error);
        updateContactFetchByIdRequest(fetch, found, error, errors, QContactAbstractRequest::FinishedState);
        return true;
    }
    default:
        updateRequestState(request, QContactAbstractRequest::FinishedState);
        return false;
    }
}

bool QContactTrackerEngine::cancelRequest(QContactAbstractRequest *request)
{
    Q_UNUSED(request)
    // Requests finish inside startRequest(); there is never one to cancel.
    return false;
}

bool QContactTrackerEngine::waitForRequestFinished(QContactAbstractRequest *request, int msecs)
{
    Q_UNUSED(msecs)
    return request->isFinished();
}
