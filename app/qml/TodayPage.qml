// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtQuick.Controls 2.15 as Controls
import org.kde.kirigami 2.20 as Kirigami
import Halvane 1.0

// The home screen: the day at a glance, one card per kind of item.
Kirigami.ScrollablePage {
    id: page
    readonly property LeadColumnWidth lead: LeadColumnWidth {}

    property var reader
    readonly property int screen: Voice.HomeScreen
    readonly property bool isItemList: false

    signal openRequested(string name)

    //% "Today"
    title: qsTrId("hv_app_today")

    ItemModel { id: weather; itemType: "weather" }
    Cities { id: cities }
    // What comes next, at a time; the day's whole-day entries apart, or they
    // would take the card's lines and its countdown.
    ItemModel { id: events; itemType: "event"; endingAfter: Today.now; todos: ItemModel.WithoutTodos
                wholeDays: ItemModel.WithoutWholeDays }
    ItemModel { id: wholeDays; itemType: "event"; endingAfter: Today.now; todos: ItemModel.WithoutTodos
                wholeDays: ItemModel.OnlyWholeDays }
    // Due earlier today still counts: it is not done.
    ItemModel { id: todos; itemType: "event"; todos: ItemModel.OnlyTodos; dueOn: Today.now }
    ItemModel { id: messages; itemType: "message"; newestFirst: true }
    ItemModel { id: feeds; itemType: "feed" }

    ColumnLayout {
        spacing: Kirigami.Units.largeSpacing

        Controls.Label {
            Layout.fillWidth: true
            text: Qt.formatDate(Today.now, Qt.locale().dateFormat(Locale.LongFormat))
            opacity: 0.8
        }

        TodayCard {
            //% "Weather"
            title: qsTrId("hv_app_weather")
            visible: applicationWindow().showWeather
            iconName: "weather-few-clouds"
            quietText: !weather.sourceAvailable
                       //% "No weather source is installed."
                       ? qsTrId("hv_app_weather_no_source")
                       : weather.count === 0
                         //% "No forecast yet. Add a city in the settings."
                         ? qsTrId("hv_app_weather_empty") : ""
            onOpened: page.openRequested("weather")

            Repeater {
                model: weather
                delegate: RowLayout {
                    // The default city; the first one while none is marked default.
                    visible: model.defaultCity || (index === 0 && cities.defaultCity.length === 0)
                    Layout.fillWidth: true
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
                        Kirigami.Heading {
                            level: 2
                            text: model.city
                            textFormat: Text.PlainText
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                        }
                        Controls.Label {
                            //% "No forecast yet"
                            text: model.hasForecast ? model.description : qsTrId("hv_app_weather_no_forecast")
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                        }
                    }
                    Controls.Label {
                        visible: model.hasForecast
                        //% "%1° / %2°"
                        text: qsTrId("hv_app_temperature_range").arg(model.temperatureMin).arg(model.temperatureMax)
                        font.bold: true
                    }
                }
            }
        }

        TodayCard {
            //% "Next"
            title: qsTrId("hv_app_next_events")
            visible: applicationWindow().showEvents
            iconName: "view-calendar-day"
            quietText: !events.sourceAvailable
                       //% "No calendar is installed."
                       ? qsTrId("hv_app_events_no_source")
                       : events.count === 0 && todos.count === 0 && wholeDays.count === 0
                         //% "Nothing more on the calendar today."
                         ? qsTrId("hv_app_events_empty") : ""
            onOpened: page.openRequested("events")

            Repeater {
                model: wholeDays
                delegate: RowLayout {
                    visible: index < 2
                    Layout.fillWidth: true
                    Controls.Label {
                        //% "All day"
                        text: qsTrId("hv_app_all_day")
                        font.bold: true
                        wrapMode: Text.WordWrap
                        Layout.preferredWidth: page.lead.value
                        Layout.minimumWidth: page.lead.value
                        Layout.maximumWidth: page.lead.value
                    }
                    Controls.Label {
                        text: model.displayLabel
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                }
            }

            Repeater {
                model: events
                delegate: RowLayout {
                    visible: index < 3
                    Layout.fillWidth: true
                    Controls.Label {
                        // Begun on another day: that day, not a time that reads as today's.
                        text: model.startDay.length > 0 ? model.startDay : model.startTime
                        font.bold: true
                        elide: Text.ElideRight
                        Layout.preferredWidth: page.lead.value
                        Layout.minimumWidth: page.lead.value
                        Layout.maximumWidth: page.lead.value
                    }
                    Controls.Label {
                        text: model.displayLabel
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                    Controls.Label {
                        // Read "now" so the text follows the minute clock.
                        text: Today.now ? Today.until(model.start) : ""
                        color: Kirigami.Theme.highlightColor
                        visible: index === 0 && text.length > 0
                    }
                }
            }

            Repeater {
                model: todos
                delegate: RowLayout {
                    visible: index < 3
                    Layout.fillWidth: true
                    Kirigami.Icon {
                        source: "view-task"
                        Layout.preferredWidth: Kirigami.Units.iconSizes.small
                        Layout.preferredHeight: Layout.preferredWidth
                    }
                    Controls.Label {
                        text: model.displayLabel
                        textFormat: Text.PlainText
                        Layout.fillWidth: true
                        elide: Text.ElideRight
                    }
                    Controls.Label {
                        visible: model.endDateTime.length > 0
                        //% "due %1"
                        text: model.allDay && !model.endDay ? qsTrId("hv_app_todo_due_today")
                              : qsTrId("hv_app_todo_due").arg([model.endTime, model.endDay].join(" ").trim())
                        opacity: 0.7
                    }
                }
            }

            // The card shows the first few; the rest are a tap away.
            Controls.Label {
                objectName: "moreEvents"
                readonly property int more: Math.max(0, wholeDays.count - 2) + Math.max(0, events.count - 3)
                                            + Math.max(0, todos.count - 3)
                visible: more > 0
                //% "%n more"
                text: qsTrId("hv_app_more_events", more)
                opacity: 0.7
            }
        }

        TodayCard {
            //% "Messages"
            title: qsTrId("hv_app_messages")
            visible: applicationWindow().showMessages
            iconName: "mail-message"
            quietText: !messages.sourceAvailable
                       //% "No SMS or e-mail source is installed."
                       ? qsTrId("hv_app_messages_no_source")
                       : messages.count === 0
                         //% "No messages today."
                         ? qsTrId("hv_app_messages_empty") : ""
            onOpened: page.openRequested("messages")

            Repeater {
                model: messages
                delegate: RowLayout {
                    visible: index < 3
                    Layout.fillWidth: true
                    Kirigami.Icon {
                        source: model.messageType === 2 ? "smartphone" : "mail-unread"
                        Layout.preferredWidth: Kirigami.Units.iconSizes.small
                        Layout.preferredHeight: Layout.preferredWidth
                    }
                    ColumnLayout {
                        Layout.fillWidth: true
                        spacing: 0
                        Controls.Label {
                            text: model.from
                            textFormat: Text.PlainText
                            font.bold: true
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                        }
                        Controls.Label {
                            text: model.messageType === 2 || model.subject.length === 0 ? model.plainBody : model.subject
                            textFormat: Text.PlainText
                            Layout.fillWidth: true
                            elide: Text.ElideRight
                            maximumLineCount: 1
                            opacity: 0.8
                        }
                    }
                    Controls.Label {
                        text: model.startTime
                        opacity: 0.7
                    }
                }
            }
        }

        TodayCard {
            //% "Feeds"
            title: qsTrId("hv_app_feeds")
            visible: applicationWindow().showFeeds
            iconName: "application-rss+xml"
            quietText: !feeds.sourceAvailable
                       //% "No feeds source is installed."
                       ? qsTrId("hv_app_feeds_no_source") : ""
            onOpened: page.openRequested("feeds")

            Controls.Label {
                visible: feeds.sourceAvailable
                Layout.fillWidth: true
                //% "%n new feed message(s) today"
                text: qsTrId("hv_app_feeds_count", feeds.count)
            }
        }
    }
}
