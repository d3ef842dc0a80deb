// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvlocalonlynetworkaccessmanagerfactory.h"
#include "halvaneqml_debug.h"

#include <QtCore/QDebug>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkRequest>

namespace Halvane {

namespace {

class LocalOnlyNetworkAccessManager : public QNetworkAccessManager
{
public:
    using QNetworkAccessManager::QNetworkAccessManager;

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *outgoingData) override
    {
        const QString scheme = request.url().scheme();
        if (scheme == QLatin1String("file") || scheme == QLatin1String("qrc") || scheme == QLatin1String("data"))
            return QNetworkAccessManager::createRequest(op, request, outgoingData);
        qCDebug(HALVANE_QML) << "Remote content not loaded:" << request.url().toDisplayString();
        // An empty URL fails at once with "protocol unknown".
        return QNetworkAccessManager::createRequest(op, QNetworkRequest(QUrl()), outgoingData);
    }
};

} // namespace

QNetworkAccessManager *HVLocalOnlyNetworkAccessManagerFactory::create(QObject *parent)
{
    return new LocalOnlyNetworkAccessManager(parent);
}

} // namespace Halvane
