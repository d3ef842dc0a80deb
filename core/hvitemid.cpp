// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemid.h"

#include <QtCore/QHash>

namespace Halvane {

HVItemId::HVItemId(const QString &localId, const QString &managerUri)
    : m_localId(localId)
    , m_managerUri(managerUri)
{
}

uint qHash(const HVItemId &id, uint seed) noexcept
{
    QtPrivate::QHashCombine hash;
    seed = hash(seed, id.localId());
    seed = hash(seed, id.managerUri());
    return seed;
}

} // namespace Halvane
