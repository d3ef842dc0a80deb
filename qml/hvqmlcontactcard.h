// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#ifndef HVQMLCONTACTCARD_H
#define HVQMLCONTACTCARD_H

#include <QtCore/QObject>
#include <QtCore/QVariantList>

namespace Halvane {

/*!
 * One contact read from a vCard (as the contact-card call carries it): its
 * name and its phone numbers, each a map with "number" and "label". A card
 * that cannot be read leaves valid false and says why in error.
 */
class HVQmlContactCard : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString contactId READ contactId WRITE setContactId NOTIFY contactIdChanged)
    Q_PROPERTY(QString vCard READ vCard WRITE setVCard NOTIFY cardChanged)
    Q_PROPERTY(bool valid READ isValid NOTIFY cardChanged)
    Q_PROPERTY(QString error READ error NOTIFY cardChanged)
    Q_PROPERTY(QString name READ name NOTIFY cardChanged)
    Q_PROPERTY(QVariantList numbers READ numbers NOTIFY cardChanged)

public:
    explicit HVQmlContactCard(QObject *parent = nullptr);

    QString contactId() const { return m_contactId; }
    void setContactId(const QString &id);
    QString vCard() const { return m_vCard; }
    void setVCard(const QString &text);
    bool isValid() const { return m_error.isEmpty() && !m_vCard.isNull(); }
    QString error() const { return m_error; }
    QString name() const { return m_name; }
    QVariantList numbers() const { return m_numbers; }

Q_SIGNALS:
    void contactIdChanged();
    void cardChanged();

private:
    QString m_contactId;
    QString m_vCard;
    QString m_error;
    QString m_name;
    QVariantList m_numbers;
};

} // namespace Halvane

#endif // HVQMLCONTACTCARD_H
