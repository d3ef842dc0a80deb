// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef SMSSERVICE_H
#define SMSSERVICE_H

#include "hvservice.h"

namespace Halvane {

class SmsServiceSource;

class SmsService : public HVService
{
    Q_OBJECT

public:
    SmsService();
    ~SmsService() override;

    QString service() const override;
    bool hasSource() const override;
    HVServiceSource *source() const override;

public Q_SLOTS:
    // Reached by the framework through the meta-object; nothing to cancel.
    virtual bool cancelOperation();

private:
    SmsServiceSource *m_source;
};

} // namespace Halvane

#endif // SMSSERVICE_H
