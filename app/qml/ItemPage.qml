// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

// One item in full: its whole text (HTML as rich text, nothing remote is
// loaded), attachments by name and size, and what can be done with it.
Kirigami.ScrollablePage {
    id: page

    property var item: ({})
    property var listPage
    property var reader
    property var caller
    readonly property bool isItemList: true
    readonly property int screen: listPage ? listPage.screen : Voice.HomeScreen
    readonly property bool isMessage: item.type === "message"
    readonly property bool isEvent: item.type === "event"
    // An SMS has no subject of its own: it goes by its sender.
    readonly property bool isSms: isMessage && (item.phoneNumber || "").length > 0

    title: (isSms ? item.from : item.subject) || item.title || item.displayLabel || item.from || item.city || ""

    function next() { if (listPage) { listPage.next(); item = listPage.current() } }
    function previous() { if (listPage) { listPage.previous(); item = listPage.current() } }
    function readCurrent() { if (reader) reader.sayText(item.speechText) }
    function openCurrent() {}
    function readAttendees() {
        if (reader && item.participants && item.participants.length > 0)
            reader.sayText(item.participants.join(", "))
    }
    function callCurrent() {
        if (!caller)
            return
        if (item.phoneNumber)
            caller.makeCall("phone", item.phoneNumber)
        else if (isMessage)
            caller.makeCall("email", item.from)
        else
            caller.makeCall("email", item.creator)
    }

    actions {
        main: Kirigami.Action {
            //% "Read aloud"
            text: qsTrId("hv_app_read_aloud")
            icon.name: "media-playback-start"
            enabled: page.reader && page.reader.available
            onTriggered: page.readCurrent()
        }
        contextualActions: [
            Kirigami.Action {
                //% "Call back"
                text: qsTrId("hv_app_call_back")
                icon.name: "call-start"
                visible: page.isMessage || (page.isEvent && (page.item.creator || "").length > 0)
                onTriggered: page.callCurrent()
            },
            Kirigami.Action {
                //% "Attendees"
                text: qsTrId("hv_app_attendees")
                icon.name: "system-users"
                visible: page.isEvent && page.item.participants && page.item.participants.length > 0
                onTriggered: attendeesSheet.open()
            }
        ]
    }

    ColumnLayout {
        spacing: Kirigami.Units.largeSpacing

        // Whole: the page's title is cut to the header's width.
        Kirigami.Heading {
            Layout.fillWidth: true
            level: 2
            wrapMode: Text.Wrap
            text: page.title
            textFormat: Text.PlainText
        }

        Kirigami.FormLayout {
            Layout.fillWidth: true
            wideMode: false
            Controls.Label {
                visible: page.isMessage
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                //% "From:"
                Kirigami.FormData.label: qsTrId("hv_app_from")
                text: page.item.from || ""
                textFormat: Text.PlainText
            }
            Controls.Label {
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                //% "Time:"
                Kirigami.FormData.label: qsTrId("hv_app_time")
                //% "All day"
                text: page.isEvent && page.item.isTodo
                      //% "due today"
                      // Due on another day: that day too ("due 18:00 tomorrow").
                      ? (page.item.allDay && !page.item.endDay ? qsTrId("hv_app_todo_due_today")
                                          : qsTrId("hv_app_todo_due").arg([page.item.endTime,
                                                                           page.item.endDay].join(" ").trim()))
                      : page.isEvent ? (page.item.allDay ? qsTrId("hv_app_all_day")
                                                         : [page.item.startDay, page.item.startTime].join(" ").trim()
                                                           + " – " + [page.item.endDay, page.item.endTime].join(" ").trim())
                                     : page.item.startTime
            }
            Controls.Label {
                visible: page.isEvent && text.length > 0
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                //% "Place:"
                Kirigami.FormData.label: qsTrId("hv_app_place")
                text: page.item.locationName || ""
                textFormat: Text.PlainText
            }
            Controls.Label {
                visible: page.item.type === "feed"
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                //% "Channel:"
                Kirigami.FormData.label: qsTrId("hv_app_channel")
                text: page.item.channel || ""
                textFormat: Text.PlainText
            }
        }

        Controls.Label {
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            textFormat: Text.RichText
            text: page.item.richBody || ""
            onLinkActivated: Qt.openUrlExternally(link)
        }

        Kirigami.Heading {
            level: 4
            visible: attachments.count > 0
            //% "Attachments"
            text: qsTrId("hv_app_attachments")
        }
        Repeater {
            id: attachments
            model: page.item.attachments || []
            delegate: RowLayout {
                Layout.fillWidth: true
                Kirigami.Icon {
                    source: "mail-attachment"
                    Layout.preferredWidth: Kirigami.Units.iconSizes.small
                    Layout.preferredHeight: Layout.preferredWidth
                }
                Controls.Label {
                    text: modelData.fileName
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    elide: Text.ElideMiddle
                }
                Controls.Label {
                    text: modelData.sizeText
                    opacity: 0.7
                }
            }
        }
    }

    Kirigami.OverlaySheet {
        id: attendeesSheet
        header: Kirigami.Heading { text: qsTrId("hv_app_attendees") }
        ListView {
            implicitWidth: Kirigami.Units.gridUnit * 16
            model: page.item.participants || []
            delegate: Controls.ItemDelegate {
                width: ListView.view.width
                text: modelData
                contentItem: Controls.Label {
                    text: modelData
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                }
            }
        }
    }
}
