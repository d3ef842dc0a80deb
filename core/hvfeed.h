// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVFEED_H
#define HVFEED_H

#include "hvitem.h"
#include "hvitemtype.h"

namespace Halvane {

/*!
 * A downloaded feed message. A view of an HVItem of type HVItemType::TypeFeed.
 */
class HALVANECORE_EXPORT HVFeed : public HVItem
{
public:
    // An empty record of this type.
    HVFeed();
    // Views any record as this type, keeping all its values.
    explicit HVFeed(const HVItem &item);

    // The download time is the record's own dateTime().
    QString title() const;
    void setTitle(const QString &title);
    QString body() const;
    void setBody(const QString &body);
    QString channel() const;
    void setChannel(const QString &channel);
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVFeed, Q_MOVABLE_TYPE);

#endif // HVFEED_H
