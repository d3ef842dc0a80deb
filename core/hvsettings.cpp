#include "hvsettings.h"

namespace Halvane {

HVSettings::HVSettings(const QString &organization, const QString &application, QObject *parent)
    : QSettings(QSettings::NativeFormat, QSettings::UserScope, organization, application, parent)
{
    setIniCodec("UTF-8");
}

HVSettings::~HVSettings() = default;

} // namespace Halvane
