// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef MKCALENGINEFACTORY_H
#define MKCALENGINEFACTORY_H

#include <QtOrganizer/QOrganizerManagerEngineFactory>

// Makes the "mkcal" organizer engine; key and manager name are the same, since
// the organizer library finds engines by manager name.
class MKCalEngineFactory : public QtOrganizer::QOrganizerManagerEngineFactory
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QT_ORGANIZER_MANAGER_ENGINE_INTERFACE FILE "mkcal.json")

public:
    QtOrganizer::QOrganizerManagerEngine *engine(const QMap<QString, QString> &parameters,
                                                 QtOrganizer::QOrganizerManager::Error *error) override;
    QString managerName() const override;
};

#endif // MKCALENGINEFACTORY_H
