// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVLOCALZONE_H
#define HVLOCALZONE_H

#include <QtCore/QObject>
#include <QtCore/QScopedPointer>

#include "halvanecore_export.h"

namespace Halvane {

class HVLocalZonePrivate;

/*!
 * Pins a program's local time zone, for the program's main() to create once.
 *
 * With TZ unset, glibc stats /etc/localtime on every local-time conversion
 * (mktime, tzset), and Qt reads the zone's name from /etc on every
 * QTimeZone::systemTimeZone(): a stat per row in every day's retrieval. When
 * TZ is unset, this sets it to the system zone's name and calls tzset(), so
 * both read the zone once. It then watches the zone files (and their
 * directory, for links that are replaced) and follows a change of zone by
 * setting TZ again, so that local times and the day watcher see the new zone.
 * A TZ the user set is left as it is, and nothing is watched.
 */
class HALVANECORE_EXPORT HVLocalZone : public QObject
{
    Q_OBJECT

public:
    explicit HVLocalZone(QObject *parent = nullptr);
    // The zone files to read and watch instead of /etc/localtime and /etc/timezone.
    HVLocalZone(const QString &localtimePath, const QString &timezonePath, QObject *parent = nullptr);
    ~HVLocalZone() override;

    // Whether TZ was set here, and so follows the zone files.
    bool isPinned() const;
    // The IANA id TZ holds while pinned; empty otherwise.
    QByteArray zoneId() const;

Q_SIGNALS:
    // The system's zone changed and TZ now holds it.
    void zoneChanged(const QByteArray &zoneId);

private:
    Q_DISABLE_COPY(HVLocalZone)
    QScopedPointer<HVLocalZonePrivate> d;
};

} // namespace Halvane

#endif // HVLOCALZONE_H
