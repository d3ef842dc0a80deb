// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVDAYWATCHER_H
#define HVDAYWATCHER_H

#include <QtCore/QDateTime>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include "hvglobal.h"

namespace Halvane {

class HVItemModel;

/*!
 * Keeps the shared item model on today. The model retrieves one day once; an
 * app left open would show yesterday forever. At local midnight, after a
 * change of time zone and after the phone resumes, the model's retrieval is
 * started again for the new day. Also the minute clock of the views ("Today"
 * in QML): "now" moves each minute.
 */
class HVDayWatcher : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QDateTime now READ now NOTIFY nowChanged)
    // Local midnight: QML would take a QDate for UTC midnight, the day before
    // west of UTC.
    Q_PROPERTY(QDateTime day READ dayStart NOTIFY dayChanged)
    // A fixed time that stands in for the system clock while valid (for tests
    // and screenshots); reset it with an invalid date.
    Q_PROPERTY(QDateTime clock READ clock WRITE setClock NOTIFY nowChanged)

public:
    static HVDayWatcher *instance();

    QDateTime now() const;
    QDate day() const { return m_day; }
    QDateTime dayStart() const { return Halvane::dayStart(m_day); }
    QDateTime clock() const { return m_clock; }
    void setClock(const QDateTime &clock);

    // Moves this model with the day; the shared model is the only one.
    void watch(HVItemModel *model);
    // A retrieval this watcher started has not ended yet (the retrieve
    // action itself never says Running).
    bool isMoving() const { return m_moving; }

    // "in 25 min", "in 2 h 5 min", or "now" for a time that has come; empty
    // for an invalid time.
    Q_INVOKABLE QString until(const QDateTime &when) const;

public Q_SLOTS:
    // Looks at the clock now; starts the new day's retrieval when the day or
    // the time zone changed.
    void check();

Q_SIGNALS:
    void nowChanged();
    void dayChanged();
    void movingChanged();

private Q_SLOTS:
    void onPrepareForSleep(bool start);

private:
    explicit HVDayWatcher(QObject *parent = nullptr);
    void armTimer();
    void moveModel();
    void setMoving(bool moving);

    QPointer<HVItemModel> m_model;
    QTimer m_minuteTimer;
    QDateTime m_clock;
    QDate m_day;
    int m_utcOffset = 0;
    bool m_pending = false;
    bool m_moving = false;
};

} // namespace Halvane

#endif // HVDAYWATCHER_H
