// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSPEECHPLUGINMANAGER_H
#define HVSPEECHPLUGINMANAGER_H

#include <QtCore/QObject>

#include "halvanespeechmanager_export.h"

namespace Halvane {

class HVSpeech;
class HVSpeechPluginInterface;

/*!
 * Finds a speech plug-in in a sub-directory of the plug-in search paths
 * (pluginsPath() first, then the application's library paths) and hands out
 * its reader. It owns neither the reader nor the plug-in.
 */
class HALVANESPEECHMANAGER_EXPORT HVSpeechPluginManager : public QObject
{
    Q_OBJECT

public:
    explicit HVSpeechPluginManager(QObject *parent = nullptr);
    ~HVSpeechPluginManager() override;

    // The reader of the first speech plug-in in directoryName, or null. Once a
    // reader was delivered it is answered again without searching.
    HVSpeech *loadSpeechPlugin(const QString &directoryName);

private:
    HVSpeech *m_speech = nullptr;
    HVSpeechPluginInterface *m_plugin = nullptr;
};

} // namespace Halvane

#endif // HVSPEECHPLUGINMANAGER_H
