// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

// The weather cities, voice control, reading aloud and its voice.
Kirigami.ScrollablePage {
    id: page

    property var reader
    property var caller
    readonly property int screen: Voice.HomeScreen
    readonly property bool isItemList: false

    //% "Settings"
    title: qsTrId("hv_app_settings")

    Cities { id: cities }

    ColumnLayout {
        spacing: Kirigami.Units.largeSpacing

        Kirigami.Heading {
            level: 3
            //% "Weather cities"
            text: qsTrId("hv_app_cities")
        }
        Repeater {
            model: cities
            delegate: RowLayout {
                Layout.fillWidth: true
                Controls.RadioButton {
                    checked: model.isDefault
                    onToggled: cities.makeDefault(model.cityId)
                    //% "Default city"
                    Controls.ToolTip.text: qsTrId("hv_app_default_city")
                }
                Controls.Label {
                    text: model.country.length > 0 ? model.name + ", " + model.country : model.name
                    textFormat: Text.PlainText
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                }
                Controls.ToolButton {
                    icon.name: "list-remove"
                    onClicked: cities.remove(model.cityId)
                    //% "Remove"
                    Accessible.name: qsTrId("hv_app_remove")
                }
            }
        }
        Controls.Label {
            visible: cities.count === 0
            //% "No cities yet."
            text: qsTrId("hv_app_cities_empty")
            opacity: 0.7
        }
        RowLayout {
            Layout.fillWidth: true
            Controls.TextField {
                id: cityId
                Layout.fillWidth: true
                //% "City id"
                placeholderText: qsTrId("hv_app_city_id")
            }
            Controls.TextField {
                id: cityName
                Layout.fillWidth: true
                //% "Name"
                placeholderText: qsTrId("hv_app_city_name")
            }
            Controls.Button {
                icon.name: "list-add"
                enabled: cityId.text.trim().length > 0
                onClicked: {
                    if (cities.add(cityId.text, cityName.text)) {
                        cityId.text = ""
                        cityName.text = ""
                    }
                }
                //% "Add"
                Accessible.name: qsTrId("hv_app_add")
            }
        }

        Kirigami.Separator { Layout.fillWidth: true }

        Kirigami.Heading {
            level: 3
            //% "On the Today page"
            text: qsTrId("hv_app_today_shows")
        }
        Controls.CheckBox {
            text: qsTrId("hv_app_weather")
            checked: applicationWindow().showWeather
            onToggled: applicationWindow().showWeather = checked
        }
        Controls.CheckBox {
            text: qsTrId("hv_app_events")
            checked: applicationWindow().showEvents
            onToggled: applicationWindow().showEvents = checked
        }
        Controls.CheckBox {
            text: qsTrId("hv_app_messages")
            checked: applicationWindow().showMessages
            onToggled: applicationWindow().showMessages = checked
        }
        Controls.CheckBox {
            text: qsTrId("hv_app_feeds")
            checked: applicationWindow().showFeeds
            onToggled: applicationWindow().showFeeds = checked
        }

        Kirigami.Separator { Layout.fillWidth: true }

        Controls.Switch {
            //% "Voice control"
            text: qsTrId("hv_app_voice_control")
            checked: applicationWindow().voiceEnabled
            onToggled: applicationWindow().voiceEnabled = checked
        }
        Controls.Switch {
            //% "Read aloud"
            text: qsTrId("hv_app_read_aloud")
            enabled: page.reader && page.reader.available
            checked: page.reader && !page.reader.mute
            onToggled: page.reader.mute = !checked
        }
        RowLayout {
            Layout.fillWidth: true
            Controls.Label {
                //% "Speech voice"
                text: qsTrId("hv_app_speech_voice")
            }
            Controls.ComboBox {
                id: voices
                Layout.fillWidth: true
                enabled: !!page.reader
                textRole: "text"
                valueRole: "voice"
                // espeak-ng's English voices; the empty one is the reader's own.
                model: [
                    //% "Standard"
                    { voice: "", text: qsTrId("hv_app_voice_standard") },
                    //% "American English"
                    { voice: "en-us", text: qsTrId("hv_app_voice_en_us") },
                    //% "British English"
                    { voice: "en-gb", text: qsTrId("hv_app_voice_en_gb") },
                    //% "Scottish English"
                    { voice: "en-gb-scotland", text: qsTrId("hv_app_voice_en_scotland") },
                    //% "Caribbean English"
                    { voice: "en-029", text: qsTrId("hv_app_voice_en_caribbean") },
                    //% "American English, female"
                    { voice: "en-us+f3", text: qsTrId("hv_app_voice_en_us_female") }
                ]
                currentIndex: page.reader ? Math.max(0, indexOfValue(page.reader.voice)) : 0
                onActivated: page.reader.voice = currentValue
            }
        }
    }
}
