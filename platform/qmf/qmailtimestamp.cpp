#include "qmailtimestamp.h"

QMailTimeStamp::QMailTimeStamp(const QDateTime &dateTime)
    : m_utc(dateTime.isValid() ? dateTime.toUTC() : QDateTime())
{
}
