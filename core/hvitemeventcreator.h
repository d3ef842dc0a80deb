// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMEVENTCREATOR_H
#define HVITEMEVENTCREATOR_H

#include "hvitemdetail.h"

namespace Halvane {

/*!
 * The creator of a calendar event: a name and an e-mail address.
 */
class HALVANECORE_EXPORT HVItemEventCreator : public HVItemDetail
{
public:
    static const QString DefinitionName;
    static const QString FieldName;
    static const QString FieldEmail;

    HVItemEventCreator();
    // Views any detail as a creator; the values are kept as they are.
    explicit HVItemEventCreator(const HVItemDetail &detail);

    QString name() const { return value(FieldName); }
    void setName(const QString &name) { setValue(FieldName, name); }
    QString email() const { return value(FieldEmail); }
    void setEmail(const QString &email) { setValue(FieldEmail, email); }
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVItemEventCreator, Q_MOVABLE_TYPE);

#endif // HVITEMEVENTCREATOR_H
