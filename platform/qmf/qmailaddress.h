// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILADDRESS_H
#define QMAILADDRESS_H

#include <QtCore/QString>

#include "halvaneqmf_export.h"

// One mailbox: a display name and the bare address.
class HALVANEQMF_EXPORT QMailAddress
{
public:
    QMailAddress() = default;
    explicit QMailAddress(const QString &address);
    QMailAddress(const QString &name, const QString &address);

    bool isNull() const { return m_address.isEmpty() && m_name.isEmpty(); }
    QString name() const { return m_name; }
    QString address() const { return m_address; }
    // "Name <address>", or the bare address when there is no name.
    QString toString() const;

    bool operator==(const QMailAddress &other) const;
    bool operator!=(const QMailAddress &other) const { return !(*this == other); }

private:
    QString m_name;
    QString m_address;
};

#endif // QMAILADDRESS_H
