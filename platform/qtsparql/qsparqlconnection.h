// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QSPARQLCONNECTION_H
#define QSPARQLCONNECTION_H

#include <QtCore/QObject>

#include "qsparqlerror.h"
#include "qsparqlquery.h"

class QSparqlResult;
class QSparqlConnectionPrivate;

/*
 * A connection to the Tracker store (driver "QTRACKER"): the Tracker endpoint
 * endpointService() names, on the session bus, which lets several processes
 * share the store and see each other's changes; when it names none, a local
 * store at $XDG_DATA_HOME/halvane/tracker with the nepomuk ontology, created
 * if missing.
 */
class HALVANEQTSPARQL_EXPORT QSparqlConnection : public QObject
{
    Q_OBJECT

public:
    explicit QSparqlConnection(const QString &type = QStringLiteral("QTRACKER"), QObject *parent = nullptr);
    ~QSparqlConnection() override;

    bool isValid() const;
    QSparqlError lastError() const;
    QString driverName() const;

    // Runs the query to completion; the caller owns the result, which reports
    // its own errors. Never null.
    QSparqlResult *exec(const QSparqlQuery &query);
    // Runs the updates in one transaction: all of them or, on an error, none.
    // Tracker parses each on its own, and parsing one large update costs more
    // than in proportion to its size.
    QSparqlResult *exec(const QVector<QSparqlQuery> &updates);
    // The native Tracker connection (TrackerSparqlConnection*), for notifiers.
    void *nativeConnection() const;

    // The local store's directory, whether or not it is in use.
    static QString localStorePath();
    // The D-Bus name of the Tracker endpoint this process uses; empty for the
    // local store. In this order: HALVANE_TRACKER_SERVICE when set (set but
    // empty means the local store); else the shared endpoint
    // "org.halvane.Tracker" when the session bus can start it or it runs;
    // else the local store. The bus is asked once per process.
    static QString endpointService();
    // Closes the shared stores that no connection uses now; a later connection
    // opens its store again. Before a store's files are removed: Tracker writes
    // to them until it is closed.
    static void closeUnusedStores();

private:
    QSparqlConnectionPrivate *const d;
    Q_DISABLE_COPY(QSparqlConnection)
};

#endif // QSPARQLCONNECTION_H
