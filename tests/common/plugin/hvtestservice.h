// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVTESTSERVICE_H
#define HVTESTSERVICE_H

#include "hvservice.h"

namespace Halvane {

class HVTestServiceSource;

class HVTestService : public HVService
{
    Q_OBJECT

public:
    HVTestService(const QString &key, const QString &itemType, bool withSource);
    ~HVTestService() override;

    QString service() const override;
    bool hasSource() const override;
    HVServiceSource *source() const override;

public Q_SLOTS:
    bool cancelOperation();

private:
    QString m_key;
    HVTestServiceSource *m_source = nullptr;
};

} // namespace Halvane

#endif // HVTESTSERVICE_H
