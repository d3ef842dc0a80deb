// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef FORECASTSERVER_H
#define FORECASTSERVER_H

#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QPointer>
#include <QtCore/QSet>
#include <QtCore/QUrl>
#include <QtNetwork/QTcpServer>

#include <QtNetwork/QTcpSocket>

// A forecast server on loopback: answers each request by the city id of its
// "location" query item, with the status and body set for that id (404 for
// unknown ids; a 3xx status points where its body says). Requests for held
// ids wait until released.
class ForecastServer : public QObject
{
    Q_OBJECT

public:
    explicit ForecastServer(QObject *parent = nullptr);

    bool listen();
    // "127.0.0.1:<port>"
    QString host() const;

    void setResponse(const QString &cityId, int status, const QByteArray &body);
    void setDocument(const QString &cityId, const QByteArray &body) { setResponse(cityId, 200, body); }
    void hold(const QString &cityId);
    void release(const QString &cityId);

    // Every request so far, as the full URL the client asked for.
    QList<QUrl> requests() const { return m_requests; }
    QStringList requestedIds() const;
    void clearRequests() { m_requests.clear(); }

Q_SIGNALS:
    void requested(const QUrl &url);

private:
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &cityId);

    struct Response
    {
        int status = 200;
        QByteArray body;
    };

    QTcpServer m_server;
    QHash<QString, Response> m_responses;
    QSet<QString> m_held;
    QList<QPair<QPointer<QTcpSocket>, QString>> m_waiting;
    QList<QUrl> m_requests;
};

// The city id a forecast request asks for.
QString requestedCityId(const QUrl &url);

// A forecast document in the provider's format.
struct Forecast
{
    QString description;
    QString icon;
    QString high;
    QString low;
    QString wind;
    QString direction;
};

struct ForecastPlace
{
    QString cityId;
    QString city;
    QString latitude;
    QString longitude;
    QString gmtOffset;
    QString date; // M/d/yyyy
    QString time; // hh:mm
};

QByteArray forecastDocument(const ForecastPlace &place, const Forecast &day, const Forecast &night);

#endif // FORECASTSERVER_H
