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
