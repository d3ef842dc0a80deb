// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvfeed.h"

namespace Halvane {

static const QString TitleField = QStringLiteral("title");
static const QString BodyField = QStringLiteral("body");
static const QString ChannelField = QStringLiteral("channel");

HVFeed::HVFeed()
    : HVItem(HVItemType::TypeFeed)
{
}

HVFeed::HVFeed(const HVItem &item)
    : HVItem(item, HVItemType::TypeFeed)
{
}

QString HVFeed::title() const
{
    return value(TitleField).toString();
}

void HVFeed::setTitle(const QString &title)
{
    setValue(TitleField, title);
}

QString HVFeed::body() const
{
    return value(BodyField).toString();
}

void HVFeed::setBody(const QString &body)
{
    setValue(BodyField, body);
}

QString HVFeed::channel() const
{
    return value(ChannelField).toString();
}

void HVFeed::setChannel(const QString &channel)
{
    setValue(ChannelField, channel);
}

} // namespace Halvane
