#include "hvglobal.h"

#include <QtCore/QDir>

namespace Halvane {

QString pluginsPath()
{
    QString path = qEnvironmentVariable("HALVANE_PLUGINS_PATH");
    if (path.isEmpty())
        path = QStringLiteral(HALVANE_INSTALLED_PLUGINS_BASE);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace Halvane
