// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "qmailaddress.h"

#include <KMime/Types>

QMailAddress::QMailAddress(const QString &address)
{
    KMime::Types::Mailbox mailbox;
    mailbox.fromUnicodeString(address);
    m_name = mailbox.name();
    m_address = mailbox.addrSpec().asString();
    if (m_address.isEmpty() && m_name.isEmpty())
        m_address = address.trimmed();
}

QMailAddress::QMailAddress(const QString &name, const QString &address)
    : m_name(name)
    , m_address(address)
{
}

QString QMailAddress::toString() const
{
    if (m_name.isEmpty())
        return m_address;
    return m_name + QLatin1String(" <") + m_address + QLatin1Char('>');
}

bool QMailAddress::operator==(const QMailAddress &other) const
{
    return m_name == other.m_name && m_address == other.m_address;
}
