// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qcontacttrackerenginefactory.h"

#include "qcontacttrackerengine.h"

using namespace QtContacts;

QContactManagerEngine *QContactTrackerEngineFactory::engine(const QMap<QString, QString> &parameters,
                                                            QContactManager::Error *error)
{
    Q_UNUSED(parameters)
    *error = QContactManager::NoError;
    return new QContactTrackerEngine;
}

QString QContactTrackerEngineFactory::managerName() const
{
    return QContactTrackerEngine::EngineName;
}
