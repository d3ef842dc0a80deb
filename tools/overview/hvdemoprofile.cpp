#include "hvdemoprofile.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

namespace Halvane {

HVDemoProfile::HVDemoProfile(const QString &sampleDataDir)
    : m_sampleDataDir(sampleDataDir)
    , m_dir(QDir::tempPath() + QLatin1String("/halvane-demo-XXXXXX"))
{
}

bool HVDemoProfile::prepare()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary directory: ") + m_dir.errorString();
        return false;
    }
    if (!QFileInfo(m_sampleDataDir).isDir()) {
        m_error = QStringLiteral("no sample data in ") + m_sampleDataDir;
        return false;
    }

    // The profile's directories stand in for the user's, for this process and
    // every service it starts.
    const QString config = m_dir.filePath(QStringLiteral("config"));
    const QString data = m_dir.filePath(QStringLiteral("data"));
    const QString cache = m_dir.filePath(QStringLiteral("cache"));
    for (const QString &dir : {config, data, cache}) {
        if (!QDir().mkpath(dir)) {
            m_error = QStringLiteral("cannot create ") + dir;
            return false;
        }
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));

    return copyTree(m_sampleDataDir + QLatin1String("/config"), config)
        && copyTree(m_sampleDataDir + QLatin1String("/data"), data);
}

bool HVDemoProfile::copyTree(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isDir())
        return true;
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(source, target)) {
            m_error = QStringLiteral("cannot copy ") + source + QStringLiteral(" to ") + target;
            return false;
        }
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner);
    }
    return true;
}

} // namespace Halvane
