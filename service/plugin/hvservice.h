// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSERVICE_H
#define HVSERVICE_H

#include <QtCore/QObject>

#include "halvaneservice_export.h"
#include "hvglobal.h"

namespace Halvane {

class HVServiceSource;

/*!
 * A data provider: names itself, owns one source and reports the end of a
 * synchronization with actionCompleted().
 */
class HALVANESERVICE_EXPORT HVService : public QObject
{
    Q_OBJECT

public:
    HVService();
    ~HVService() override;

    // A constant name, used in log lines.
    virtual QString service() const = 0;
    // Whether the service has a source. The base body answers false.
    virtual bool hasSource() const = 0;
    // The source, the same for the life of the service when hasSource() is true.
    virtual HVServiceSource *source() const;

Q_SIGNALS:
    // Once for every synchronize() of the source that answered true.
    void actionCompleted(bool success);

public Q_SLOTS:
    // Not virtual: a service that can cancel declares a slot of the same
    // signature, which the framework reaches through the meta-object.
    bool cancelOperation();
};

} // namespace Halvane

#endif // HVSERVICE_H
