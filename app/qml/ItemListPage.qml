// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

// A page of one item type: the rows, the current item that voice commands
// move, and what they do with it.
Kirigami.ScrollablePage {
    id: page

    property alias itemType: itemModel.itemType
    property alias newestFirst: itemModel.newestFirst
    property alias model: itemModel
    property alias currentIndex: list.currentIndex
    property alias rowDelegate: list.delegate
    property int screen: Voice.HomeScreen
    property string emptyText
    property string emptyIcon
    property var reader
    property var caller
    // The current row starts at what is going on or next, not at the first
    // of the day (a calendar opened in the evening).
    property bool startsAtNow: false
    readonly property bool isItemList: true

    function startAtFirst() {
        list.currentIndex = firstIndex()
        // What is on now at the top, what comes next below it.
        if (startsAtNow)
            Qt.callLater(function() { list.positionViewAtIndex(list.currentIndex, ListView.Beginning) })
    }
    function firstIndex() {
        if (!startsAtNow)
            return 0
        var now = itemModel.firstEndingAfter(Today.now)
        return now < 0 ? list.count - 1 : now
    }

    function current() {
        return itemModel.get(list.currentIndex)
    }
    function next() {
        if (list.currentIndex < list.count - 1)
            list.currentIndex++
    }
    function previous() {
        if (list.currentIndex > 0)
            list.currentIndex--
    }
    function readCurrent() {
        if (reader && list.currentIndex >= 0)
            reader.sayText(current().speechText)
    }
    function openCurrent() {
        if (list.currentIndex >= 0)
            applicationWindow().openItem(current(), page)
    }
    function readAttendees() {
        var item = current()
        if (reader && item.participants && item.participants.length > 0)
            reader.sayText(item.participants.join(", "))
    }
    function callCurrent() {
        var item = current()
        if (!caller || item.index === undefined)
            return
        if (item.phoneNumber)
            caller.makeCall("phone", item.phoneNumber)
        else if (item.messageType === 1)
            caller.makeCall("email", item.from)
        else
            caller.makeCall("email", item.creator)
    }

    ItemModel { id: itemModel }

    ListView {
        id: list
        model: itemModel
        // Set once where it starts at now: a binding would follow the clock.
        currentIndex: count > 0 && !page.startsAtNow ? 0 : -1
        // Rows that come and go keep the view where it is.
        highlightFollowsCurrentItem: true
        keyNavigationEnabled: true
        onCountChanged: if (currentIndex < 0 && count > 0) page.startAtFirst()
        Component.onCompleted: if (currentIndex < 0 && count > 0) page.startAtFirst()

        Kirigami.PlaceholderMessage {
            anchors.centerIn: parent
            width: parent.width - Kirigami.Units.gridUnit * 4
            visible: list.count === 0 && !itemModel.busy
            icon.name: page.emptyIcon
            text: itemModel.sourceAvailable ? page.emptyText
                  //% "No source for these items is installed."
                  : qsTrId("hv_app_no_source")
        }
        Controls.BusyIndicator {
            anchors.centerIn: parent
            visible: itemModel.busy && list.count === 0
            running: visible
        }
    }
}
