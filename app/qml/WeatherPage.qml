// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

ItemListPage {
    id: page
    //% "Weather"
    title: qsTrId("hv_app_weather")
    itemType: "weather"
    screen: Voice.WeatherScreen
    emptyIcon: "weather-none-available"
    //% "No forecast yet. Add a city in the settings."
    emptyText: qsTrId("hv_app_weather_empty")

    rowDelegate: Controls.ItemDelegate {
        width: ListView.view.width
        highlighted: ListView.isCurrentItem
        onClicked: ListView.view.currentIndex = index
        contentItem: RowLayout {
            spacing: Kirigami.Units.largeSpacing
            Kirigami.Icon {
                source: WeatherIcon.name(model.image)
                fallback: "weather-none-available"
                Layout.preferredWidth: Kirigami.Units.iconSizes.large
                Layout.preferredHeight: Layout.preferredWidth
            }
            ColumnLayout {
                Layout.fillWidth: true
                spacing: 0
                Controls.Label {
                    text: model.city
                    textFormat: Text.PlainText
                    font.bold: model.defaultCity
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                }
                Controls.Label {
                    text: model.hasForecast ? model.description : qsTrId("hv_app_weather_no_forecast")
                    Layout.fillWidth: true
                    elide: Text.ElideRight
                    opacity: 0.8
                }
                Controls.Label {
                    visible: model.hasForecast
                    //% "Wind %1 km/h %2"
                    text: qsTrId("hv_app_wind").arg(model.wind).arg(model.windDirection)
                    textFormat: Text.PlainText
                    opacity: 0.7
                }
            }
            Controls.Label {
                visible: model.hasForecast
                text: qsTrId("hv_app_temperature_range").arg(model.temperatureMin).arg(model.temperatureMax)
                font.bold: true
            }
        }
    }
}
