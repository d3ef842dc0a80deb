// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

import QtQuick 2.15
import QtTest 1.2
import Halvane 1.0

TestCase {
    id: test
    name: "HalvaneApp"
    when: windowShown

    property var app

    function initTestCase() {
        var component = Qt.createComponent("qrc:/main.qml")
        verify(component.status === Component.Ready, component.errorString())
        app = component.createObject(null)
        verify(app)
        // Voice control comes up once the test voice says it is ready.
        tryCompare(testVoice, "screen", 0)
    }

    function cleanupTestCase() {
        app.destroy()
    }

    function openMessages() {
        app.openPage("messages")
        var page = app.pageStack.currentItem
        compare(page.title, "Messages")
        tryVerify(function() { return page.model.count >= 2 })
        return page
    }

    function test_1_pageShowsItsRowsAndLiveAdditions() {
        var page = openMessages()
        compare(page.model.count, 2)
        // Newest first; the voice was told which screen is shown.
        compare(page.model.get(0).from, "bob@example.org")
        compare(page.model.get(1).from, "Ada")
        tryCompare(testVoice, "screen", Voice.MessagesScreen)
        // Remote content is gone before the body reaches the view.
        verify(page.model.get(0).richBody.indexOf("127.0.0.1") < 0)
        verify(page.model.get(0).richBody.indexOf("the plan") >= 0)
        // A line of the list shows the text of an HTML mail, not its markup.
        verify(page.model.get(0).plainBody.indexOf("the plan") >= 0)
        verify(page.model.get(0).plainBody.indexOf("<") < 0)
        compare(page.model.get(0).attachments[0].fileName, "agenda.pdf")
        verify(page.model.get(0).attachments[0].sizeText.indexOf("KiB") > 0)

        verify(testSetup.writeItems("halvanetestmessage", [
            { "id": "m1", "date": "today 08:00", "from": "Ada", "messageType": 2, "body": "Bring the keys" },
            { "id": "m2", "date": "today 09:00", "from": "bob@example.org", "messageType": 1, "subject": "Agenda",
              "body": "Q&amp;A at <https://example.org/a>\n> if x < 3" },
            { "id": "m3", "date": "today 09:30", "from": "Cy", "messageType": 2, "body": "Late <b>by</b> ten" }
        ]))
        tryCompare(page.model, "count", 3, 10000)
        compare(page.model.get(0).from, "Cy")
        // Named with its source: another source's "m3" is another row.
        compare(page.model.get(0).itemId, "halvanetestmessage/m3")
        // An SMS is text as typed, markup included.
        verify(page.model.get(0).richBody.indexOf("&lt;b&gt;by&lt;/b&gt;") >= 0)
        // The row the user was on stays current.
        compare(page.model.get(page.currentIndex).from, "bob@example.org")
        // Plain text with an entity in it is still text: its link and lines stay.
        verify(page.model.get(page.currentIndex).plainBody.indexOf("<https://example.org/a>") >= 0)
        verify(page.model.get(page.currentIndex).richBody.indexOf("<br>") >= 0)
    }

    function test_2_nextMovesTheCurrentItem() {
        var page = openMessages()
        page.currentIndex = 0
        testVoice.say(10) // next
        compare(page.currentIndex, 1)
        testVoice.say(11) // previous
        compare(page.currentIndex, 0)
    }

    function test_3_readHandsTheTextToTheReader() {
        var page = openMessages()
        page.currentIndex = 0
        var expected = page.model.get(0).speechText
        verify(expected.length > 0)
        testVoice.say(8) // read
        compare(testSpeech.lastText, expected)
        compare(testVoice.speechStatus, Reader.Started)
        testSpeech.finish()
        compare(testVoice.speechStatus, Reader.Stopped)
        // A reading stopped by voice does not hold the next one.
        testVoice.say(8)
        testVoice.say(12) // stop
        testVoice.say(8)
        compare(testVoice.speechStatus, Reader.Started)
        verify(!testSpeech.holding)
        testSpeech.finish()

        // MORE opens the item in full; BACK returns to the list.
        testVoice.say(15)
        var detail = app.pageStack.currentItem
        verify(detail !== page)
        compare(detail.item.itemId, page.model.get(0).itemId)
        testVoice.say(5)
        compare(app.pageStack.currentItem, page)
    }

    SignalSpy { id: busyChanges; signalName: "busyChanged" }

    function test_3a_aReaderAnswersForItsOwnReading() {
        var first = Qt.createQmlObject("import Halvane 1.0; Reader {}", test)
        var second = Qt.createQmlObject("import Halvane 1.0; Reader {}", test)
        var spy = Qt.createQmlObject("import QtTest 1.2; SignalSpy { signalName: \"speakingFinished\" }", test)
        spy.target = second
        // Nothing to read ends at once, for whoever waits for the end.
        second.sayText("")
        tryCompare(spy, "count", 1)
        // The other reader's reading is not this one's.
        first.sayText("Hello")
        testSpeech.finish()
        compare(spy.count, 1)
        compare(first.state, Reader.Stopped)
        // One reader stopped halfway holds no other's reading: that one is read.
        first.sayText("One. Two.")
        first.stop()
        verify(testSpeech.holding)
        second.sayText("Now me")
        verify(!testSpeech.holding)
        testSpeech.finish()
        compare(spy.count, 2)
        // A prompt of one cuts off the other's reading, whose end it is not.
        first.sayText("A long mail")
        compare(first.state, Reader.Started)
        var firstSpy = Qt.createQmlObject("import QtTest 1.2; SignalSpy { signalName: \"speakingFinished\" }", test)
        firstSpy.target = first
        second.sayCommand("Prompt")
        compare(first.state, Reader.Stopped)
        testSpeech.finish()
        compare(firstSpy.count, 0)
        firstSpy.destroy()
        // A reader that goes while it reads takes its reading along.
        first.sayText("A long mail")
        var commands = testSpeech.commands
        first.destroy()
        tryCompare(testSpeech, "commands", commands + 1)
        second.destroy()
        spy.destroy()
    }

    function test_4_theDayMovesOn() {
        app.openPage("events")
        var page = app.pageStack.currentItem
        tryCompare(page.model, "count", 1)
        compare(page.model.get(0).displayLabel, "Today's meeting")
        busyChanges.target = page.model
        busyChanges.clear()
        var tomorrow = new Date()
        tomorrow.setDate(tomorrow.getDate() + 1)
        tomorrow.setHours(0, 0, 30)
        Today.clock = tomorrow
        tryVerify(function() { return page.model.count === 1 && page.model.get(0).displayLabel === "Tomorrow's meeting" }, 10000)
        // Busy while the new day was retrieved, for the view's indicator.
        tryCompare(page.model, "busy", false)
        compare(busyChanges.count, 2)
        // The day in the local zone (the test runs west of UTC).
        compare(Today.day.getDate(), tomorrow.getDate())
        Today.clock = new Date(NaN)
        tryVerify(function() { return page.model.count === 1 && page.model.get(0).displayLabel === "Today's meeting" }, 10000)
    }

    Cities { id: cities }

    function test_5_citiesAreEditedInTheSettingsFile() {
        compare(cities.count, 0)
        verify(cities.add("oslo", "Oslo", "NO", "Europe/Oslo"))
        verify(cities.add("lima", "Lima", "PE", "America/Lima"))
        verify(!cities.add("oslo", "Oslo again"))
        verify(!cities.add("cityId:oslo", "Oslo as the file writes it"))
        verify(!cities.add("a;b", "Not a city"))
        // The first city is the default until another is made so.
        compare(cities.defaultCity, "oslo")
        verify(cities.makeDefault("lima"))
        compare(cities.defaultCity, "lima")
        var other = Qt.createQmlObject("import Halvane 1.0; Cities {}", test)
        compare(other.count, 2)
        compare(other.defaultCity, "lima")
        verify(cities.remove("lima"))
        compare(cities.defaultCity, "oslo")
        compare(cities.count, 1)
        other.destroy()
        // Written by hand, unquoted: read as the weather source reads it,
        // and an edit keeps it.
        verify(testSetup.writeSettings("[General]\ncities=cityId:paris,Paris,FR,Europe/Paris,default\n"))
        tryCompare(cities, "defaultCity", "paris")
        compare(cities.count, 1)
        verify(cities.add("rome", "Rome", "IT", "Europe/Rome"))
        compare(cities.count, 2)
        compare(cities.defaultCity, "paris")
        // A name beyond the first plane of Unicode comes back whole.
        verify(cities.add("yoshino", "\u{20BB7}\u91CE \u{1F3D9}", "JP"))
        // As another program reads the file (the process caches what it wrote).
        verify(testSetup.writeSettings(testSetup.readSettings() + "\n"))
        tryCompare(cities, "count", 3)
        var again = Qt.createQmlObject("import Halvane 1.0; Cities {}", test)
        compare(again.data(again.index(2, 0), Qt.UserRole + 2), "\u{20BB7}\u91CE \u{1F3D9}")
        again.destroy()
    }

    function test_6_weatherIconNames() {
        compare(WeatherIcon.name("qrc:/img/03.svg"), "weather-few-clouds")
        compare(WeatherIcon.name("qrc:/img/34.svg"), "weather-clear-night")
        compare(WeatherIcon.name("qrc:/img/12.svg", true), "weather-showers")
        compare(WeatherIcon.name("qrc:/img/14.svg", true), "weather-showers-scattered-night")
        compare(WeatherIcon.name("qrc:/img/Weather-partlycloudy-Tiny-1.2.svg"), "weather-none-available")
    }

    Caller { id: caller }
    SignalSpy { id: callFailures; target: caller; signalName: "callFailed" }

    function test_7_aCallThatCannotBePlacedSaysSo() {
        // Nothing to call; and no modem (the test has no system bus).
        caller.makeCall("phone", "")
        compare(callFailures.count, 1)
        caller.makeCall("phone", "+15550101")
        compare(callFailures.count, 2)
        verify(callFailures.signalArguments[1][0].length > 0)
    }

    ItemModel { id: todoRows; itemType: "event"; todos: ItemModel.OnlyTodos; dueOn: Today.now }
    ItemModel { id: eventRows; itemType: "event"; todos: ItemModel.WithoutTodos }
    // As "Next" on the Today page lists them: the whole-day ones apart.
    ItemModel { id: timedRows; itemType: "event"; todos: ItemModel.WithoutTodos; wholeDays: ItemModel.WithoutWholeDays }
    // As the Today page shows them: what is still to come.
    ItemModel { id: comingRows; itemType: "event"; todos: ItemModel.WithoutTodos; endingAfter: Today.now }

    function test_8_todosAreMarkedAndKeptApart() {
        verify(testSetup.writeItems("halvanetestevent", [
            { "id": "e1", "startDateTime": "today 10:00", "endDateTime": "today 11:00", "displayLabel": "Today's meeting" },
            { "id": "t1", "startDateTime": "today 09:00", "endDateTime": "today 17:00", "displayLabel": "Send the report", "Todo": true },
            { "id": "t2", "startDateTime": "today 09:00", "endDateTime": "tomorrow 17:00", "displayLabel": "Pack", "Todo": true },
            // Due on a day, not at a time.
            { "id": "t3", "endDateTime": "today 00:00", "displayLabel": "Call the bank", "Todo": true },
            { "id": "a1", "startDateTime": "today 00:00", "endDateTime": "today 00:00", "displayLabel": "Holiday",
              "participants": [ { "name": "Ann" }, { "email": "noname@example.org" } ] }
        ]))
        tryCompare(todoRows, "count", 2, 10000)
        tryCompare(eventRows, "count", 2, 10000)
        // A day off has no clock time; the meeting has.
        var holiday = eventRows.get(0).displayLabel === "Holiday" ? 0 : 1
        compare(eventRows.get(holiday).displayLabel, "Holiday")
        verify(eventRows.get(holiday).allDay)
        verify(eventRows.get(holiday).speechText.indexOf("00:00") < 0)
        compare(eventRows.get(1 - holiday).allDay, false)
        compare(timedRows.count, 1)
        compare(timedRows.get(0).displayLabel, "Today's meeting")
        var report = todoRows.get(0).displayLabel === "Send the report" ? 0 : 1
        compare(todoRows.get(report).displayLabel, "Send the report")
        verify(todoRows.get(report).isTodo)
        compare(todoRows.get(report).endDateTime, "17:00")
        compare(todoRows.get(report).endTime, "5:00 PM")
        compare(todoRows.get(report).startTime, "9:00 AM")
        compare(eventRows.get(holiday).startTime, "")
        compare(todoRows.get(report).allDay, false)
        verify(todoRows.get(1 - report).allDay)
        // Who has no name goes by the address.
        compare(eventRows.get(holiday).participants, ["Ann", "noname@example.org"])
        // A filter changed: the count changes once, to what it ends at.
        var all = Qt.createQmlObject("import Halvane 1.0; ItemModel { itemType: \"event\" }", test)
        tryCompare(all, "count", 5)
        var counted = Qt.createQmlObject("import QtTest 1.2; SignalSpy { signalName: \"countChanged\" }", test)
        counted.target = all
        all.todos = ItemModel.OnlyTodos
        compare(all.count, 3)
        compare(counted.count, 1)
        counted.destroy()
        all.destroy()
        compare(eventRows.get(1 - holiday).isTodo, false)
        // A day off lasts until the day's end.
        tryVerify(function() {
            for (var i = 0; i < comingRows.count; ++i)
                if (comingRows.get(i).displayLabel === "Holiday")
                    return true
            return false
        })
    }

    function test_8a_anEntryOfLastNightSaysSo() {
        verify(testSetup.writeItems("halvanetestevent", [
            { "id": "n1", "startDateTime": "yesterday 22:00", "endDateTime": "today 02:00", "displayLabel": "Night shift" },
            { "id": "e1", "startDateTime": "today 10:00", "endDateTime": "tomorrow 01:00", "displayLabel": "Party" }
        ]))
        tryCompare(timedRows, "count", 2, 10000)
        var night = timedRows.get(0).displayLabel === "Night shift" ? 0 : 1
        // Its "22:00" alone would read as tonight.
        compare(timedRows.get(night).startDateTime, "22:00")
        compare(timedRows.get(night).startDay, "yesterday")
        compare(timedRows.get(night).endDay, "")
        compare(timedRows.get(1 - night).startDay, "")
        compare(timedRows.get(1 - night).endDay, "tomorrow")
    }

    function test_8b_theCalendarOpensAtWhatIsNext() {
        var noon = new Date()
        noon.setHours(12, 0, 0)
        Today.clock = noon
        verify(testSetup.writeItems("halvanetestevent", [
            { "id": "b1", "startDateTime": "today 08:00", "endDateTime": "today 09:00", "displayLabel": "Breakfast" },
            { "id": "b2", "startDateTime": "today 11:30", "endDateTime": "today 12:30", "displayLabel": "Stand-up" },
            { "id": "b3", "startDateTime": "today 15:00", "endDateTime": "today 16:00", "displayLabel": "Review" },
            { "id": "b4", "startDateTime": "today 15:00", "endDateTime": "today 16:00", "displayLabel": "Planning" }
        ]))
        tryCompare(timedRows, "count", 4, 10000)
        app.openPage("events")
        var page = app.pageStack.currentItem
        tryCompare(page.model, "count", 4)
        // On now, not the first of the day; "read" reads it.
        compare(page.current().displayLabel, "Stand-up")
        // At one time, in one order whatever order the source has.
        compare(page.model.get(2).displayLabel, "Planning")
        compare(page.model.get(3).displayLabel, "Review")
        Today.clock = new Date(NaN)
    }

    Reader { id: voiceReader }

    function test_9_speechVoiceIsKeptInTheSettingsFile() {
        compare(voiceReader.voice, "")
        voiceReader.voice = "en-us+f3"
        var other = Qt.createQmlObject("import Halvane 1.0; Reader {}", test)
        compare(other.voice, "en-us+f3")
        voiceReader.voice = ""
        compare(other.voice, "")
        other.destroy()
    }

    ItemModel { id: switching; itemType: "event" }
    ListView {
        id: switchingView
        model: switching
        width: 100; height: 400
        delegate: Item { property var sender: model.from; width: 10; height: 10 }
    }

    function test_9a_theTypeChangesUnderAView() {
        tryVerify(function() { return switching.count > 0 })
        switching.itemType = "message"
        tryVerify(function() { return switching.count >= 2 })
        // The rows' roles are the new type's, though the view asked for the names before.
        tryVerify(function() { var row = switchingView.itemAtIndex(0); return row && row.sender !== undefined && row.sender !== "" })
    }

    ItemModel { id: feeds; itemType: "feed" }

    function test_9b_feedTitlesAreReadWithoutMarkup() {
        verify(testSetup.writeItems("halvanetestmessage", [
            { "id": "f1", "type": "feed", "date": "today 10:00", "channel": "Town <i>News</i>",
              "title": "<b>Market</b> opens", "body": "At <i>seven</i>." },
            // An excerpt as WordPress sends it: entities, no tags.
            { "id": "f2", "type": "feed", "date": "today 11:00", "channel": "Blog", "title": "Week",
              "body": "It&#8217;s done &#8211; [&#8230;]" },
            // Megabytes of text: shown by its start, which lays out at once.
            { "id": "f3", "type": "feed", "date": "today 12:00", "channel": "Log", "title": "Log",
              "body": "a line of the log\n".repeat(100000) },
            // A table of many columns, which a phone's width cannot hold: a line a row.
            { "id": "f4", "type": "feed", "date": "today 13:00", "channel": "Stats", "title": "Table",
              // and beside it one of three columns, which it can.
              "body": "<table><tr>" + "<th>Column</th>".repeat(12) + "</tr><tr>" + "<td>42</td>".repeat(12) + "</tr></table>"
                      + "<table><tr><td>Name</td><td>Age</td><td>City</td></tr></table>" }
        ]))
        tryCompare(feeds, "count", 4, 10000)
        verify(feeds.get(3).richBody.indexOf("<td>42") < 0)
        verify(feeds.get(3).richBody.indexOf("Column") >= 0 && feeds.get(3).richBody.indexOf("42") >= 0)
        verify(feeds.get(3).richBody.indexOf("<td>Age</td>") >= 0)
        verify(feeds.get(2).richBody.length < 200000)
        compare(feeds.get(0).speechText, "Town News. Market opens. At seven.")
        compare(feeds.get(1).plainBody, "It\u2019s done \u2013 [\u2026]")
        verify(feeds.get(1).richBody.indexOf("&amp;") < 0)
    }

    ItemModel { id: forecasts; itemType: "weather" }

    function test_9c_aCityWithoutForecastSaysSo() {
        // As the weather source stands for a city it could not fetch.
        verify(testSetup.writeItems("halvanetestmessage", [
            { "id": "w1", "type": "weather", "date": "today 06:00", "city": "Oslo", "description": "Disconnected",
              "temperatureMin": "-", "temperatureMax": "-" },
            { "id": "w2", "type": "weather", "date": "today 06:00", "city": "Rome", "description": "Sunny",
              "temperatureMin": "14", "temperatureMax": "22" }
        ]))
        tryCompare(forecasts, "count", 2, 10000)
        var oslo = forecasts.get(0).city === "Oslo" ? 0 : 1
        compare(forecasts.get(oslo).hasForecast, false)
        compare(forecasts.get(oslo).speechText, "Oslo. No forecast yet")
        compare(forecasts.get(1 - oslo).hasForecast, true)
        compare(forecasts.get(1 - oslo).speechText, "Rome. Sunny. 14 / 22")
    }
    function test_9d_theTodayCardSaysHowManyMore() {
        // Whole days: they last until midnight, whenever the test runs.
        var today = []
        for (var i = 0; i < 4; ++i)
            today.push({ "id": "n" + i, "date": "today 00:00", "startDateTime": "today 00:00",
                         "endDateTime": "tomorrow 00:00", "displayLabel": "Holiday " + i })
        verify(testSetup.writeItems("halvanetestevent", today))
        app.goHome()
        var more = findChild(app.pageStack.currentItem, "moreEvents")
        verify(more)
        tryCompare(more, "text", "2 more", 10000)
        verify(more.visible)
    }

    // Every text item of a page showing the given text, whatever its depth.
    function textsShowing(item, text, found) {
        found = found || []
        if (item.text !== undefined && item.textFormat !== undefined && String(item.text).indexOf(text) >= 0)
            found.push(item)
        for (var i = 0; i < item.children.length; ++i)
            textsShowing(item.children[i], text, found)
        return found
    }

    function test_9e_namesAndSummariesAreNoMarkup() {
        // An invitation's summary or a contact's name is text: no bold, no
        // picture of the phone's files laid over the page.
        verify(testSetup.writeItems("halvanetestevent", [
            { "id": "x1", "date": "today 00:00", "startDateTime": "today 00:00", "endDateTime": "tomorrow 00:00",
              "displayLabel": "Budget <b>draft</b>", "locationName": "<i>Room</i> 4" }
        ]))
        verify(testSetup.writeItems("halvanetestmessage", [
            { "id": "x2", "date": "today 08:00", "from": "Tom <i>work</i>", "messageType": 2, "body": "hi" }
        ]))
        var shown = 0
        for (var name of ["today", "events", "messages"]) {
            if (name === "today")
                app.goHome()
            else
                app.openPage(name)
            var page = app.pageStack.currentItem
            var texts = []
            tryVerify(function() {
                texts = textsShowing(page, "<b>draft</b>").concat(textsShowing(page, "<i>Room</i>"),
                                                                  textsShowing(page, "Tom <i>work</i>"))
                return texts.length > 0
            }, 10000, name)
            for (var i = 0; i < texts.length; ++i)
                compare(texts[i].textFormat, Text.PlainText, name + ": " + texts[i].text)
            shown += texts.length
            // And the entry's own page.
            if (name === "events") {
                app.openItem(page.model.get(0), page)
                var entry = app.pageStack.currentItem
                texts = textsShowing(entry, "<b>draft</b>").concat(textsShowing(entry, "<i>Room</i>"))
                verify(texts.length >= 2)
                for (i = 0; i < texts.length; ++i)
                    compare(texts[i].textFormat, Text.PlainText, "entry: " + texts[i].text)
            }
        }
        verify(shown >= 4)
    }
}
