// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

ItemListPage {
    id: page
    //% "Messages"
    title: qsTrId("hv_app_messages")
    itemType: "message"
    newestFirst: true
    screen: Voice.MessagesScreen
    emptyIcon: "mail-message"
    //% "No messages today."
    emptyText: qsTrId("hv_app_messages_empty")

    rowDelegate: Controls.ItemDelegate {
        width: ListView.view.width
        highlighted: ListView.isCurrentItem
        onClicked: {
            ListView.view.currentIndex = index
            page.openCurrent()
        }
        contentItem: RowLayout {
            spacing: Kirigami.Units.largeSpacing
            Kirigami.Icon {
                source: model.messageType === 2 ? "smartphone" : "mail-unread"
                Layout.preferredWidth: Kirigami.Units.iconSizes.medium
                Layout.preferredHeight: Layout.preferredWidth
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 0
                RowLayout {
                    Layout.fillWidth: true
                    Controls.Label {
                        text: model.from
                        textFormat: Text.PlainText
                        font.bold: true
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                    Controls.Label {
                        text: model.startTime
                        opacity: 0.7
                    }
                }
                Controls.Label {
                    visible: model.messageType !== 2 && text.length > 0
                    text: model.subject
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                }
                Controls.Label {
                    // An SMS has no subject of its own: its text is what counts.
                    visible: model.messageType === 2 || model.subject.length === 0
                    text: model.plainBody
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                    opacity: 0.8
                }
            }
        }
    }
}
