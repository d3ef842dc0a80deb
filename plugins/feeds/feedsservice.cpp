// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "feedsservice.h"
#include "feeds_debug.h"

#include <QtCore/QDebug>

#include "feedsservicesource.h"
#include "trackerchangenotifier.h"

namespace Halvane {

namespace {
const char ServiceName[] = "Feeds";
const char FeedMessageClass[] = "http://tracker.api.gnome.org/ontology/v3/mfo#FeedMessage";
const char FeedChannelClass[] = "http://tracker.api.gnome.org/ontology/v3/mfo#FeedChannel";
}

FeedsService::FeedsService()
    : m_source(new FeedsServiceSource(this))
    , messageNotifier(nullptr)
    , channelNotifier(nullptr)
{
    qCDebug(HALVANE_FEEDS) << "FeedsService created.";
    messageNotifier = new TrackerChangeNotifier(QLatin1String(FeedMessageClass));
    connect(messageNotifier, &TrackerChangeNotifier::changed, m_source, &FeedsServiceSource::slotFeedMessagesChanged);
    channelNotifier = new TrackerChangeNotifier(QLatin1String(FeedChannelClass));
    connect(channelNotifier, &TrackerChangeNotifier::changed, m_source, &FeedsServiceSource::slotFeedChannelsChanged);
}

FeedsService::~FeedsService()
{
    delete m_source;
    delete messageNotifier;
    delete channelNotifier;
}

QString FeedsService::service() const
{
    return QLatin1String(ServiceName);
}

bool FeedsService::hasSource() const
{
    return true;
}

HVServiceSource *FeedsService::source() const
{
    return m_source;
}

bool FeedsService::cancelOperation()
{
    return true;
}

} // namespace Halvane
