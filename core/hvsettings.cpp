// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvsettings.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>

namespace Halvane {

HVSettings::HVSettings(const QString &organization, const QString &application, QObject *parent)
    : QSettings(QSettings::NativeFormat, QSettings::UserScope, organization, application, parent)
{
    setIniCodec("UTF-8");
}

HVSettings::HVSettings(const Names &names, QObject *parent)
    : HVSettings(names.organization, names.application, parent)
{
}

HVSettings::~HVSettings() = default;

HVSettings::Names HVSettings::applicationNames()
{
    const Names own{QCoreApplication::organizationName(), QCoreApplication::applicationName()};
    if (!own.organization.isEmpty() || QFile::exists(HVSettings(own).fileName()))
        return own;
    return Names{QStringLiteral("halvane"), QStringLiteral("halvane")};
}

} // namespace Halvane
