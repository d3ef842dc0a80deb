// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVTESTSERVICESOURCE_H
#define HVTESTSERVICESOURCE_H

#include <QtCore/QFileSystemWatcher>
#include <QtCore/QJsonObject>
#include <QtCore/QMap>

#include "hvservicesource.h"

namespace Halvane {

class HVService;

/*
 * Items come from $HALVANE_TEST_ITEMS_DIR/<key>.json (an array of objects) and
 * follow later edits of that file as added, changed and removed items; or, with
 * HALVANE_TEST_GENERATE=N, N generated items of today.
 *
 * An object has "id", "date" and any field of the item type by its role name.
 * Date values are ISO 8601, or "today HH:mm[:ss]" (also "tomorrow", "yesterday").
 */
class HVTestServiceSource : public HVServiceSource
{
    Q_OBJECT

public:
    HVTestServiceSource(HVService *service, const QString &key, const QString &itemType);

    QList<HVItem> retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime) override;
    bool synchronize() override;

private Q_SLOTS:
    void reload();

private:
    void generate(int count);
    QMap<QString, QJsonObject> readFile() const;
    HVItem toItem(const QJsonObject &object) const;

    HVService *m_service;
    QString m_key;
    QString m_itemType;
    QString m_fileName;
    QFileSystemWatcher m_watcher;
    QMap<QString, QJsonObject> m_objects;
    QList<HVItem> m_items;
    // The range last asked for: with HALVANE_TEST_FOLLOW_RANGE set, changes
    // outside it go unreported, as the real sources do.
    qint64 m_from = 0;
    qint64 m_to = 0;
};

} // namespace Halvane

#endif // HVTESTSERVICESOURCE_H
