// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QCONTACTTRACKERENGINE_H
#define QCONTACTTRACKERENGINE_H

#include <QtContacts/QContactManagerEngine>

#include <memory>

class QSparqlConnection;

/*
 * Contacts as nco:PersonContact resources of the Tracker store: given and
 * family name, e-mail addresses and phone numbers, in the order they were
 * stored. Filtering supports the whole list and an exact e-mail address.
 * The store is the one the QtSparql layer connects to.
 */
class QContactTrackerEngine : public QtContacts::QContactManagerEngine
{
    Q_OBJECT

public:
    static const QString EngineName;

    QContactTrackerEngine();
    ~QContactTrackerEngine() override;

    QString managerName() const override;
    int managerVersion() const override;

    QList<QtContacts::QContactId> contactIds(const QtContacts::QContactFilter &filter,
                                             const QList<QtContacts::QContactSortOrder> &sortOrders,
                                             QtContacts::QContactManager::Error *error) const override;
    QList<QtContacts::QContact> contacts(const QtContacts::QContactFilter &filter,
                                         const QList<QtContacts::QContactSortOrder> &sortOrders,
                                         const QtContacts::QContactFetchHint &fetchHint,
                                         QtContacts::QContactManager::Error *error) const override;
    QList<QtContacts::QContact> contacts(const QList<QtContacts::QContactId> &contactIds,
                                         const QtContacts::QContactFetchHint &fetchHint,
                                         QMap<int, QtContacts::QContactManager::Error> *errorMap,
                                         QtContacts::QContactManager::Error *error) const override;
    QtContacts::QContact contact(const QtContacts::QContactId &contactId,
                                 const QtContacts::QContactFetchHint &fetchHint,
                                 QtContacts::QContactManager::Error *error) const override;

    bool saveContact(QtContacts::QContact *contact, QtContacts::QContactManager::Error *error) override;
    bool saveContacts(QList<QtContacts::QContact> *contacts, QMap<int, QtContacts::QContactManager::Error> *errorMap,
                      QtContacts::QContactManager::Error *error) override;
    bool removeContact(const QtContacts::QContactId &contactId, QtContacts::QContactManager::Error *error) override;
    bool removeContacts(const QList<QtContacts::QContactId> &contactIds,
                        QMap<int, QtContacts::QContactManager::Error> *errorMap,
                        QtContacts::QContactManager::Error *error) override;

    bool isFilterSupported(const QtContacts::QContactFilter &filter) const override;
    QList<QtContacts::QContactType::TypeValues> supportedContactTypes() const override;
    QList<QtContacts::QContactDetail::DetailType> supportedContactDetailTypes() const override;

    // Fetch requests (as QML models make them) are answered at once.
    bool startRequest(QtContacts::QContactAbstractRequest *request) override;
    bool cancelRequest(QtContacts::QContactAbstractRequest *request) override;
    bool waitForRequestFinished(QtContacts::QContactAbstractRequest *request, int msecs) override;

    // The Tracker resource behind a contact id, and back.
    static QString resourceOf(const QtContacts::QContactId &id);
    QtContacts::QContactId idOf(const QString &resource) const;

private:
    QStringList resources(const QtContacts::QContactFilter &filter, QtContacts::QContactManager::Error *error) const;
    QtContacts::QContact load(const QString &resource, QtContacts::QContactManager::Error *error) const;
    // The given contacts in three queries for all, not three for each.
    QList<QtContacts::QContact> loadMany(const QStringList &resources, QtContacts::QContactManager::Error *error) const;

    std::unique_ptr<QSparqlConnection> m_connection;
};

#endif // QCONTACTTRACKERENGINE_H
