// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Qt.labs.settings 1.1
import Halvane 1.0

Kirigami.ApplicationWindow {
    id: root

    //% "Halvane"
    title: qsTrId("hv_app_title")
    width: 360
    height: 720
    visible: true

    // True while the day is being retrieved (the screenshot waits for it).
    readonly property bool busy: todayModel.busy
    property bool voiceEnabled: true
    // Which sources the Today page shows.
    property bool showWeather: true
    property bool showEvents: true
    property bool showMessages: true
    property bool showFeeds: true

    Settings {
        category: "app"
        property alias voiceEnabled: root.voiceEnabled
        property alias showWeather: root.showWeather
        property alias showEvents: root.showEvents
        property alias showMessages: root.showMessages
        property alias showFeeds: root.showFeeds
    }

    ItemModel { id: todayModel; itemType: "event" }

    Voice {
        id: voice
        enabled: root.voiceEnabled
        screen: root.screenOf(pageStack.currentItem)
        readerState: reader.state
        onCommandMain: root.goHome()
        onCommandMessages: root.openPage("messages")
        onCommandEvents: root.openPage("events")
        onCommandFeeds: root.openPage("feeds")
        onCommandWeather: root.openPage("weather")
        onCommandBack: root.goBack()
        onCommandNext: root.onList(function(page) { page.next() })
        onCommandPrev: root.onList(function(page) { page.previous() })
        onCommandRead: root.onList(function(page) { page.readCurrent() })
        onCommandPause: reader.pause()
        onCommandContinue: reader.play()
        onCommandStop: reader.stop()
        onCommandMore: root.onList(function(page) { page.openCurrent() })
        onCommandAttendees: root.onList(function(page) { page.readAttendees() })
        onCommandCall: root.onList(function(page) { page.callCurrent() })
    }

    Reader { id: reader }

    Caller {
        id: caller
        onCallFailed: root.showPassiveNotification(reason)
    }

    function screenOf(page) {
        if (!page || page.screen === undefined)
            return Voice.HomeScreen
        return page.screen
    }

    function onList(action) {
        var page = pageStack.currentItem
        if (page && page.isItemList)
            action(page)
    }

    readonly property var pageFiles: ({
        "weather": "qrc:/WeatherPage.qml",
        "messages": "qrc:/MessagesPage.qml",
        "events": "qrc:/EventsPage.qml",
        "feeds": "qrc:/FeedsPage.qml",
        "settings": "qrc:/SettingsPage.qml"
    })

    function openPage(name) {
        if (!pageFiles[name])
            return
        goHome()
        pageStack.push(pageFiles[name], { "reader": reader, "caller": caller })
    }

    function openItem(item, listPage) {
        pageStack.push("qrc:/ItemPage.qml", { "item": item, "reader": reader, "caller": caller, "listPage": listPage })
    }

    // The contact-card call: opens the card over the current page (in place of
    // a card already open) and returns "", or why the card cannot be shown.
    function showContactCard(id, vCard) {
        // A card already open gives way only to one that can be shown.
        var probe = cardProbe.createObject(null, { "contactId": id, "vCard": vCard })
        var problem = probe.valid ? "" : probe.error
        probe.destroy()
        if (problem.length > 0)
            return problem
        if (pageStack.currentItem && pageStack.currentItem.isContactCard)
            pageStack.pop()
        var page = pageStack.push("qrc:/ContactCardPage.qml", { "contactId": id, "vCard": vCard, "caller": caller })
        if (!page || !page.card.valid) {
            problem = page ? page.card.error : "the card page did not load"
            if (page)
                pageStack.pop()
            return problem
        }
        return ""
    }

    Component { id: cardProbe; ContactCard {} }

    function goHome() {
        while (pageStack.depth > 1)
            pageStack.pop()
    }

    function goBack() {
        if (pageStack.depth > 1)
            pageStack.pop()
    }

    globalDrawer: Kirigami.GlobalDrawer {
        isMenu: true
        actions: [
            Kirigami.Action {
                //% "Settings"
                text: qsTrId("hv_app_settings")
                icon.name: "settings-configure"
                onTriggered: root.openPage("settings")
            }
        ]
    }

    pageStack.initialPage: TodayPage {
        reader: reader
        onOpenRequested: root.openPage(name)
    }
    pageStack.globalToolBar.style: Kirigami.ApplicationHeaderStyle.ToolBar
    pageStack.globalToolBar.showNavigationButtons: Kirigami.ApplicationHeaderStyle.ShowBackButton
    pageStack.defaultColumnWidth: Kirigami.Units.gridUnit * 24

    // Listening: a small microphone in the corner, over every page.
    Rectangle {
        id: listeningIndicator
        visible: voice.listening
        z: 100
        width: Kirigami.Units.iconSizes.medium
        height: width
        radius: width / 2
        anchors { right: parent.right; bottom: parent.bottom; margins: Kirigami.Units.largeSpacing }
        color: Kirigami.Theme.highlightColor
        Kirigami.Icon {
            anchors.centerIn: parent
            width: Kirigami.Units.iconSizes.smallMedium
            height: width
            source: "audio-input-microphone"
            color: Kirigami.Theme.highlightedTextColor
        }
        //% "Listening"
        Accessible.name: qsTrId("hv_app_listening")
    }

    Component.onCompleted: {
        if (typeof startPage !== "undefined" && startPage !== "today")
            openPage(startPage)
    }
}
