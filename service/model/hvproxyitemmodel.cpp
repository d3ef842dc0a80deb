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
    m_plainType = QRegularExpression::escape(itemType) == itemType;
    initRoles();
    setSortRole(HVItemModel::DateRole);
    setDynamicSortFilter(true);
    sort(0, Qt::AscendingOrder);
}

HVProxyItemModel::~HVProxyItemModel() = default;

bool HVProxyItemModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    // Matching the expression costs more than the rest of a large reset.
    if (!m_plainType || filterKeyColumn() != 0 || filterRole() != HVItemModel::TypeRole
        || filterRegularExpression().pattern() != m_itemType
        || filterRegularExpression().patternOptions() != QRegularExpression::NoPatternOption)
        return QSortFilterProxyModel::filterAcceptsRow(sourceRow, sourceParent);
    return sourceModel()->index(sourceRow, 0, sourceParent).data(HVItemModel::TypeRole).toString().contains(m_itemType);
}

void HVProxyItemModel::initRoles()
{
    m_roleNames = HVItemModel::getRoles(m_itemType);
}

QHash<int, QByteArray> HVProxyItemModel::roleNames() const
{
    return m_roleNames;
}

} // namespace Halvane
