// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami

// One card of the Today page: a title, a few rows, and a quiet line when
// there is nothing (or no source) to show. A tap opens its page.
Kirigami.AbstractCard {
    id: card

    property alias title: heading.text
    property alias iconName: icon.source
    property string quietText
    default property alias rows: column.data

    signal opened()

    Layout.fillWidth: true
    showClickFeedback: true
    onClicked: card.opened()

    contentItem: ColumnLayout {
        spacing: Kirigami.Units.smallSpacing
        RowLayout {
            Layout.fillWidth: true
            spacing: Kirigami.Units.smallSpacing
            Kirigami.Icon {
                id: icon
                Layout.preferredWidth: Kirigami.Units.iconSizes.smallMedium
                Layout.preferredHeight: Layout.preferredWidth
            }
            Kirigami.Heading {
                id: heading
                level: 3
                Layout.fillWidth: true
                elide: Text.ElideRight
            }
            Kirigami.Icon {
                source: "go-next"
                Layout.preferredWidth: Kirigami.Units.iconSizes.small
                Layout.preferredHeight: Layout.preferredWidth
                opacity: 0.6
            }
        }
        ColumnLayout {
            id: column
            Layout.fillWidth: true
            spacing: Kirigami.Units.smallSpacing
        }
        Controls.Label {
            visible: card.quietText.length > 0
            text: card.quietText
            Layout.fillWidth: true
            wrapMode: Text.Wrap
            opacity: 0.7
            font.italic: true
        }
    }
}
