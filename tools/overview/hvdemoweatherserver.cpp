// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvdemoweatherserver.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>
#include <QtCore/QUrlQuery>
#include <QtNetwork/QTcpSocket>

namespace Halvane {

namespace {

// A request line and headers; anything longer is no request of ours.
const int MaxRequestSize = 16 * 1024;

} // namespace

HVDemoWeatherServer::HVDemoWeatherServer(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(directory)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool HVDemoWeatherServer::start()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QString HVDemoWeatherServer::host() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_server.serverPort());
}

void HVDemoWeatherServer::readRequest(QTcpSocket *socket)
{
    if (socket->property("answered").toBool())
        return;
    const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    const int end = request.indexOf("\r\n\r\n");
    if (end < 0) {
        if (request.size() > MaxRequestSize)
            reply(socket, 400, "Bad Request", QByteArray());
        else
            socket->setProperty("request", request);
        return;
    }

    // "GET /widget/...?location=cityId:<id>&metric=1 HTTP/1.1"
    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    if (requestLine.size() != 3 || requestLine.at(0) != "GET") {
        reply(socket, 400, "Bad Request", QByteArray());
        return;
    }
    const QUrl url(QStringLiteral("http://localhost") + QString::fromLatin1(requestLine.at(1)));
    QString cityId = QUrlQuery(url).queryItemValue(QStringLiteral("location"), QUrl::FullyDecoded);
    cityId.remove(QStringLiteral("cityId:"));

    // Ids name files here: nothing that could leave the directory.
    static const QRegularExpression safeId(QStringLiteral("^[A-Za-z0-9_-]+$"));
    QFile file(m_directory + QLatin1Char('/') + cityId + QLatin1String(".xml"));
    if (!safeId.match(cityId).hasMatch() || !file.open(QIODevice::ReadOnly)) {
        reply(socket, 404, "Not Found", QByteArrayLiteral("<html><body>No forecast for this city</body></html>"));
        return;
    }
    reply(socket, 200, "OK", file.readAll());
}

void HVDemoWeatherServer::reply(QTcpSocket *socket, int status, const QByteArray &reason, const QByteArray &body)
{
    socket->setProperty("answered", true);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
                  + "\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " + QByteArray::number(body.size())
                  + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace Halvane
