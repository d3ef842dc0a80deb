// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemeventcreator.h"

namespace Halvane {

const QString HVItemEventCreator::DefinitionName = QStringLiteral("EventCreator");
const QString HVItemEventCreator::FieldName = QStringLiteral("Name");
const QString HVItemEventCreator::FieldEmail = QStringLiteral("Email");

HVItemEventCreator::HVItemEventCreator()
    : HVItemDetail(DefinitionName)
{
}

HVItemEventCreator::HVItemEventCreator(const HVItemDetail &detail)
    : HVItemDetail(detail)
{
}

} // namespace Halvane
