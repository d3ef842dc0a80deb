// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailtimestamp.h"

QMailTimeStamp::QMailTimeStamp(const QDateTime &dateTime)
    : m_utc(dateTime.isValid() ? dateTime.toUTC() : QDateTime())
{
}
