// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemmessageattachment.h"

namespace Halvane {

const QString HVItemMessageAttachment::DefinitionName = QStringLiteral("MessageAttachment");
const QString HVItemMessageAttachment::FieldFileName = QStringLiteral("FileName");
const QString HVItemMessageAttachment::FieldContentType = QStringLiteral("ContentType");
const QString HVItemMessageAttachment::FieldSize = QStringLiteral("Size");
const QString HVItemMessageAttachment::FieldContent = QStringLiteral("Content");

HVItemMessageAttachment::HVItemMessageAttachment()
    : HVItemDetail(DefinitionName)
{
}

HVItemMessageAttachment::HVItemMessageAttachment(const HVItemDetail &detail)
    : HVItemDetail(detail)
{
}

} // namespace Halvane
