// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QCONTACTTRACKERENGINEFACTORY_H
#define QCONTACTTRACKERENGINEFACTORY_H

#include <QtContacts/QContactManagerEngineFactory>

// The key and the manager name are the same: contacts looks plug-ins up by key.
class QContactTrackerEngineFactory : public QtContacts::QContactManagerEngineFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QT_CONTACT_MANAGER_ENGINE_INTERFACE FILE "tracker.json")

public:
    QtContacts::QContactManagerEngine *engine(const QMap<QString, QString> &parameters,
                                              QtContacts::QContactManager::Error *error) override;
    QString managerName() const override;
};

#endif // QCONTACTTRACKERENGINEFACTORY_H
