// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemtype.h"

namespace Halvane {

const QString HVItemType::TypeWeather = QStringLiteral("weather");
const QString HVItemType::TypeEvent = QStringLiteral("event");
const QString HVItemType::TypeMessage = QStringLiteral("message");
const QString HVItemType::TypeFeed = QStringLiteral("feed");

} // namespace Halvane
