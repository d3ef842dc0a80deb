// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later
import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

// A contact asked for over the contact-card call: its name and the numbers
// to choose from; choosing one dials it.
Kirigami.ScrollablePage {
    id: page

    property alias contactId: contactCard.contactId
    property alias vCard: contactCard.vCard
    readonly property alias card: contactCard
    property var caller
    readonly property bool isContactCard: true

    //% "Unknown contact"
    title: contactCard.name || qsTrId("hv_app_card_unknown")

    ContactCard { id: contactCard }

    ListView {
        id: numberList
        model: contactCard.numbers
        header: RowLayout {
            width: ListView.view.width
            spacing: Kirigami.Units.largeSpacing
            Kirigami.Avatar {
                name: contactCard.name
                Layout.margins: Kirigami.Units.largeSpacing
                Layout.preferredWidth: Kirigami.Units.iconSizes.large
                Layout.preferredHeight: Layout.preferredWidth
            }
            Kirigami.Heading {
                level: 2
                wrapMode: Text.Wrap
                text: page.title
                textFormat: Text.PlainText
                Layout.fillWidth: true
            }
        }
        delegate: Controls.ItemDelegate {
            width: ListView.view.width
            //% "Call %1"
            Accessible.name: qsTrId("hv_app_card_call").arg(modelData.number)
            onClicked: if (page.caller) page.caller.makeCall("phone", modelData.number)
            contentItem: RowLayout {
                spacing: Kirigami.Units.largeSpacing
                Kirigami.Icon {
                    source: "call-start"
                    Layout.preferredWidth: Kirigami.Units.iconSizes.smallMedium
                    Layout.preferredHeight: Layout.preferredWidth
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 0
                    Controls.Label {
                        text: modelData.number
                        textFormat: Text.PlainText
                        font.bold: true
                        Layout.fillWidth: true
                    }
                    Controls.Label {
                        text: modelData.label
                        textFormat: Text.PlainText
                        opacity: 0.7
                        Layout.fillWidth: true
                    }
                }
            }
        }
        Kirigami.PlaceholderMessage {
            anchors.centerIn: parent
            width: parent.width - Kirigami.Units.gridUnit * 4
            visible: numberList.count === 0
            //% "This contact has no phone number."
            text: qsTrId("hv_app_card_no_numbers")
        }
    }
}
