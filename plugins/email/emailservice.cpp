// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "emailservice.h"

#include "emailservicesource.h"

namespace Halvane {

EmailService::EmailService()
    : m_source(new EmailServiceSource(this))
{
}

EmailService::~EmailService()
{
    delete m_source;
}

QString EmailService::service() const
{
    return QStringLiteral("Email");
}

bool EmailService::hasSource() const
{
    return true;
}

HVServiceSource *EmailService::source() const
{
    return m_source;
}

bool EmailService::cancelOperation()
{
    return true;
}

} // namespace Halvane
