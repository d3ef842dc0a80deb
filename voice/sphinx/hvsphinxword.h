// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSPHINXWORD_H
#define HVSPHINXWORD_H

#include "voicecommand.h"

namespace Halvane {

/*!
 * One entry of a screen's word table: a word the recogniser delivers and the
 * command it stands for. Beside the command words themselves the tables hold
 * words the recogniser tends to hear instead ("ROME" for "HOME"). Only the
 * words people say (spoken) go into the screens' searches; the others still
 * count when a wider model delivers them.
 *
 * The recognition data (dictionary and language model) is generated from
 * these tables at build time.
 */
struct HVSphinxWord
{
    const char *word;
    VoiceCommand command;
    bool spoken;
};

// The home screen only switches to an item type.
inline constexpr HVSphinxWord HomeWords[] = {
    {"EVENT", VCEvents, true},
    {"EVENTS", VCEvents, true},
    {"EVENT'S", VCEvents, false},
    {"VENTS", VCEvents, false},
    {"FEEDS", VCFeeds, true},
    {"FEELS", VCFeeds, false},
    {"BREEDS", VCFeeds, false},
    {"SAINTS", VCFeeds, false},
    {"READ'S", VCFeeds, false},
    {"FEED", VCFeeds, true},
    {"READ", VCFeeds, true},
    {"MESSAGE", VCMessages, true},
    {"MASSAGE", VCMessages, false},
    {"PASSAGE", VCMessages, false},
    {"MESSAGES", VCMessages, true},
    {"MASSAGES", VCMessages, false},
    {"PASSAGES", VCMessages, false},
    {"FEATHER", VCWeather, false},
    {"WEATHER", VCWeather, true},
    {"WEATHER'S", VCWeather, false},
    {"WEATHERS", VCWeather, false},
};

// The weather, messages and feeds screens.
inline constexpr HVSphinxWord NavigationWords[] = {
    {"HOME", VCMain, true},
    {"ROME", VCMain, false},
    {"DOME", VCMain, false},
    {"HOMED", VCMain, false},
    {"BACK", VCBack, true},
    {"ABACK", VCBack, false},
    {"TRUCK", VCBack, false},
    {"CONTINUE", VCContinue, true},
    {"RETINUE", VCContinue, false},
    {"CONTINUES", VCContinue, false},
    {"CONTINUED", VCContinue, false},
    {"MORE", VCMore, true},
    {"FOR", VCMore, false},
    {"DOOR", VCMore, false},
    {"NEXT", VCNext, true},
    {"MESS", VCNext, false},
    {"TEXT", VCNext, false},
    {"PAUSE", VCPause, true},
    {"CLOSE", VCPause, false},
    {"FROZE", VCPause, false},
    {"PAUSED", VCPause, false},
    {"PREV", VCPrev, true},
    {"REV", VCPrev, false},
    {"READ", VCRead, true},
    {"BREATHE", VCRead, false},
    {"START", VCStart, true},
    {"ART", VCStart, false},
    {"STARTS", VCStart, false},
    {"STOP", VCStop, true},
    {"DROP", VCStop, false},
    {"STOPPED", VCStop, false},
    {"STOPS", VCStop, false},
    {"STUCK", VCStop, false},
};

// The events screen: the navigation words and these.
inline constexpr HVSphinxWord EventsExtraWords[] = {
    {"ATTENDEE", VCAttendees, true},
    {"ATTENDEES", VCAttendees, true},
    {"ATTENDING", VCAttendees, false},
    {"DIAL", VCCall, true},
    {"GENIAL", VCCall, false},
    {"TRIAL", VCCall, false},
};

// The phones of the acoustic model. Each is a word of the dictionary of its
// own, "ph-" and the phone in lower case, which no table holds: the searches
// explain talk that holds no command as a string of them.
inline constexpr const char *Phones[] = {"aa", "ae", "ah", "ao", "aw", "ay", "b",  "ch", "d",  "dh",
                                         "eh", "er", "ey", "f",  "g",  "hh", "ih", "iy", "jh", "k",
                                         "l",  "m",  "n",  "ng", "ow", "oy", "p",  "r",  "s",  "sh",
                                         "t",  "th", "uh", "uw", "v",  "w",  "y",  "z",  "zh"};

// Words said after a command ("next please", "stop it"), which no table
// holds: a search lets one of them follow a command word, so that such a
// phrase still gives the command.
inline constexpr const char *CarrierWords[] = {"HER", "IT", "PLEASE"};

// Words said before a command ("go home", "please stop", "show the weather"),
// which no table holds either: a search lets one or more of them lead to a
// command word.
inline constexpr const char *LeadWords[] = {"GO", "TO", "THE", "MY", "PLEASE", "SHOW", "OPEN", "ME", "NOW", "OKAY"};

} // namespace Halvane

#endif // HVSPHINXWORD_H
