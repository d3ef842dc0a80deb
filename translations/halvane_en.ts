<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
    SPDX-FileCopyrightText: 2026 The Halvane developers
    SPDX-License-Identifier: LGPL-2.1-or-later
-->
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="hv_service_handler_failed_msg">
        <source>Synchronization failed: no services are available.</source>
        <translation>Synchronization failed: no services are available.</translation>
    </message>
    <message id="hv_service_handler_cancel_msg">
        <source>The operation was cancelled.</source>
        <translation>The operation was cancelled.</translation>
    </message>
    <message id="hv_app_events">
        <source>Events</source>
        <translation>Events</translation>
    </message>
    <message id="hv_app_events_none">
        <source>Nothing on the calendar today.</source>
        <translation>Nothing on the calendar today.</translation>
    </message>
    <message id="hv_app_event_with">
        <source>With %1</source>
        <translation>With %1</translation>
    </message>
    <message id="hv_app_feeds">
        <source>Feeds</source>
        <translation>Feeds</translation>
    </message>
    <message id="hv_app_feeds_empty">
        <source>No feed messages today.</source>
        <translation>No feed messages today.</translation>
    </message>
    <message id="hv_app_no_source">
        <source>No source for these items is installed.</source>
        <translation>No source for these items is installed.</translation>
    </message>
    <message id="hv_app_read_aloud">
        <source>Read aloud</source>
        <translation>Read aloud</translation>
    </message>
    <message id="hv_app_call_back">
        <source>Call back</source>
        <translation>Call back</translation>
    </message>
    <message id="hv_app_attendees">
        <source>Attendees</source>
        <translation>Attendees</translation>
    </message>
    <message id="hv_app_from">
        <source>From:</source>
        <translation>From:</translation>
    </message>
    <message id="hv_app_time">
        <source>Time:</source>
        <translation>Time:</translation>
    </message>
    <message id="hv_app_place">
        <source>Place:</source>
        <translation>Place:</translation>
    </message>
    <message id="hv_app_channel">
        <source>Channel:</source>
        <translation>Channel:</translation>
    </message>
    <message id="hv_app_attachments">
        <source>Attachments</source>
        <translation>Attachments</translation>
    </message>
    <message id="hv_app_title">
        <source>Halvane</source>
        <translation>Halvane</translation>
    </message>
    <message id="hv_app_settings">
        <source>Settings</source>
        <translation>Settings</translation>
    </message>
    <message id="hv_app_listening">
        <source>Listening</source>
        <translation>Listening</translation>
    </message>
    <message id="hv_app_messages">
        <source>Messages</source>
        <translation>Messages</translation>
    </message>
    <message id="hv_app_messages_empty">
        <source>No messages today.</source>
        <translation>No messages today.</translation>
    </message>
    <message id="hv_app_cities">
        <source>Weather cities</source>
        <translation>Weather cities</translation>
    </message>
    <message id="hv_app_default_city">
        <source>Default city</source>
        <translation>Default city</translation>
    </message>
    <message id="hv_app_remove">
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message id="hv_app_cities_empty">
        <source>No cities yet.</source>
        <translation>No cities yet.</translation>
    </message>
    <message id="hv_app_city_id">
        <source>City id</source>
        <translation>City id</translation>
    </message>
    <message id="hv_app_city_name">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="hv_app_add">
        <source>Add</source>
        <translation>Add</translation>
    </message>
    <message id="hv_app_voice_control">
        <source>Voice control</source>
        <translation>Voice control</translation>
    </message>
    <message id="hv_app_today">
        <source>Today</source>
        <translation>Today</translation>
    </message>
    <message id="hv_app_weather">
        <source>Weather</source>
        <translation>Weather</translation>
    </message>
    <message id="hv_app_weather_no_source">
        <source>No weather source is installed.</source>
        <translation>No weather source is installed.</translation>
    </message>
    <message id="hv_app_weather_empty">
        <source>No forecast yet. Add a city in the settings.</source>
        <translation>No forecast yet. Add a city in the settings.</translation>
    </message>
    <message id="hv_app_temperature_range">
        <source>%1° / %2°</source>
        <translation>%1° / %2°</translation>
    </message>
    <message id="hv_app_next_events">
        <source>Next</source>
        <translation>Next</translation>
    </message>
    <message id="hv_app_events_no_source">
        <source>No calendar is installed.</source>
        <translation>No calendar is installed.</translation>
    </message>
    <message id="hv_app_events_empty">
        <source>Nothing more on the calendar today.</source>
        <translation>Nothing more on the calendar today.</translation>
    </message>
    <message id="hv_app_messages_no_source">
        <source>No SMS or e-mail source is installed.</source>
        <translation>No SMS or e-mail source is installed.</translation>
    </message>
    <message id="hv_app_feeds_no_source">
        <source>No feeds source is installed.</source>
        <translation>No feeds source is installed.</translation>
    </message>
    <message id="hv_app_feeds_count" numerus="yes">
        <source>%n new feed message(s) today</source>
        <translation>
            <numerusform>%n new feed message today</numerusform>
            <numerusform>%n new feed messages today</numerusform>
        </translation>
    </message>
    <message id="hv_app_more_events" numerus="yes">
        <source>%n more</source>
        <translation>
            <numerusform>%n more</numerusform>
            <numerusform>%n more</numerusform>
        </translation>
    </message>
    <message id="hv_app_weather_no_forecast">
        <source>No forecast yet</source>
        <translation>No forecast yet</translation>
    </message>
    <message id="hv_app_wind">
        <source>Wind %1 km/h %2</source>
        <translation>Wind %1 km/h %2</translation>
    </message>
    <message id="hv_app_until_now">
        <source>now</source>
        <translation>now</translation>
    </message>
    <message id="hv_app_until_minutes" numerus="yes">
        <source>in %n min</source>
        <translation>
            <numerusform>in %n min</numerusform>
            <numerusform>in %n min</numerusform>
        </translation>
    </message>
    <message id="hv_app_until_hours">
        <source>in %1 h %2 min</source>
        <translation>in %1 h %2 min</translation>
    </message>
    <message id="hv_app_call_nothing">
        <source>There is no number or address to call.</source>
        <translation>There is no number or address to call.</translation>
    </message>
    <message id="hv_app_call_no_modem">
        <source>Calls are not available: no modem was found.</source>
        <translation>Calls are not available: no modem was found.</translation>
    </message>
    <message id="hv_app_call_no_contact">
        <source>No contact has the address %1.</source>
        <translation>No contact has the address %1.</translation>
    </message>
    <message id="hv_app_call_no_number">
        <source>The contact has no phone number.</source>
        <translation>The contact has no phone number.</translation>
    </message>
    <message id="hv_app_call_failed">
        <source>%1 could not be called: %2.</source>
        <translation>%1 could not be called: %2.</translation>
    </message>
    <message id="hv_app_today_shows">
        <source>On the Today page</source>
        <translation>On the Today page</translation>
    </message>
    <message id="hv_app_todo_due">
        <source>due %1</source>
        <translation>due %1</translation>
    </message>
    <message id="hv_app_todo_due_today">
        <source>due today</source>
        <translation>due today</translation>
    </message>
    <message id="hv_app_due">
        <source>Due</source>
        <translation>Due</translation>
    </message>
    <message id="hv_app_all_day">
        <source>All day</source>
        <translation>All day</translation>
    </message>
    <message id="hv_app_todo">
        <source>To-do</source>
        <translation>To-do</translation>
    </message>
    <message id="hv_app_speech_voice">
        <source>Speech voice</source>
        <translation>Speech voice</translation>
    </message>
    <message id="hv_app_voice_standard">
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message id="hv_app_voice_en_us">
        <source>American English</source>
        <translation>American English</translation>
    </message>
    <message id="hv_app_voice_en_gb">
        <source>British English</source>
        <translation>British English</translation>
    </message>
    <message id="hv_app_voice_en_scotland">
        <source>Scottish English</source>
        <translation>Scottish English</translation>
    </message>
    <message id="hv_app_voice_en_caribbean">
        <source>Caribbean English</source>
        <translation>Caribbean English</translation>
    </message>
    <message id="hv_app_voice_en_us_female">
        <source>American English, female</source>
        <translation>American English, female</translation>
    </message>
    <message id="hv_app_card_mobile">
        <source>Mobile</source>
        <translation>Mobile</translation>
    </message>
    <message id="hv_app_card_fax">
        <source>Fax</source>
        <translation>Fax</translation>
    </message>
    <message id="hv_app_card_work">
        <source>Work</source>
        <translation>Work</translation>
    </message>
    <message id="hv_app_card_home">
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message id="hv_app_card_phone">
        <source>Phone</source>
        <translation>Phone</translation>
    </message>
    <message id="hv_app_card_unknown">
        <source>Unknown contact</source>
        <translation>Unknown contact</translation>
    </message>
    <message id="hv_app_card_call">
        <source>Call %1</source>
        <translation>Call %1</translation>
    </message>
    <message id="hv_app_card_no_numbers">
        <source>This contact has no phone number.</source>
        <translation>This contact has no phone number.</translation>
    </message>
    <message id="hv_app_yesterday">
        <source>yesterday</source>
        <translation>yesterday</translation>
    </message>
    <message id="hv_app_tomorrow">
        <source>tomorrow</source>
        <translation>tomorrow</translation>
    </message>
</context>
</TS>
