// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMID_H
#define HVITEMID_H

#include <QtCore/QMetaType>
#include <QtCore/QString>

#include "hvglobal.h"

namespace Halvane {

/*!
 * Identity of a record: the source's own id and the URI of the source that made it.
 */
class HALVANECORE_EXPORT HVItemId
{
public:
    HVItemId() = default;
    HVItemId(const QString &localId, const QString &managerUri);

    QString localId() const { return m_localId; }
    void setLocalId(const QString &localId) { m_localId = localId; }

    QString managerUri() const { return m_managerUri; }
    void setManagerUri(const QString &managerUri) { m_managerUri = managerUri; }

    bool isNull() const { return m_localId.isEmpty() && m_managerUri.isEmpty(); }

    bool operator==(const HVItemId &other) const
    {
        return m_localId == other.m_localId && m_managerUri == other.m_managerUri;
    }
    bool operator!=(const HVItemId &other) const { return !operator==(other); }

private:
    QString m_localId;
    QString m_managerUri;
};

HALVANECORE_EXPORT uint qHash(const HVItemId &id, uint seed = 0) noexcept;

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVItemId, Q_MOVABLE_TYPE);
Q_DECLARE_METATYPE(HALVANE_NAMESPACE::HVItemId)

#endif // HVITEMID_H
