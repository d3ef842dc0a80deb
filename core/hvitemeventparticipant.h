// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMEVENTPARTICIPANT_H
#define HVITEMEVENTPARTICIPANT_H

#include "hvitemdetail.h"

namespace Halvane {

/*!
 * The participant of a calendar event: a name and an e-mail address.
 */
class HALVANECORE_EXPORT HVItemEventParticipant : public HVItemDetail
{
public:
    static const QString DefinitionName;
    static const QString FieldName;
    static const QString FieldEmail;

    HVItemEventParticipant();
    // Views any detail as a participant; the values are kept as they are.
    explicit HVItemEventParticipant(const HVItemDetail &detail);

    QString name() const { return value(FieldName); }
    void setName(const QString &name) { setValue(FieldName, name); }
    QString email() const { return value(FieldEmail); }
    void setEmail(const QString &email) { setValue(FieldEmail, email); }
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVItemEventParticipant, Q_MOVABLE_TYPE);

#endif // HVITEMEVENTPARTICIPANT_H
