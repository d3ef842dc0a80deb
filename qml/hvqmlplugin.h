// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVQMLPLUGIN_H
#define HVQMLPLUGIN_H

#include <QtQml/QQmlExtensionPlugin>

namespace Halvane {

// "import Halvane 1.0": the day's models, voice control, the reader, calls,
// weather icons and the weather cities for QML user interfaces.
class HVQmlPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override;
    void initializeEngine(QQmlEngine *engine, const char *uri) override;
};

} // namespace Halvane

#endif // HVQMLPLUGIN_H
