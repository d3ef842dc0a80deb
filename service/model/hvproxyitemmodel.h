// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVPROXYITEMMODEL_H
#define HVPROXYITEMMODEL_H

#include <QtCore/QSortFilterProxyModel>

#include "halvaneservice_export.h"
#include "hvglobal.h"

namespace Halvane {

/*!
 * The records of one item type, in ascending order of their date-time, under the
 * role names of that type. Re-filters and re-sorts as the source changes.
 */
class HALVANESERVICE_EXPORT HVProxyItemModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    HVProxyItemModel(const QString &itemType, QAbstractItemModel *sourceModel, QObject *parent = nullptr);
    ~HVProxyItemModel() override;

    QString itemType() const { return m_itemType; }

    // Sets the role names to those of the item type.
    void initRoles();
    QHash<int, QByteArray> roleNames() const override;

private:
    QString m_itemType;
    QHash<int, QByteArray> m_roleNames;
};

} // namespace Halvane

#endif // HVPROXYITEMMODEL_H
