// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef EMAILSERVICE_H
#define EMAILSERVICE_H

#include "hvservice.h"

namespace Halvane {

class EmailServiceSource;

class EmailService : public HVService
{
    Q_OBJECT

public:
    EmailService();
    ~EmailService() override;

    QString service() const override;
    bool hasSource() const override;
    HVServiceSource *source() const override;

public Q_SLOTS:
    // Reached by the framework through the meta-object; nothing to cancel.
    virtual bool cancelOperation();

private:
    EmailServiceSource *m_source;
};

} // namespace Halvane

#endif // EMAILSERVICE_H
