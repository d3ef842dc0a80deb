// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "eventservice.h"

#include "eventservicesource.h"

namespace Halvane {

static const QString ServiceName = QStringLiteral("event");

EventService::EventService()
    : m_source(new EventServiceSource(this))
{
}

EventService::~EventService()
{
    delete m_source;
}

QString EventService::service() const
{
    return ServiceName;
}

bool EventService::hasSource() const
{
    return true;
}

HVServiceSource *EventService::source() const
{
    return m_source;
}

bool EventService::cancelOperation()
{
    return true;
}

} // namespace Halvane
