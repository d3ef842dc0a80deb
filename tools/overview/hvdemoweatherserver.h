// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVDEMOWEATHERSERVER_H
#define HVDEMOWEATHERSERVER_H

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtNetwork/QTcpServer>

class QTcpSocket;

namespace Halvane {

// Stands in for the forecast provider during the demo: answers the weather
// plug-in's requests on loopback with the sample document of the requested
// city, "<directory>/<city id>.xml", and 404 for any other city.
class HVDemoWeatherServer : public QObject
{
    Q_OBJECT

public:
    explicit HVDemoWeatherServer(const QString &directory, QObject *parent = nullptr);

    // Listens on a free loopback port; false with errorString() on failure.
    bool start();
    QString errorString() const { return m_server.errorString(); }
    // "127.0.0.1:<port>", the value for HALVANE_WEATHER_HOST.
    QString host() const;

private:
    void readRequest(QTcpSocket *socket);
    void reply(QTcpSocket *socket, int status, const QByteArray &reason, const QByteArray &body);

    QString m_directory;
    QTcpServer m_server;
};

} // namespace Halvane

#endif // HVDEMOWEATHERSERVER_H
