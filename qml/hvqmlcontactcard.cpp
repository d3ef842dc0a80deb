// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "hvqmlcontactcard.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>

#include <QtContacts/QContact>
#include <QtContacts/QContactDisplayLabel>
#include <QtContacts/QContactName>
#include <QtContacts/QContactNickname>
#include <QtContacts/QContactPhoneNumber>
#include <QtCore/QDebug>
#include <QtVersit/QVersitContactImporter>
#include <QtVersit/QVersitReader>

using namespace QtContacts;
using namespace QtVersit;

namespace Halvane {

namespace {

// A card is one contact; anything this large is not one.
constexpr int MaxCardSize = 1024 * 1024;

QString nameOf(const QContact &contact)
{
    const QString label = contact.detail<QContactDisplayLabel>().label().trimmed();
    if (!label.isEmpty())
        return label;
    const QContactName name = contact.detail<QContactName>();
    QStringList parts;
    for (const QString &part : {name.prefix(), name.firstName(), name.middleName(), name.lastName(), name.suffix()}) {
        if (!part.trimmed().isEmpty())
            parts.append(part.trimmed());
    }
    if (!parts.isEmpty())
        return parts.join(QLatin1Char(' '));
    return contact.detail<QContactNickname>().nickname().trimmed();
}

QString labelOf(const QContactPhoneNumber &phone)
{
    const QList<int> subTypes = phone.subTypes();
    if (subTypes.contains(QContactPhoneNumber::SubTypeMobile))
        //% "Mobile"
        return qtTrId("hv_app_card_mobile");
    if (subTypes.contains(QContactPhoneNumber::SubTypeFax))
        //% "Fax"
        return qtTrId("hv_app_card_fax");
    if (phone.contexts().contains(QContactDetail::ContextWork))
        //% "Work"
        return qtTrId("hv_app_card_work");
    if (phone.contexts().contains(QContactDetail::ContextHome))
        //% "Home"
        return qtTrId("hv_app_card_home");
    //% "Phone"
    return qtTrId("hv_app_card_phone");
}

} // namespace

HVQmlContactCard::HVQmlContactCard(QObject *parent)
    : QObject(parent)
{
}

void HVQmlContactCard::setContactId(const QString &id)
{
    if (id == m_contactId)
        return;
    m_contactId = id;
    Q_EMIT contactIdChanged();
}

void HVQmlContactCard::setVCard(const QString &text)
{
    m_vCard = text.isNull() ? QStringLiteral("") : text;
    m_error.clear();
    m_name.clear();
    m_numbers.clear();

    // vCard 4 may quote a parameter's values (TYPE="voice,cell"), which the
    // reader keeps as one unknown type.
    static const QRegularExpression quotedType(QStringLiteral(";TYPE=\"([^\"\r\n]*)\""),
                                               QRegularExpression::CaseInsensitiveOption);
    const QByteArray data = QString(text).replace(quotedType, QStringLiteral(";TYPE=\\1")).toUtf8();
    if (data.trimmed().isEmpty()) {
        m_error = QStringLiteral("the card is empty");
    } else if (data.size() > MaxCardSize) {
        m_error = QStringLiteral("the card is larger than %1 bytes").arg(MaxCardSize);
    } else {
        QVersitReader reader(data);
        reader.startReading();
        reader.waitForFinished();
        const QList<QVersitDocument> documents = reader.results();
        QVersitContactImporter importer;
        if (reader.error() != QVersitReader::NoError || documents.isEmpty())
            m_error = QStringLiteral("the card is not a vCard");
        else if (!importer.importDocuments(documents.mid(0, 1)) || importer.contacts().isEmpty())
            m_error = QStringLiteral("the card holds no contact");
        if (m_error.isEmpty()) {
            if (documents.size() > 1)
                qWarning() << "ContactCard: the card holds" << documents.size() << "contacts, the first is shown";
            const QContact contact = importer.contacts().constFirst();
            m_name = nameOf(contact);
            const QList<QContactPhoneNumber> phones = contact.details<QContactPhoneNumber>();
            for (const QContactPhoneNumber &phone : phones) {
                QString number = phone.number().trimmed();
                // A vCard 4 number is a URI: the number shown without it.
                if (number.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
                    number = QUrl::fromPercentEncoding(number.mid(4).toUtf8()).trimmed();
                if (!number.isEmpty())
                    m_numbers.append(QVariantMap{{QStringLiteral("number"), number},
                                                 {QStringLiteral("label"), labelOf(phone)}});
            }
        }
    }
    if (!m_error.isEmpty())
        qWarning() << "ContactCard: cannot show the card:" << m_error;
    Q_EMIT cardChanged();
}

} // namespace Halvane
