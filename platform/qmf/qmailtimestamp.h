// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILTIMESTAMP_H
#define QMAILTIMESTAMP_H

#include <QtCore/QDateTime>

#include "halvaneqmf_export.h"

// A point in time as a message carries it; null when the message has none.
class HALVANEQMF_EXPORT QMailTimeStamp
{
public:
    QMailTimeStamp() = default;
    explicit QMailTimeStamp(const QDateTime &dateTime);

    bool isNull() const { return !m_utc.isValid(); }
    QDateTime toUTC() const { return m_utc; }
    QDateTime toLocalTime() const { return m_utc.toLocalTime(); }

    bool operator==(const QMailTimeStamp &other) const { return m_utc == other.m_utc; }
    bool operator!=(const QMailTimeStamp &other) const { return !(*this == other); }

private:
    QDateTime m_utc;
};

#endif // QMAILTIMESTAMP_H
