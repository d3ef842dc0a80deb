// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef TRACKERCHANGENOTIFIER_H
#define TRACKERCHANGENOTIFIER_H

#include <QtCore/QList>
#include <QtCore/QMetaType>
#include <QtCore/QObject>
#include <QtCore/QString>

#include "halvaneqtsparql_export.h"

class TrackerChangeNotifierPrivate;

/*
 * Reports changes to the resources of one class of the Tracker store, through
 * the same store QSparqlConnection opens. Changes arrive through the GLib main
 * context, which Qt's default event dispatcher runs.
 *
 * Only an endpoint (QSparqlConnection::endpointService()) announces other
 * processes' writes; a local store announces only those made through the notifier's own
 * connection. Only classes marked nrl:notify are announced at all.
 *
 * An update of a known resource is reported as a delete and an insert of it.
 * Changes within 50 ms are reported in one signal, with each resource once,
 * by its state at the end. When the store cannot say whether a changed
 * resource is still of the class, nothing is reported for it until it can.
 *
 * An endpoint that is not on the bus yet, or goes away, is waited for: once
 * its name is back the notifier subscribes again and reports what changed
 * while it was away.
 */
class HALVANEQTSPARQL_EXPORT TrackerChangeNotifier : public QObject
{
    Q_OBJECT

public:
    // One changed resource: subject is its tracker:id; Tracker gives no graph,
    // predicate or object ids to its notifiers, so those stay 0.
    struct Quad
    {
        int graph = 0;
        int subject = 0;
        int predicate = 0;
        int object = 0;
    };

    // className is the full class URI, e.g.
    // http://www.tracker-project.org/temp/mfo#FeedMessage.
    explicit TrackerChangeNotifier(const QString &className, QObject *parent = nullptr);
    ~TrackerChangeNotifier() override;

    QString watchedClass() const;
    // Whether the store was reached; an unreachable store announces nothing.
    bool isValid() const;

    // The URI of a resource of the class by its tracker:id: of those the
    // notifier knows, and of those it last reported deleted (Tracker cannot
    // answer that any more). Empty when unknown.
    QString resourceUri(int id) const;

Q_SIGNALS:
    void changed(QList<TrackerChangeNotifier::Quad> deletes, QList<TrackerChangeNotifier::Quad> inserts);

private:
    friend class TrackerChangeNotifierPrivate;
    TrackerChangeNotifierPrivate *const d;
    Q_DISABLE_COPY(TrackerChangeNotifier)
};

Q_DECLARE_TYPEINFO(TrackerChangeNotifier::Quad, Q_PRIMITIVE_TYPE);
Q_DECLARE_METATYPE(TrackerChangeNotifier::Quad)
Q_DECLARE_METATYPE(QList<TrackerChangeNotifier::Quad>)

#endif // TRACKERCHANGENOTIFIER_H
