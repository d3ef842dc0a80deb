// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "mkcalenginefactory.h"

#include "mkcalengine.h"

using namespace QtOrganizer;

QOrganizerManagerEngine *MKCalEngineFactory::engine(const QMap<QString, QString> &parameters,
                                                    QOrganizerManager::Error *error)
{
    Q_UNUSED(parameters)
    *error = QOrganizerManager::NoError;
    return new MKCalEngine;
}

QString MKCalEngineFactory::managerName() const
{
    return MKCalEngine::EngineName;
}
