// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVLOCALONLYNETWORKACCESSMANAGERFACTORY_H
#define HVLOCALONLYNETWORKACCESSMANAGERFACTORY_H

#include <QtQml/QQmlNetworkAccessManagerFactory>

namespace Halvane {

// Network access for QML that reaches local files and resources only: an image
// or style sheet an e-mail or feed names on a server is never loaded.
class HVLocalOnlyNetworkAccessManagerFactory : public QQmlNetworkAccessManagerFactory
{
public:
    QNetworkAccessManager *create(QObject *parent) override;
};

} // namespace Halvane

#endif // HVLOCALONLYNETWORKACCESSMANAGERFACTORY_H
