// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailmessagemetadata.h"

const quint64 QMailMessageMetaData::Incoming = Q_UINT64_C(1) << 0;
const quint64 QMailMessageMetaData::Outgoing = Q_UINT64_C(1) << 1;
const quint64 QMailMessageMetaData::Read = Q_UINT64_C(1) << 2;
const quint64 QMailMessageMetaData::ContentAvailable = Q_UINT64_C(1) << 3;

void QMailMessageMetaData::setStatus(quint64 mask, bool set)
{
    m_status = set ? (m_status | mask) : (m_status & ~mask);
}
