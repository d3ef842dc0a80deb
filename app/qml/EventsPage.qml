// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

ItemListPage {
    id: page
    //% "Events"
    title: qsTrId("hv_app_events")
    itemType: "event"
    startsAtNow: true
    screen: Voice.EventsScreen
    emptyIcon: "view-calendar-day"
    //% "Nothing on the calendar today."
    emptyText: qsTrId("hv_app_events_none")

    readonly property LeadColumnWidth lead: LeadColumnWidth {}

    rowDelegate: Controls.ItemDelegate {
        width: ListView.view.width
        highlighted: ListView.isCurrentItem
        onClicked: {
            ListView.view.currentIndex = index
            page.openCurrent()
        }
        contentItem: RowLayout {
            spacing: Kirigami.Units.largeSpacing
            ColumnLayout {
                spacing: 0
                // Fixed: a long title must not squeeze it ("GanztägigVacation").
                Layout.preferredWidth: page.lead.value
                Layout.minimumWidth: page.lead.value
                Layout.maximumWidth: page.lead.value
                // An entry that began on another day says so above its start.
                Controls.Label {
                    visible: text.length > 0
                    text: model.isTodo ? "" : model.startDay
                    font: Kirigami.Theme.smallFont
                    opacity: 0.7
                }
                // A to-do has a due time, and maybe no start.
                Controls.Label {
                    //% "Due"
                    text: model.isTodo ? qsTrId("hv_app_due")
                                       //% "All day"
                                       : model.allDay ? qsTrId("hv_app_all_day") : model.startTime
                    font.bold: true
                    Layout.fillWidth: true
                    wrapMode: Text.WordWrap
                }
                Controls.Label { text: model.endTime; opacity: 0.7 }
                Controls.Label {
                    visible: text.length > 0
                    text: model.endDay
                    font: Kirigami.Theme.smallFont
                    opacity: 0.7
                }
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 0
                RowLayout {
                    Layout.fillWidth: true
                    Kirigami.Icon {
                        visible: model.isTodo
                        source: "view-task"
                        Layout.preferredWidth: Kirigami.Units.iconSizes.small
                        Layout.preferredHeight: Layout.preferredWidth
                        //% "To-do"
                        Accessible.name: qsTrId("hv_app_todo")
                    }
                    Controls.Label {
                        text: model.displayLabel
                        textFormat: Text.PlainText
                        font.bold: true
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                }
                Controls.Label {
                    visible: text.length > 0
                    text: model.locationName
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                    opacity: 0.8
                }
                Controls.Label {
                    visible: model.participants.length > 0
                    //% "With %1"
                    text: qsTrId("hv_app_event_with").arg(model.participants.join(", "))
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                    opacity: 0.7
                }
            }
        }
    }
}
