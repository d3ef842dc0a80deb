#ifndef HVGLOBAL_H
#define HVGLOBAL_H

#include <QtCore/QString>

#include "halvanecore_export.h"

// Meta-type names spell the namespace through this macro ("HALVANE_NAMESPACE::HVItem"),
// so the registered names stay the same whatever the namespace is called.
#define HALVANE_NAMESPACE Halvane

namespace Halvane {

/*!
 * The base directory of the application's plug-ins, always ending in a separator.
 * The environment variable HALVANE_PLUGINS_PATH overrides the installed location,
 * which lets programs and tests run against a build tree.
 */
HALVANECORE_EXPORT QString pluginsPath();

} // namespace Halvane

#endif // HVGLOBAL_H
