// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvproxyitemmodel.h"

#include <QtCore/QRegularExpression>

#include "hvitemmodel.h"

namespace Halvane {

HVProxyItemModel::HVProxyItemModel(const QString &itemType, QAbstractItemModel *sourceModel, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_itemType(itemType)
{
    setSourceModel(sourceModel);
    setFilterRole(HVItemModel::TypeRole);
    // Unanchored and case-sensitive: a row stays when its type contains a match.
    setFilterRegularExpression(QRegularExpression(itemType));
    initRoles();
    setSortRole(HVItemModel::DateRole);
    setDynamicSortFilter(true);
    sort(0, Qt::AscendingOrder);
}

HVProxyItemModel::~HVProxyItemModel() = default;

void HVProxyItemModel::initRoles()
{
    m_roleNames = HVItemModel::getRoles(m_itemType);
}

QHash<int, QByteArray> HVProxyItemModel::roleNames() const
{
    return m_roleNames;
}

} // namespace Halvane
