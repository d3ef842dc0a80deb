// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "smsservice.h"

#include "smsservicesource.h"

namespace Halvane {

SmsService::SmsService()
    : m_source(new SmsServiceSource(this))
{
}

SmsService::~SmsService()
{
    delete m_source;
}

QString SmsService::service() const
{
    return QStringLiteral("sms");
}

bool SmsService::hasSource() const
{
    return true;
}

HVServiceSource *SmsService::source() const
{
    return m_source;
}

bool SmsService::cancelOperation()
{
    return true;
}

} // namespace Halvane
