// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvsettings.h"

namespace Halvane {

HVSettings::HVSettings(const QString &organization, const QString &application, QObject *parent)
    : QSettings(QSettings::NativeFormat, QSettings::UserScope, organization, application, parent)
{
    setIniCodec("UTF-8");
}

HVSettings::~HVSettings() = default;

} // namespace Halvane
