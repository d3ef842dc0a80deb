// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "forecastserver.h"

#include <QtCore/QUrlQuery>
#include <QtNetwork/QTcpSocket>

ForecastServer::ForecastServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool ForecastServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QString ForecastServer::host() const
{
    return QStringLiteral("127.0.0.1:") + QString::number(m_server.serverPort());
}

void ForecastServer::setResponse(const QString &cityId, int status, const QByteArray &body)
{
    m_responses.insert(cityId, Response{status, body});
}

void ForecastServer::hold(const QString &cityId)
{
    m_held.insert(cityId);
}

void ForecastServer::release(const QString &cityId)
{
    m_held.remove(cityId);
    const auto waiting = m_waiting;
    m_waiting.clear();
    for (const auto &entry : waiting) {
        if (entry.second == cityId) {
            if (entry.first)
                answer(entry.first, cityId);
        }
        else
            m_waiting.append(entry);
    }
}

QStringList ForecastServer::requestedIds() const
{
    QStringList ids;
    for (const QUrl &url : m_requests)
        ids.append(requestedCityId(url));
    return ids;
}

QString requestedCityId(const QUrl &url)
{
    QString location = QUrlQuery(url).queryItemValue(QStringLiteral("location"), QUrl::FullyDecoded);
    return location.remove(QStringLiteral("cityId:"));
}

void ForecastServer::readRequest(QTcpSocket *socket)
{
    if (socket->property("answered").toBool())
        return;
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    const int end = request.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    socket->setProperty("answered", true);

    const QList<QByteArray> lines = request.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    QByteArray hostHeader;
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("host:"))
            hostHeader = line.mid(5).trimmed();
    }
    const QUrl url(QStringLiteral("http://") + QString::fromLatin1(hostHeader)
                       + QString::fromLatin1(requestLine.value(1)),
                   QUrl::StrictMode);
    m_requests.append(url);
    const QString cityId = requestedCityId(url);
    if (m_held.contains(cityId))
        m_waiting.append({socket, cityId});
    else
        answer(socket, cityId);
    Q_EMIT requested(url);
}

void ForecastServer::answer(QTcpSocket *socket, const QString &cityId)
{
    Response response{404, QByteArrayLiteral("<html><body><h1>Not Found</h1></body></html>")};
    if (m_responses.contains(cityId))
        response = m_responses.value(cityId);
    // A redirect's body is where it points.
    const bool redirect = response.status >= 300 && response.status < 400;
    const QByteArray body = redirect ? QByteArray() : response.body;
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(response.status)
        + (response.status == 200 ? " OK" : " Error") + "\r\nContent-Type: text/xml\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n"
        + (redirect ? "Location: " + response.body + "\r\n" : QByteArray()) + "\r\n";
    socket->write(reply);
    socket->write(body);
    socket->disconnectFromHost();
}

static QString block(const QString &name, const Forecast &forecast)
{
    return QStringLiteral("      <%1>\n"
                          "        <txtshort>%2</txtshort>\n"
                          "        <weathericon>%3</weathericon>\n"
                          "        <hightemperature>%4</hightemperature>\n"
                          "        <lowtemperature>%5</lowtemperature>\n"
                          "        <windspeed>%6</windspeed>\n"
                          "        <winddirection>%7</winddirection>\n"
                          "        <rainamount>0</rainamount>\n"
                          "      </%1>\n")
        .arg(name, forecast.description, forecast.icon, forecast.high, forecast.low, forecast.wind,
             forecast.direction);
}

QByteArray forecastDocument(const ForecastPlace &place, const Forecast &day, const Forecast &night)
{
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                        "<adc_database>\n"
                                        "  <local>\n"
                                        "    <city>%1</city>\n"
                                        "    <cityId>%2</cityId>\n"
                                        "    <lat>%3</lat>\n"
                                        "    <lon>%4</lon>\n"
                                        "    <time>%5</time>\n"
                                        "    <currentGmtOffset>%6</currentGmtOffset>\n"
                                        "  </local>\n"
                                        "  <forecast>\n"
                                        "    <day number=\"1\">\n"
                                        "      <obsdate>%7</obsdate>\n")
                             .arg(place.city, place.cityId.toHtmlEscaped(), place.latitude, place.longitude,
                                  place.time, place.gmtOffset, place.date)
        + block(QStringLiteral("daytime"), day) + block(QStringLiteral("nighttime"), night)
        + QStringLiteral("    </day>\n  </forecast>\n</adc_database>\n");
    return text.toUtf8();
}
