#include "qsparqlquery.h"

QSparqlQuery::QSparqlQuery(const QString &query, StatementType type)
    : m_query(query)
    , m_type(type)
{
}
