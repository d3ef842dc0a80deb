// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvvoicepluginmanager.h"
#include "halvanevoice_debug.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QPluginLoader>

#include "hvglobal.h"
#include "hvvoice.h"
#include "hvvoiceplugininterface.h"

namespace Halvane {

// Spelled out: the log lines read the same whichever compiler built us.
static const char loadSignature[] = "Halvane::HVVoice* Halvane::HVVoicePluginManager::loadVoicePlugin(const QString&)";

HVVoicePluginManager::HVVoicePluginManager(QObject *parent)
    : QObject(parent)
{
}

HVVoicePluginManager::~HVVoicePluginManager() = default;

HVVoice *HVVoicePluginManager::loadVoicePlugin(const QString &directoryName)
{
    if (m_voice)
        return m_voice;
    // The caller deleted the plug-in's voice object: the plug-in makes another.
    if (m_plugin && m_delivered) {
        m_voice = m_plugin->voicePlugin();
        return m_voice;
    }

    qCDebug(HALVANE_VOICE) << "hello";
    QStringList basePaths{pluginsPath()};
    basePaths.append(QCoreApplication::libraryPaths());
    qCDebug(HALVANE_VOICE) << loadSignature << pluginsPath();
    for (const QString &basePath : qAsConst(basePaths)) {
        qCDebug(HALVANE_VOICE) << loadSignature << basePath;
        QDir dir(basePath);
        if (!dir.cd(directoryName) || !QFileInfo(dir.absolutePath()).isReadable())
            continue;
        const QStringList files = dir.entryList(QDir::Files, QDir::Unsorted);
        for (const QString &fileName : files) {
            QPluginLoader loader(dir.absoluteFilePath(fileName));
            QObject *instance = loader.instance();
            qCDebug(HALVANE_VOICE) << loader.errorString();
            if (!instance)
                continue;
            qCDebug(HALVANE_VOICE) << "here";
            m_plugin = qobject_cast<HVVoicePluginInterface *>(instance);
            if (!m_plugin)
                continue;
            m_voice = m_plugin->voicePlugin();
            m_delivered = !m_voice.isNull();
            return m_voice;
        }
    }
    return m_voice;
}

} // namespace Halvane
