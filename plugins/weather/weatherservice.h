// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef WEATHERSERVICE_H
#define WEATHERSERVICE_H

#include "hvservice.h"

namespace Halvane {

class WeatherServiceSource;

// The service "weather"; all the work is done by its source.
class WeatherService : public HVService
{
    Q_OBJECT

public:
    WeatherService();
    ~WeatherService() override;

    QString service() const override;
    bool hasSource() const override;
    HVServiceSource *source() const override;

public Q_SLOTS:
    bool cancelOperation();

private:
    QString serviceName;
    WeatherServiceSource *m_source;
};

} // namespace Halvane

#endif // WEATHERSERVICE_H
