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
