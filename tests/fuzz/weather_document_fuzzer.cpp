// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// The weather source's forecast reader: a reply body, as the forecast server
// sends it, handed to the source twice (a new item, then the same one again).
#include <QtCore/QFile>
#include <QtNetwork/QNetworkAccessManager>
#include <QtNetwork/QNetworkReply>

#include <cstring>

#include "fuzzsupport.h"
#include "weatherservice.h"
#include "weatherservicesource.h"

using namespace Halvane;

namespace {

// A finished reply holding the given body.
class CannedReply : public QNetworkReply
{
public:
    CannedReply(const QByteArray &body, QNetworkReply::NetworkError error)
        : m_body(body)
    {
        setUrl(QUrl(QStringLiteral("http://127.0.0.1/widget/lumaforecastid/weather-data.asp?location=cityId:1&metric=1")));
        if (error != QNetworkReply::NoError)
            setError(error, QStringLiteral("canned error"));
        setFinished(true);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    void abort() override {}
    qint64 bytesAvailable() const override { return m_body.size() - m_offset + QIODevice::bytesAvailable(); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = qMin(maxSize, qint64(m_body.size()) - m_offset);
        if (count <= 0)
            return m_offset >= m_body.size() ? -1 : 0;
        memcpy(data, m_body.constData() + m_offset, size_t(count));
        m_offset += count;
        return count;
    }

private:
    QByteArray m_body;
    qint64 m_offset = 0;
};

void writeSettings()
{
    QDir().mkpath(HVFuzz::scratchDirectory() + QStringLiteral("/config/halvane"));
    QFile file(HVFuzz::scratchDirectory() + QStringLiteral("/config/halvane/halvane.conf"));
    if (!file.open(QIODevice::WriteOnly))
        abort();
    file.write("[General]\ncities=\"cityId:1,Alpha,x,y,default;cityId:2,Beta,x,y\"\n");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(HVFuzz::scratchDirectory() + QStringLiteral("/config")));
    // Nothing may leave the machine: the source is kept off the network below.
    qputenv("HALVANE_WEATHER_HOST", "127.0.0.1:9");
    HVFuzz::application();
    QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
    QCoreApplication::setApplicationName(QStringLiteral("halvane"));
    writeSettings();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));

    // One source for the run (creating its network manager is slow); what an
    // input leaves behind is taken back below.
    static WeatherService *service = nullptr;
    if (!service) {
        service = new WeatherService;
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        service->source()->findChild<QNetworkAccessManager *>()->setNetworkAccessible(
            QNetworkAccessManager::NotAccessible);
        QT_WARNING_POP
    }
    auto *source = static_cast<WeatherServiceSource *>(service->source());
    source->offlineInit();

    // The first byte of an error reply's body is as likely as any other.
    const auto error = !body.isEmpty() && (body.at(0) & 0x80) ? QNetworkReply::ContentNotFoundError
                                                              : QNetworkReply::NoError;
    for (int round = 0; round < 2; ++round) {
        auto *reply = new CannedReply(body, error);
        source->replyFinished(reply);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    const QList<HVItem> items = source->retrieveItemList(QDateTime(), QDateTime());
    if (items.size() > 3)
        abort(); // two cities, and at most the one forecast beside them
    // Back to the two placeholders of the settings.
    for (const HVItem &item : items)
        source->removeCity(HVWeather(item).cityId());
    return 0;
}
