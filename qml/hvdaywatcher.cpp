// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvdaywatcher.h"
#include "halvaneqml_debug.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtDBus/QDBusConnection>

#include "hvitemmodel.h"
#include "hvretrieveserviceaction.h"

namespace Halvane {

HVDayWatcher *HVDayWatcher::instance()
{
    static QPointer<HVDayWatcher> watcher;
    if (!watcher)
        watcher = new HVDayWatcher(QCoreApplication::instance());
    return watcher;
}

HVDayWatcher::HVDayWatcher(QObject *parent)
    : QObject(parent)
{
    const QDateTime current = now();
    m_day = current.date();
    m_utcOffset = current.offsetFromUtc();
    m_minuteTimer.setSingleShot(true);
    // Timers stand still while the phone sleeps: the minute tick comes late
    // after a resume, logind's signal comes at once.
    m_minuteTimer.setTimerType(Qt::CoarseTimer);
    connect(&m_minuteTimer, &QTimer::timeout, this, [this] {
        Q_EMIT nowChanged();
        check();
        armTimer();
    });
    armTimer();
    QDBusConnection::systemBus().connect(QStringLiteral("org.freedesktop.login1"),
                                         QStringLiteral("/org/freedesktop/login1"),
                                         QStringLiteral("org.freedesktop.login1.Manager"),
                                         QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
}

QDateTime HVDayWatcher::now() const
{
    return m_clock.isValid() ? m_clock : QDateTime::currentDateTime();
}

void HVDayWatcher::setClock(const QDateTime &clock)
{
    if (clock == m_clock)
        return;
    m_clock = clock;
    Q_EMIT nowChanged();
    check();
}

void HVDayWatcher::armTimer()
{
    // Just after the next full minute, so midnight is seen within a second.
    const QTime time = QTime::currentTime();
    m_minuteTimer.start((60 - time.second()) * 1000 - time.msec() + 200);
}

void HVDayWatcher::onPrepareForSleep(bool start)
{
    if (start)
        return;
    Q_EMIT nowChanged();
    check();
    armTimer();
}

void HVDayWatcher::watch(HVItemModel *model)
{
    if (m_model == model)
        return;
    if (m_model)
        disconnect(m_model->retrieveAction(), nullptr, this, nullptr);
    m_model = model;
    setMoving(false);
    if (!model)
        return;
    connect(model->retrieveAction(), &HVServiceAction::resultsAvailable, this, [this] { setMoving(false); });
    connect(model->retrieveAction(), &HVServiceAction::activityChanged, this, [this](HVServiceAction::Activity activity) {
        // A day that turned while the last retrieval ran.
        if (activity != HVServiceAction::Running && m_pending)
            moveModel();
    });
    if (model->retrieveAction()->fromDateTime().date() != m_day)
        moveModel();
}

void HVDayWatcher::check()
{
    const QDateTime current = now();
    if (current.date() == m_day && current.offsetFromUtc() == m_utcOffset)
        return;
    qCDebug(HALVANE_QML) << "Day watcher: the day is now" << current.date() << "UTC offset" << current.offsetFromUtc();
    const bool newDay = current.date() != m_day;
    m_day = current.date();
    m_utcOffset = current.offsetFromUtc();
    if (newDay)
        Q_EMIT dayChanged();
    moveModel();
}

void HVDayWatcher::moveModel()
{
    m_pending = false;
    if (!m_model)
        return;
    HVRetrieveServiceAction *action = m_model->retrieveAction();
    action->setFromDateTime(Halvane::dayStart(m_day));
    action->setToDateTime(Halvane::dayStart(m_day.addDays(1)));
    if (!action->start())
        m_pending = true;
    setMoving(true);
}

void HVDayWatcher::setMoving(bool moving)
{
    if (moving == m_moving)
        return;
    m_moving = moving;
    Q_EMIT movingChanged();
}

QString HVDayWatcher::until(const QDateTime &when) const
{
    if (!when.isValid())
        return QString();
    const qint64 minutes = (now().secsTo(when) + 59) / 60;
    if (minutes <= 0)
        //% "now"
        return qtTrId("hv_app_until_now");
    if (minutes < 60)
        //% "in %n min"
        return qtTrId("hv_app_until_minutes", int(minutes));
    //% "in %1 h %2 min"
    return qtTrId("hv_app_until_hours").arg(minutes / 60).arg(minutes % 60);
}

} // namespace Halvane
