// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

ItemListPage {
    id: page
    //% "Feeds"
    title: qsTrId("hv_app_feeds")
    itemType: "feed"
    newestFirst: true
    screen: Voice.FeedsScreen
    emptyIcon: "application-rss+xml"
    //% "No feed messages today."
    emptyText: qsTrId("hv_app_feeds_empty")

    rowDelegate: Controls.ItemDelegate {
        width: ListView.view.width
        highlighted: ListView.isCurrentItem
        onClicked: {
            ListView.view.currentIndex = index
            page.openCurrent()
        }
        contentItem: ColumnLayout {
            spacing: 0
            RowLayout {
                Layout.fillWidth: true
                Controls.Label {
                    text: model.channel
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                    opacity: 0.7
                }
                Controls.Label {
                    text: model.startTime
                    opacity: 0.7
                }
            }
            Controls.Label {
                text: model.title
                textFormat: Text.PlainText
                font.bold: true
                Layout.fillWidth: true
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
        }
    }
}
