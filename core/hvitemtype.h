// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMTYPE_H
#define HVITEMTYPE_H

#include <QtCore/QString>

#include "hvglobal.h"

namespace Halvane {

/*!
 * The item type names. They are distinct, none contains another and none holds a
 * regular-expression special character: the proxy models filter with them as
 * unanchored patterns.
 */
class HALVANECORE_EXPORT HVItemType
{
public:
    static const QString TypeWeather;
    static const QString TypeEvent;
    static const QString TypeMessage;
    static const QString TypeFeed;
};

} // namespace Halvane

#endif // HVITEMTYPE_H
