// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvsphinxvoice_p.h"
#include "sphinx_debug.h"

#include <QtCore/QDebug>

#include "voiceregn.h"

namespace Halvane {

HVSphinxVoice::HVSphinxVoicePrivate::HVSphinxVoicePrivate(QObject *parent)
    : QThread(parent)
    , m_commands(new QMap<QString, VoiceCommand>)
{
    // Commands cross from the streaming thread to the main thread queued.
    qRegisterMetaType<VoiceCommand>("VoiceCommand");
    m_windowPosition = HVVoice::VPWndHome;
    loadHomeCommands();
}

HVSphinxVoice::HVSphinxVoicePrivate::~HVSphinxVoicePrivate()
{
    wait();
    if (state != 2) {
        closeVoiceRegn();
        state = 2;
    }
    delete m_commands;
}

void HVSphinxVoice::HVSphinxVoicePrivate::run()
{
    m_initialised.store(initVoiceRegn() == 1, std::memory_order_release);
}

void HVSphinxVoice::HVSphinxVoicePrivate::setWindowPosition(HVVoice::VPWndPosition pos)
{
    m_windowPosition = pos;
    qCDebug(HALVANE_SPHINX) << "HVSphinxVoicePrivate::setwindowPosition: " << int(pos);
    switch (pos) {
    case HVVoice::VPWndHome:
        loadHomeCommands();
        break;
    case HVVoice::VPWndWeather:
        loadWeatherCommands();
        break;
    case HVVoice::VPWndMessages:
        loadMessagesCommands();
        break;
    case HVVoice::VPWndEvents:
        loadEventsCommands();
        break;
    case HVVoice::VPWndFeeds:
        loadFeedsCommands();
        break;
    }
}

void HVSphinxVoice::HVSphinxVoicePrivate::setSpeechStatus(HVVoice::VWSpeechStatus status)
{
    std::lock_guard<std::mutex> locker(m_lock);
    m_speechStatus = status;
}

template<std::size_t N>
void HVSphinxVoice::HVSphinxVoicePrivate::insertWords(const HVSphinxWord (&table)[N])
{
    for (const HVSphinxWord &entry : table)
        m_commands->insert(QString::fromLatin1(entry.word), entry.command);
}

void HVSphinxVoice::HVSphinxVoicePrivate::loadHomeCommands()
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_commands->clear();
        insertWords(HomeWords);
    }
    selectVoiceRegnSearch("home");
}

void HVSphinxVoice::HVSphinxVoicePrivate::loadNavigationTable(const char *search)
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_commands->clear();
        insertWords(NavigationWords);
        if (qstrcmp(search, "events") == 0)
            insertWords(EventsExtraWords);
    }
    selectVoiceRegnSearch(search);
}

void HVSphinxVoice::HVSphinxVoicePrivate::loadWeatherCommands()
{
    loadNavigationTable("navigation");
}

void HVSphinxVoice::HVSphinxVoicePrivate::loadMessagesCommands()
{
    loadNavigationTable("navigation");
}

void HVSphinxVoice::HVSphinxVoicePrivate::loadEventsCommands()
{
    loadNavigationTable("events");
}

void HVSphinxVoice::HVSphinxVoicePrivate::loadFeedsCommands()
{
    loadNavigationTable("navigation");
}

void HVSphinxVoice::HVSphinxVoicePrivate::voiceRegn_cb(char *hypothesis)
{
    const QString text = QString::fromUtf8(hypothesis).trimmed();
    qCDebug(HALVANE_SPHINX).noquote() << "voice command: ;" << text << ";";
    const QStringList parts = text.split(QLatin1Char(' '), Qt::KeepEmptyParts, Qt::CaseSensitive);
    for (const QString &part : parts) {
        qCDebug(HALVANE_SPHINX) << "list element: ;" << part << ";";
        if (checkWord(part))
            return;
    }
}

bool HVSphinxVoice::HVSphinxVoicePrivate::checkWord(QString word)
{
    if (word.isEmpty() || word.contains(QLatin1Char(' ')))
        return false;
    VoiceCommand command;
    {
        std::lock_guard<std::mutex> locker(m_lock);
        const auto it = m_commands->constFind(word);
        if (it == m_commands->constEnd())
            return false;
        command = it.value();
    }
    qCDebug(HALVANE_SPHINX) << "voice command: ;" << word << ";";
    qCDebug(HALVANE_SPHINX) << "command: " << int(command);
    return filterSpeechActions(command);
}

bool HVSphinxVoice::HVSphinxVoicePrivate::filterSpeechActions(VoiceCommand command)
{
    HVVoice::VWSpeechStatus status;
    {
        std::lock_guard<std::mutex> locker(m_lock);
        status = m_speechStatus;
    }
    bool accepted = true;
    switch (status) {
    case HVVoice::VWSpeechOn:
        qCDebug(HALVANE_SPHINX) << "---------------VWSpeechOn";
        break;
    case HVVoice::VWSpeechOff:
        qCDebug(HALVANE_SPHINX) << "---------------VWSpeechOff";
        accepted = command != VCRead && command != VCStart && command != VCStop && command != VCPause
            && command != VCContinue;
        break;
    case HVVoice::VWSpeechStarted:
        qCDebug(HALVANE_SPHINX) << "---------------VWSpeechStarted";
        accepted = command != VCBack && command != VCRead && command != VCStart && command != VCNext
            && command != VCPrev && command != VCContinue;
        break;
    case HVVoice::VWSpeechPaused:
        qCDebug(HALVANE_SPHINX) << "---------------VWSpeechPaused";
        accepted = command != VCStop && command != VCPause;
        break;
    case HVVoice::VWSpeechStopped:
        qCDebug(HALVANE_SPHINX) << "---------------VWSpeechStopped";
        accepted = command != VCStop && command != VCPause;
        break;
    case HVVoice::VWSpeechItemFirst:
        qCDebug(HALVANE_SPHINX) << "---------------VWSpeechItemFirst";
        accepted = command != VCPrev;
        break;
    case HVVoice::VWSpeechItemLast:
        qCDebug(HALVANE_SPHINX) << "---------------VWSpeechItemLast";
        accepted = command != VCNext;
        break;
    }
    if (accepted)
        Q_EMIT commandReceived(command);
    return accepted;
}

} // namespace Halvane
