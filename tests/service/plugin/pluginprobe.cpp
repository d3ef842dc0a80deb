// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

// Builds the service plug-in registry in a process of its own and prints the
// keys it holds, one a line: the plug-in fault tests watch it survive or die.
#include <QtCore/QCoreApplication>

#include <cstdio>

#include "hvservicefactory.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList keys = Halvane::HVServiceFactory::keys();
    for (const QString &key : keys)
        std::printf("%s\n", qPrintable(key));
    return 0;
}
