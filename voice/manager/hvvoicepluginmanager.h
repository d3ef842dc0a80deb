// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVVOICEPLUGINMANAGER_H
#define HVVOICEPLUGINMANAGER_H

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include "halvanevoicemanager_export.h"

namespace Halvane {

class HVVoice;
class HVVoicePluginInterface;

/*!
 * Finds a voice plug-in in a sub-directory of the plug-in search paths
 * (pluginsPath() first, then the application's library paths) and hands out
 * its voice object. It owns neither the voice object nor the plug-in.
 */
class HALVANEVOICEMANAGER_EXPORT HVVoicePluginManager : public QObject
{
    Q_OBJECT

public:
    explicit HVVoicePluginManager(QObject *parent = nullptr);
    ~HVVoicePluginManager() override;

    // The voice object of the first voice plug-in in directoryName, or null.
    // Once one was delivered it is answered again without searching (the
    // plug-in is asked again if the caller deleted it).
    HVVoice *loadVoicePlugin(const QString &directoryName);

private:
    QPointer<HVVoice> m_voice;
    HVVoicePluginInterface *m_plugin = nullptr;
    bool m_delivered = false;
};

} // namespace Halvane

#endif // HVVOICEPLUGINMANAGER_H
