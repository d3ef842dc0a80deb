// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef FEEDSSERVICE_H
#define FEEDSSERVICE_H

#include "hvservice.h"

class TrackerChangeNotifier;

namespace Halvane {

class FeedsServiceSource;

// The feeds service: its source and the Tracker notifiers that keep it current.
class FeedsService : public HVService
{
    Q_OBJECT

public:
    FeedsService();
    ~FeedsService() override;

    QString service() const override;
    bool hasSource() const override;
    HVServiceSource *source() const override;

    // Knows the URIs of messages Tracker reports deleted.
    TrackerChangeNotifier *feedMessageNotifier() const { return messageNotifier; }

public Q_SLOTS:
    // Reached by the framework through the meta-object; nothing to cancel.
    virtual bool cancelOperation();

private:
    FeedsServiceSource *m_source;
    TrackerChangeNotifier *messageNotifier;
    TrackerChangeNotifier *channelNotifier;
};

} // namespace Halvane

#endif // FEEDSSERVICE_H
