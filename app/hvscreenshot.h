// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVSCREENSHOT_H
#define HVSCREENSHOT_H

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QTimer>

class QQuickWindow;

namespace Halvane {

// Writes a picture of the window once the day's retrieval has ended and late
// sources had settleMilliseconds to answer, then quits the application.
class HVScreenshot : public QObject
{
    Q_OBJECT

public:
    HVScreenshot(QQuickWindow *window, const QString &fileName, int settleMilliseconds, QObject *parent = nullptr);

    void start();

private:
    void poll();
    void grab();

    QPointer<QQuickWindow> m_window;
    QString m_fileName;
    int m_settleMilliseconds;
    int m_polls = 0;
    QTimer m_timer;
};

} // namespace Halvane

#endif // HVSCREENSHOT_H
