#include "qsparqlerror.h"

QSparqlError::QSparqlError(const QString &message, ErrorType type)
    : m_message(message)
    , m_type(type)
{
}
