// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvspeechpluginmanager.h"
#include "halvanespeech_debug.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QPluginLoader>

#include "hvglobal.h"
#include "hvspeech.h"
#include "hvspeechplugininterface.h"

namespace Halvane {

HVSpeechPluginManager::HVSpeechPluginManager(QObject *parent)
    : QObject(parent)
{
}

HVSpeechPluginManager::~HVSpeechPluginManager() = default;

HVSpeech *HVSpeechPluginManager::loadSpeechPlugin(const QString &directoryName)
{
    if (m_speech)
        return m_speech;

    QStringList basePaths{pluginsPath()};
    basePaths.append(QCoreApplication::libraryPaths());
    for (const QString &basePath : qAsConst(basePaths)) {
        qCDebug(HALVANE_SPEECH) << basePath;
        QDir dir(basePath);
        if (!dir.cd(directoryName) || !QFileInfo(dir.absolutePath()).isReadable())
            continue;
        const QStringList files = dir.entryList(QDir::Files, QDir::Unsorted);
        for (const QString &fileName : files) {
            QPluginLoader loader(dir.absoluteFilePath(fileName));
            QObject *instance = loader.instance();
            qCDebug(HALVANE_SPEECH) << loader.errorString();
            if (!instance)
                continue;
            m_plugin = qobject_cast<HVSpeechPluginInterface *>(instance);
            if (!m_plugin)
                continue;
            m_speech = m_plugin->speechPlugin();
            return m_speech;
        }
    }
    return m_speech;
}

} // namespace Halvane
