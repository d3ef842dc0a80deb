// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVOVERVIEWPRINTER_H
#define HVOVERVIEWPRINTER_H

#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QTextStream>

QT_BEGIN_NAMESPACE
class QAbstractItemModel;
QT_END_NAMESPACE

namespace Halvane {

class HVProxyItemModel;

// Turns the rows of the per-type models into a table or JSON.
class HVOverviewPrinter
{
public:
    // One row: the model's role names with their values, plus "date" and "type".
    static QJsonObject rowObject(const QAbstractItemModel *model, int row);
    // All rows of the model, in model order.
    static QJsonArray rows(const QAbstractItemModel *model);
    // One object keyed by item type name, as QJsonDocument::toJson() writes
    // it, without building the document.
    static QByteArray json(const QList<HVProxyItemModel *> &models, bool compact);
    static QString table(const QList<HVProxyItemModel *> &models);
};

} // namespace Halvane

#endif // HVOVERVIEWPRINTER_H
