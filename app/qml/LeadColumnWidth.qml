// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import org.kde.kirigami 2.20 as Kirigami

// How wide the column that leads a calendar row is: room for a time ("10:58
// PM" where the locale says so), "All day", "Due" or "yesterday" in bold in
// the language shown ("Toute la journée"), up to a share of a phone's width;
// longer words wrap.
Item {
    readonly property real value: Math.min(Kirigami.Units.gridUnit * 5,
                                           Math.max(Kirigami.Units.gridUnit * 3, allDay.advanceWidth,
                                                    due.advanceWidth, yesterday.advanceWidth, lateTime.advanceWidth)
                                           + Kirigami.Units.smallSpacing)

    TextMetrics { id: allDay; font.bold: true; text: qsTrId("hv_app_all_day") }
    TextMetrics { id: due; font.bold: true; text: qsTrId("hv_app_due") }
    TextMetrics {
        id: lateTime
        font.bold: true
        text: Qt.formatTime(new Date(2000, 0, 1, 22, 58), Qt.locale().timeFormat(Locale.ShortFormat))
    }
    TextMetrics { id: yesterday; font.bold: true; text: qsTrId("hv_app_yesterday") }
}
