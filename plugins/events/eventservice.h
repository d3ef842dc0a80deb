// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef EVENTSERVICE_H
#define EVENTSERVICE_H

#include "hvservice.h"

namespace Halvane {

class EventServiceSource;

class EventService : public HVService
{
    Q_OBJECT

public:
    EventService();
    ~EventService() override;

    QString service() const override;
    bool hasSource() const override;
    HVServiceSource *source() const override;

public Q_SLOTS:
    // Reached by the framework through the meta-object; nothing to cancel.
    virtual bool cancelOperation();

private:
    EventServiceSource *m_source;
};

} // namespace Halvane

#endif // EVENTSERVICE_H
