// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemeventparticipant.h"

namespace Halvane {

const QString HVItemEventParticipant::DefinitionName = QStringLiteral("EventParticipant");
const QString HVItemEventParticipant::FieldName = QStringLiteral("Name");
const QString HVItemEventParticipant::FieldEmail = QStringLiteral("Email");

HVItemEventParticipant::HVItemEventParticipant()
    : HVItemDetail(DefinitionName)
{
}

HVItemEventParticipant::HVItemEventParticipant(const HVItemDetail &detail)
    : HVItemDetail(detail)
{
}

} // namespace Halvane
