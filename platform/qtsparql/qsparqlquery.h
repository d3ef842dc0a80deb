#ifndef QSPARQLQUERY_H
#define QSPARQLQUERY_H

#include <QtCore/QString>

#include "halvaneqtsparql_export.h"

// A SPARQL text and what kind of statement it is.
class HALVANEQTSPARQL_EXPORT QSparqlQuery
{
public:
    enum StatementType {
        SelectStatement,
        AskStatement,
        ConstructStatement,
        DescribeStatement,
        InsertStatement,
        DeleteStatement
    };

    explicit QSparqlQuery(const QString &query = QString(), StatementType type = SelectStatement);

    QString query() const { return m_query; }
    void setQuery(const QString &query) { m_query = query; }
    StatementType type() const { return m_type; }
    void setType(StatementType type) { m_type = type; }
    // Insert and delete statements change the store.
    bool isUpdate() const { return m_type == InsertStatement || m_type == DeleteStatement; }

private:
    QString m_query;
    StatementType m_type;
};

#endif // QSPARQLQUERY_H
