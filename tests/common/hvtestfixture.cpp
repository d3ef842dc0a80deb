#include "hvtestfixture.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QSaveFile>
#include <QtCore/QTranslator>

namespace HVTest {

QString pluginFile(const QString &target)
{
    return QStringLiteral(HVTEST_PLUGIN_DIR "/lib") + target + QLatin1String(".so");
}

bool installPlugin(const QString &target, const QString &dir, const QString &fileName)
{
    if (!QDir().mkpath(dir))
        return false;
    const QString destination = dir + QLatin1Char('/')
        + (fileName.isEmpty() ? QStringLiteral("lib") + target + QLatin1String(".so") : fileName);
    QFile::remove(destination);
    return QFile::copy(pluginFile(target), destination);
}

bool writeItems(const QString &dir, const QString &key, const QJsonArray &items)
{
    if (!QDir().mkpath(dir))
        return false;
    QSaveFile file(dir + QLatin1Char('/') + key + QLatin1String(".json"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QJsonDocument(items).toJson());
    return file.commit();
}

bool loadTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("halvane_en"), QStringLiteral(HVTEST_TRANSLATIONS_DIR)))
        return false;
    return QCoreApplication::installTranslator(translator);
}

} // namespace HVTest
