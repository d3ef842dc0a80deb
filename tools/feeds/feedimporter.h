// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef FEEDIMPORTER_H
#define FEEDIMPORTER_H

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include "qsparqlquery.h"

/*
 * Turns a downloaded feed (RSS, RDF or Atom) into the Tracker updates, to run
 * as one batch, that add or replace its channel and messages. Channel and messages get stable
 * URNs, so importing the same feed again updates them; a message keeps the
 * time of its first download.
 */
class FeedImporter
{
public:
    // Reads the feed fetched from source; false when it is none.
    bool parse(const QByteArray &data, const QUrl &source);

    // The updates; outside text reaches them only as bound values.
    QVector<QSparqlQuery> updates() const { return m_updates; }
    QString channelTitle() const { return m_channelTitle; }
    int messageCount() const { return m_count; }

private:
    QVector<QSparqlQuery> m_updates;
    QString m_channelTitle;
    int m_count = 0;
};

#endif // FEEDIMPORTER_H
