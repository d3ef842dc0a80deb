<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
    SPDX-FileCopyrightText: 2026 The Halvane developers
    SPDX-License-Identifier: LGPL-2.1-or-later
-->
<TS version="2.1" language="fr">
<context>
    <name></name>
    <message id="hv_service_handler_failed_msg">
        <source>Synchronization failed: no services are available.</source>
        <translation>La synchronisation a échoué : aucun service n’est disponible.</translation>
    </message>
    <message id="hv_service_handler_cancel_msg">
        <source>The operation was cancelled.</source>
        <translation>L’opération a été annulée.</translation>
    </message>
    <message id="hv_app_events">
        <source>Events</source>
        <translation>Agenda</translation>
    </message>
    <message id="hv_app_events_none">
        <source>Nothing on the calendar today.</source>
        <translation>Rien à l’agenda aujourd’hui.</translation>
    </message>
    <message id="hv_app_event_with">
        <source>With %1</source>
        <translation>Avec %1</translation>
    </message>
    <message id="hv_app_feeds">
        <source>Feeds</source>
        <translation>Flux</translation>
    </message>
    <message id="hv_app_feeds_empty">
        <source>No feed messages today.</source>
        <translation>Aucun article de flux aujourd’hui.</translation>
    </message>
    <message id="hv_app_no_source">
        <source>No source for these items is installed.</source>
        <translation>Aucune source n’est installée pour ces éléments.</translation>
    </message>
    <message id="hv_app_read_aloud">
        <source>Read aloud</source>
        <translation>Lire à voix haute</translation>
    </message>
    <message id="hv_app_call_back">
        <source>Call back</source>
        <translation>Rappeler</translation>
    </message>
    <message id="hv_app_attendees">
        <source>Attendees</source>
        <translation>Participants</translation>
    </message>
    <message id="hv_app_from">
        <source>From:</source>
        <translation>De :</translation>
    </message>
    <message id="hv_app_time">
        <source>Time:</source>
        <translation>Heure :</translation>
    </message>
    <message id="hv_app_place">
        <source>Place:</source>
        <translation>Lieu :</translation>
    </message>
    <message id="hv_app_channel">
        <source>Channel:</source>
        <translation>Flux :</translation>
    </message>
    <message id="hv_app_attachments">
        <source>Attachments</source>
        <translation>Pièces jointes</translation>
    </message>
    <message id="hv_app_title">
        <source>Halvane</source>
        <translation>Halvane</translation>
    </message>
    <message id="hv_app_settings">
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message id="hv_app_listening">
        <source>Listening</source>
        <translation>À l’écoute</translation>
    </message>
    <message id="hv_app_messages">
        <source>Messages</source>
        <translation>Messages</translation>
    </message>
    <message id="hv_app_messages_empty">
        <source>No messages today.</source>
        <translation>Aucun message aujourd’hui.</translation>
    </message>
    <message id="hv_app_cities">
        <source>Weather cities</source>
        <translation>Villes de la météo</translation>
    </message>
    <message id="hv_app_default_city">
        <source>Default city</source>
        <translation>Ville par défaut</translation>
    </message>
    <message id="hv_app_remove">
        <source>Remove</source>
        <translation>Supprimer</translation>
    </message>
    <message id="hv_app_cities_empty">
        <source>No cities yet.</source>
        <translation>Aucune ville pour l’instant.</translation>
    </message>
    <message id="hv_app_city_id">
        <source>City id</source>
        <translation>Identifiant de la ville</translation>
    </message>
    <message id="hv_app_city_name">
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message id="hv_app_add">
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message id="hv_app_voice_control">
        <source>Voice control</source>
        <translation>Commande vocale</translation>
    </message>
    <message id="hv_app_today">
        <source>Today</source>
        <translation>Aujourd’hui</translation>
    </message>
    <message id="hv_app_weather">
        <source>Weather</source>
        <translation>Météo</translation>
    </message>
    <message id="hv_app_weather_no_source">
        <source>No weather source is installed.</source>
        <translation>Aucune source météo n’est installée.</translation>
    </message>
    <message id="hv_app_weather_empty">
        <source>No forecast yet. Add a city in the settings.</source>
        <translation>Pas encore de prévisions. Ajoutez une ville dans les paramètres.</translation>
    </message>
    <message id="hv_app_temperature_range">
        <source>%1° / %2°</source>
        <translation>%1° / %2°</translation>
    </message>
    <message id="hv_app_next_events">
        <source>Next</source>
        <translation>À venir</translation>
    </message>
    <message id="hv_app_events_no_source">
        <source>No calendar is installed.</source>
        <translation>Aucun agenda n’est installé.</translation>
    </message>
    <message id="hv_app_events_empty">
        <source>Nothing more on the calendar today.</source>
        <translation>Plus rien à l’agenda aujourd’hui.</translation>
    </message>
    <message id="hv_app_messages_no_source">
        <source>No SMS or e-mail source is installed.</source>
        <translation>Aucune source de SMS ou d’e-mail n’est installée.</translation>
    </message>
    <message id="hv_app_feeds_no_source">
        <source>No feeds source is installed.</source>
        <translation>Aucune source de flux n’est installée.</translation>
    </message>
    <message id="hv_app_feeds_count" numerus="yes">
        <source>%n new feed message(s) today</source>
        <translation>
            <numerusform>%n nouvel article de flux aujourd’hui</numerusform>
            <numerusform>%n nouveaux articles de flux aujourd’hui</numerusform>
        </translation>
    </message>
    <message id="hv_app_more_events" numerus="yes">
        <source>%n more</source>
        <translation>
            <numerusform>%n autre entrée</numerusform>
            <numerusform>%n autres entrées</numerusform>
        </translation>
    </message>
    <message id="hv_app_weather_no_forecast">
        <source>No forecast yet</source>
        <translation>Pas encore de prévisions</translation>
    </message>
    <message id="hv_app_wind">
        <source>Wind %1 km/h %2</source>
        <translation>Vent %1 km/h %2</translation>
    </message>
    <message id="hv_app_until_now">
        <source>now</source>
        <translation>maintenant</translation>
    </message>
    <message id="hv_app_until_minutes" numerus="yes">
        <source>in %n min</source>
        <translation>
            <numerusform>dans %n min</numerusform>
            <numerusform>dans %n min</numerusform>
        </translation>
    </message>
    <message id="hv_app_until_hours">
        <source>in %1 h %2 min</source>
        <translation>dans %1 h %2 min</translation>
    </message>
    <message id="hv_app_call_nothing">
        <source>There is no number or address to call.</source>
        <translation>Il n’y a ni numéro ni adresse à appeler.</translation>
    </message>
    <message id="hv_app_call_no_modem">
        <source>Calls are not available: no modem was found.</source>
        <translation>Les appels sont impossibles : aucun modem n’a été trouvé.</translation>
    </message>
    <message id="hv_app_call_no_contact">
        <source>No contact has the address %1.</source>
        <translation>Aucun contact n’a l’adresse %1.</translation>
    </message>
    <message id="hv_app_call_no_number">
        <source>The contact has no phone number.</source>
        <translation>Le contact n’a pas de numéro de téléphone.</translation>
    </message>
    <message id="hv_app_call_failed">
        <source>%1 could not be called: %2.</source>
        <translation>Impossible d’appeler %1 : %2.</translation>
    </message>
    <message id="hv_app_today_shows">
        <source>On the Today page</source>
        <translation>Sur la page Aujourd’hui</translation>
    </message>
    <message id="hv_app_todo_due">
        <source>due %1</source>
        <translation>échéance %1</translation>
    </message>
    <message id="hv_app_todo_due_today">
        <source>due today</source>
        <translation>échéance aujourd’hui</translation>
    </message>
    <message id="hv_app_due">
        <source>Due</source>
        <translation>Échéance</translation>
    </message>
    <message id="hv_app_all_day">
        <source>All day</source>
        <translation>Toute la journée</translation>
    </message>
    <message id="hv_app_todo">
        <source>To-do</source>
        <translation>Tâche</translation>
    </message>
    <message id="hv_app_speech_voice">
        <source>Speech voice</source>
        <translation>Voix de lecture</translation>
    </message>
    <message id="hv_app_voice_standard">
        <source>Standard</source>
        <translation>Standard</translation>
    </message>
    <message id="hv_app_voice_en_us">
        <source>American English</source>
        <translation>Anglais américain</translation>
    </message>
    <message id="hv_app_voice_en_gb">
        <source>British English</source>
        <translation>Anglais britannique</translation>
    </message>
    <message id="hv_app_voice_en_scotland">
        <source>Scottish English</source>
        <translation>Anglais écossais</translation>
    </message>
    <message id="hv_app_voice_en_caribbean">
        <source>Caribbean English</source>
        <translation>Anglais des Caraïbes</translation>
    </message>
    <message id="hv_app_voice_en_us_female">
        <source>American English, female</source>
        <translation>Anglais américain, voix féminine</translation>
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
        <translation>Travail</translation>
    </message>
    <message id="hv_app_card_home">
        <source>Home</source>
        <translation>Domicile</translation>
    </message>
    <message id="hv_app_card_phone">
        <source>Phone</source>
        <translation>Téléphone</translation>
    </message>
    <message id="hv_app_card_unknown">
        <source>Unknown contact</source>
        <translation>Contact inconnu</translation>
    </message>
    <message id="hv_app_card_call">
        <source>Call %1</source>
        <translation>Appeler %1</translation>
    </message>
    <message id="hv_app_card_no_numbers">
        <source>This contact has no phone number.</source>
        <translation>Ce contact n’a pas de numéro de téléphone.</translation>
    </message>
    <message id="hv_app_yesterday">
        <source>yesterday</source>
        <translation>hier</translation>
    </message>
    <message id="hv_app_tomorrow">
        <source>tomorrow</source>
        <translation>demain</translation>
    </message>
</context>
</TS>
