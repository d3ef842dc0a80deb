// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVOVERVIEW_H
#define HVOVERVIEW_H

#include <QtCore/QJsonObject>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QTimer>

namespace Halvane {

class HVProxyItemModel;

// Does what the user interface does: one model per item type, printed once the
// retrieval has ended and late sources had time to answer; then, when following,
// every change of every model as one JSON object per line.
class HVOverview : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        bool json = false;
        int settleMilliseconds = 1000;
        // Negative: print once and quit; 0: follow until stopped.
        int followSeconds = -1;
    };

    explicit HVOverview(const Options &options, QObject *parent = nullptr);

    void start();

Q_SIGNALS:
    void finished(int exitCode);

private:
    void retrieved();
    void print();
    void followModel(HVProxyItemModel *model);
    void writeChange(const QString &change, HVProxyItemModel *model, int row, const QJsonObject &item);
    void writeLine(const QByteArray &line);

    Options m_options;
    QList<HVProxyItemModel *> m_models;
    QTimer m_settleTimer;
    bool m_printed = false;
};

} // namespace Halvane

#endif // HVOVERVIEW_H
