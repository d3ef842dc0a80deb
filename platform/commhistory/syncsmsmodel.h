// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef COMMHISTORY_SYNCSMSMODEL_H
#define COMMHISTORY_SYNCSMSMODEL_H

#include <QtCore/QDateTime>

#include "commhistory_export.h"
#include "eventmodel.h"

namespace CommHistory {

/*!
 * Which SMS a SyncSMSModel holds.
 *
 * - parentId: the folder (4098 is the inbox); a negative id takes every folder.
 * - time: the events of one day up to a moment: those whose end time (with
 *   lastModified set, their last-modified time) falls on time's date, in
 *   time's own time zone, and is not after time itself. So a filter time of
 *   23:59:59 gives the whole day, and one of 12:00 its morning. An invalid
 *   time sets no limit.
 */
struct COMMHISTORY_EXPORT SyncSMSFilter
{
    SyncSMSFilter(int parentId = -1, const QDateTime &time = QDateTime(), bool lastModified = false);

    int parentId;
    QDateTime time;
    bool lastModified;
};

/*!
 * The SMS events (of either direction) that a SyncSMSFilter selects, ordered
 * by the filtered time, then by id.
 */
class COMMHISTORY_EXPORT SyncSMSModel : public EventModel
{
    Q_OBJECT

public:
    explicit SyncSMSModel(int parentId = -1, const QDateTime &time = QDateTime(), bool lastModified = false,
                          QObject *parent = nullptr);
    ~SyncSMSModel() override;

    void setSyncSmsFilter(const SyncSMSFilter &filter);
    SyncSMSFilter syncSmsFilter() const { return m_filter; }

    // Queries the history; false, with no rows, when it cannot be read.
    bool getEvents();

private:
    SyncSMSFilter m_filter;
};

} // namespace CommHistory

#endif // COMMHISTORY_SYNCSMSMODEL_H
