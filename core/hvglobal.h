// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVGLOBAL_H
#define HVGLOBAL_H

#include <QtCore/QDateTime>
#include <QtCore/QString>

#include "halvanecore_export.h"

// Meta-type names spell the namespace through this macro ("HALVANE_NAMESPACE::HVItem"),
// so the registered names stay the same whatever the namespace is called.
#define HALVANE_NAMESPACE Halvane

namespace Halvane {

/*!
 * The base directory of the application's plug-ins, always ending in a separator:
 * the directory "halvane" beside this library where there is one (installed, in
 * the build tree, or unpacked elsewhere), otherwise the installed location. The
 * environment variable HALVANE_PLUGINS_PATH overrides both.
 */
HALVANECORE_EXPORT QString pluginsPath();

/*!
 * Whether QSettings may read the INI file fileName. Qt 5 decodes a value
 * "@Variant(...)" or "@DateTime(...)" with QDataStream, which trusts the
 * counts inside it: a crafted value makes it allocate without bound and abort
 * the process. The application's settings hold text only, so a file with
 * such a value (also spelt with escapes) is refused as a whole; problem then
 * says why. A missing or unreadable file counts as safe: QSettings reports
 * those itself.
 */
HALVANECORE_EXPORT bool settingsFileIsSafe(const QString &fileName, QString *problem = nullptr);

/*!
 * The first moment of date in local time: its midnight; where the clocks skip
 * midnight (Santiago, Havana in spring) the first time the day has; where
 * midnight comes twice (the clocks go back at 01:00) the first of the two,
 * which glibc, asked for 00:00, may or may not give.
 */
HALVANECORE_EXPORT QDateTime dayStart(const QDate &date);

/*!
 * Text from outside (an SMS, a subject, a feed's title) as a terminal may
 * show it: its control characters, with which an escape sequence would clear
 * the screen or swallow the lines after it, as spaces.
 */
HALVANECORE_EXPORT QString withoutControls(QString text);

} // namespace Halvane

#endif // HVGLOBAL_H
