<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
    SPDX-FileCopyrightText: 2026 The Halvane developers
    SPDX-License-Identifier: LGPL-2.1-or-later
-->
<TS version="2.1" language="de">
<context>
    <name></name>
    <message id="hv_service_handler_failed_msg">
        <source>Synchronization failed: no services are available.</source>
        <translation>Synchronisierung fehlgeschlagen: Es sind keine Dienste verfügbar.</translation>
    </message>
    <message id="hv_service_handler_cancel_msg">
        <source>The operation was cancelled.</source>
        <translation>Der Vorgang wurde abgebrochen.</translation>
    </message>
    <message id="hv_app_events">
        <source>Events</source>
        <translation>Termine</translation>
    </message>
    <message id="hv_app_events_none">
        <source>Nothing on the calendar today.</source>
        <translation>Heute steht nichts im Kalender.</translation>
    </message>
    <message id="hv_app_event_with">
        <source>With %1</source>
        <translation>Mit %1</translation>
    </message>
    <message id="hv_app_feeds">
        <source>Feeds</source>
        <translation>Feeds</translation>
    </message>
    <message id="hv_app_feeds_empty">
        <source>No feed messages today.</source>
        <translation>Heute keine Feed-Nachrichten.</translation>
    </message>
    <message id="hv_app_no_source">
        <source>No source for these items is installed.</source>
        <translation>Für diese Einträge ist keine Quelle installiert.</translation>
    </message>
    <message id="hv_app_read_aloud">
        <source>Read aloud</source>
        <translation>Vorlesen</translation>
    </message>
    <message id="hv_app_call_back">
        <source>Call back</source>
        <translation>Zurückrufen</translation>
    </message>
    <message id="hv_app_attendees">
        <source>Attendees</source>
        <translation>Teilnehmer</translation>
    </message>
    <message id="hv_app_from">
        <source>From:</source>
        <translation>Von:</translation>
    </message>
    <message id="hv_app_time">
        <source>Time:</source>
        <translation>Zeit:</translation>
    </message>
    <message id="hv_app_place">
        <source>Place:</source>
        <translation>Ort:</translation>
    </message>
    <message id="hv_app_channel">
        <source>Channel:</source>
        <translation>Kanal:</translation>
    </message>
    <message id="hv_app_attachments">
        <source>Attachments</source>
        <translation>Anhänge</translation>
    </message>
    <message id="hv_app_title">
        <source>Halvane</source>
        <translation>Halvane</translation>
    </message>
    <message id="hv_app_settings">
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message id="hv_app_listening">
        <source>Listening</source>
        <translation>Hört zu</translation>
    </message>
    <message id="hv_app_messages">
        <source>Messages</source>
        <translation>Nachrichten</translation>
    </message>
    <message id="hv_app_messages_empty">
        <source>No messages today.</source>
        <translation>Heute keine Nachrichten.</translation>
    </message>
    <message id="hv_app_cities">
        <source>Weather cities</source>
        <translation>Städte für das Wetter</translation>
    </message>
    <message id="hv_app_default_city">
        <source>Default city</source>
        <translation>Standardstadt</translation>
    </message>
    <message id="hv_app_remove">
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message id="hv_app_cities_empty">
        <source>No cities yet.</source>
        <translation>Noch keine Städte.</translation>
    </message>
    <message id="hv_app_city_id">
        <source>City id</source>
        <translation>Stadt-ID</translation>
    </message>
    <message id="hv_app_city_name">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="hv_app_add">
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message id="hv_app_voice_control">
        <source>Voice control</source>
        <translation>Sprachsteuerung</translation>
    </message>
    <message id="hv_app_today">
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message id="hv_app_weather">
        <source>Weather</source>
        <translation>Wetter</translation>
    </message>
    <message id="hv_app_weather_no_source">
        <source>No weather source is installed.</source>
        <translation>Keine Wetterquelle installiert.</translation>
    </message>
    <message id="hv_app_weather_empty">
        <source>No forecast yet. Add a city in the settings.</source>
        <translation>Noch keine Vorhersage. Fügen Sie in den Einstellungen eine Stadt hinzu.</translation>
    </message>
    <message id="hv_app_temperature_range">
        <source>%1° / %2°</source>
        <translation>%1° / %2°</translation>
    </message>
    <message id="hv_app_next_events">
        <source>Next</source>
        <translation>Als Nächstes</translation>
    </message>
    <message id="hv_app_events_no_source">
        <source>No calendar is installed.</source>
        <translation>Kein Kalender installiert.</translation>
    </message>
    <message id="hv_app_events_empty">
        <source>Nothing more on the calendar today.</source>
        <translation>Heute steht nichts mehr im Kalender.</translation>
    </message>
    <message id="hv_app_messages_no_source">
        <source>No SMS or e-mail source is installed.</source>
        <translation>Keine SMS- oder E-Mail-Quelle installiert.</translation>
    </message>
    <message id="hv_app_feeds_no_source">
        <source>No feeds source is installed.</source>
        <translation>Keine Feed-Quelle installiert.</translation>
    </message>
    <message id="hv_app_feeds_count" numerus="yes">
        <source>%n new feed message(s) today</source>
        <translation>
            <numerusform>%n neue Feed-Nachricht heute</numerusform>
            <numerusform>%n neue Feed-Nachrichten heute</numerusform>
        </translation>
    </message>
    <message id="hv_app_more_events" numerus="yes">
        <source>%n more</source>
        <translation>
            <numerusform>%n weiterer Eintrag</numerusform>
            <numerusform>%n weitere Einträge</numerusform>
        </translation>
    </message>
    <message id="hv_app_weather_no_forecast">
        <source>No forecast yet</source>
        <translation>Noch keine Vorhersage</translation>
    </message>
    <message id="hv_app_wind">
        <source>Wind %1 km/h %2</source>
        <translation>Wind %1 km/h %2</translation>
    </message>
    <message id="hv_app_until_now">
        <source>now</source>
        <translation>jetzt</translation>
    </message>
    <message id="hv_app_until_minutes" numerus="yes">
        <source>in %n min</source>
        <translation>
            <numerusform>in %n Min.</numerusform>
            <numerusform>in %n Min.</numerusform>
        </translation>
    </message>
    <message id="hv_app_until_hours">
        <source>in %1 h %2 min</source>
        <translation>in %1 Std. %2 Min.</translation>
    </message>
    <message id="hv_app_call_nothing">
        <source>There is no number or address to call.</source>
        <translation>Es gibt keine Nummer und keine Adresse zum Anrufen.</translation>
    </message>
    <message id="hv_app_call_no_modem">
        <source>Calls are not available: no modem was found.</source>
        <translation>Anrufe sind nicht möglich: Es wurde kein Modem gefunden.</translation>
    </message>
    <message id="hv_app_call_no_contact">
        <source>No contact has the address %1.</source>
        <translation>Kein Kontakt hat die Adresse %1.</translation>
    </message>
    <message id="hv_app_call_no_number">
        <source>The contact has no phone number.</source>
        <translation>Der Kontakt hat keine Telefonnummer.</translation>
    </message>
    <message id="hv_app_call_failed">
        <source>%1 could not be called: %2.</source>
        <translation>%1 konnte nicht angerufen werden: %2.</translation>
    </message>
    <message id="hv_app_today_shows">
        <source>On the Today page</source>
        <translation>Auf der Seite „Heute“</translation>
    </message>
    <message id="hv_app_todo_due">
        <source>due %1</source>
        <translation>fällig %1</translation>
    </message>
    <message id="hv_app_todo_due_today">
        <source>due today</source>
        <translation>heute fällig</translation>
    </message>
    <message id="hv_app_due">
        <source>Due</source>
        <translation>Fällig</translation>
    </message>
    <message id="hv_app_all_day">
        <source>All day</source>
        <translation>Ganztägig</translation>
    </message>
    <message id="hv_app_todo">
        <source>To-do</source>
        <translation>Aufgabe</translation>
    </message>
    <message id="hv_app_speech_voice">
        <source>Speech voice</source>
        <translation>Vorlesestimme</translation>
    </message>
    <message id="hv_app_voice_standard">
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message id="hv_app_voice_en_us">
        <source>American English</source>
        <translation>Amerikanisches Englisch</translation>
    </message>
    <message id="hv_app_voice_en_gb">
        <source>British English</source>
        <translation>Britisches Englisch</translation>
    </message>
    <message id="hv_app_voice_en_scotland">
        <source>Scottish English</source>
        <translation>Schottisches Englisch</translation>
    </message>
    <message id="hv_app_voice_en_caribbean">
        <source>Caribbean English</source>
        <translation>Karibisches Englisch</translation>
    </message>
    <message id="hv_app_voice_en_us_female">
        <source>American English, female</source>
        <translation>Amerikanisches Englisch, weiblich</translation>
    </message>
    <message id="hv_app_card_mobile">
        <source>Mobile</source>
        <translation>Mobil</translation>
    </message>
    <message id="hv_app_card_fax">
        <source>Fax</source>
        <translation>Fax</translation>
    </message>
    <message id="hv_app_card_work">
        <source>Work</source>
        <translation>Arbeit</translation>
    </message>
    <message id="hv_app_card_home">
        <source>Home</source>
        <translation>Privat</translation>
    </message>
    <message id="hv_app_card_phone">
        <source>Phone</source>
        <translation>Telefon</translation>
    </message>
    <message id="hv_app_card_unknown">
        <source>Unknown contact</source>
        <translation>Unbekannter Kontakt</translation>
    </message>
    <message id="hv_app_card_call">
        <source>Call %1</source>
        <translation>%1 anrufen</translation>
    </message>
    <message id="hv_app_card_no_numbers">
        <source>This contact has no phone number.</source>
        <translation>Dieser Kontakt hat keine Telefonnummer.</translation>
    </message>
    <message id="hv_app_yesterday">
        <source>yesterday</source>
        <translation>gestern</translation>
    </message>
    <message id="hv_app_tomorrow">
        <source>tomorrow</source>
        <translation>morgen</translation>
    </message>
</context>
</TS>
