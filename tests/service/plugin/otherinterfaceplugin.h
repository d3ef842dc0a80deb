// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef OTHERINTERFACEPLUGIN_H
#define OTHERINTERFACEPLUGIN_H

#include <QtCore/QObject>

// A well-formed Qt plug-in of another interface, with a plausible file name.
class OtherInterfacePlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.halvane.test.OtherInterface/1.0")
};

#endif // OTHERINTERFACEPLUGIN_H
