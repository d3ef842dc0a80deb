// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVDEMOSMS_H
#define HVDEMOSMS_H

#include <QtCore/QString>

namespace Halvane {

// Records the sample SMS of dir/messages.json, dated today, in the profile's
// communication history with halvane-commhistory. Each message has "from",
// "text", "time" ("HH:MM"), and optionally "name" and "outbound". Without a
// reachable session bus it first starts a private one that lives as long as
// the program. A demo without its messages still runs.
void recordSampleMessages(const QString &dir);

} // namespace Halvane

#endif // HVDEMOSMS_H
