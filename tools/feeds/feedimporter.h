// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef FEEDIMPORTER_H
#define FEEDIMPORTER_H

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QStringList>
#include <QtCore/QSet>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include "qsparqlquery.h"

class QSparqlConnection;

/*
 * Turns a downloaded feed (RSS, RDF or Atom) into the Tracker updates, to run
 * as one batch, that add or replace its channel and messages. Channel and messages get stable
 * URNs, so importing the same feed again updates them; a message keeps the
 * time of its first download, and one the user removed stays away.
 */
class FeedImporter
{
public:
    // Reads the feed fetched from source; false when it is none.
    bool parse(const QByteArray &data, const QUrl &source);

    // The channel's URN, once parsed.
    QUrl channel() const { return m_channel; }
    QString channelTitle() const { return m_channelTitle; }
    // What the channel is known by; kept in the store with the URL it was
    // read from.
    QString channelKey() const { return m_channelKey; }
    // The key and title the same source gave last time: a feed that renamed itself
    // (same site, other title) or moved (same title, other site link) goes on
    // as that channel, rather than coming again, whole, as a new one. True if
    // it does.
    bool continueChannel(const QString &previousKey, const QString &previousTitle);
    // The URNs of the channel's messages the user removed (kept as
    // nfo:DeletedResource): they are not imported again.
    void setRemoved(const QSet<QUrl> &removed);
    // What the store holds of the channel's messages, by URN: title,
    // description and link. A message that is the same is left alone, so
    // that a refresh changes nothing a list shows.
    // An item without a guid is known by its link where that stays its own:
    // the copy kept by the link is taken as the same item when its title or
    // its text is the same.
    void setStored(const QHash<QUrl, QStringList> &stored);
    // Reads what the store holds of the feed: the channel it goes on as
    // (continueChannel), its removed messages (setRemoved) and its stored
    // ones (setStored). False with error set if the store cannot be read.
    bool readStore(QSparqlConnection &connection, QString *error);
    // The messages the updates bring.
    int messageCount() const;

    // The updates; outside text reaches them only as bound values.
    QVector<QSparqlQuery> updates() const;

private:
    struct Message
    {
        QUrl urn;
        // What the feed knows it by.
        QString id;
        QString title;
        QString description;
        // Empty unless an http(s) link that can be written safely.
        QUrl link;
        // Known by its link, as it has no guid.
        bool byLink = false;
        // Without a guid (known by a hash of its text), with a link: how many
        // of the download's items have that link, and the two ids it may go by.
        int linkShares = 0;
        QString hashId;
        QString linkId;
        // The id by the whole link, where that has tracking parameters: what
        // earlier versions knew the item by.
        QString rawLinkId;
    };

    void setChannelKey(const QString &key);
    QUrl messageUrn(const Message &message) const;

    QUrl m_source;
    QString m_link;
    QString m_channelKey;
    QUrl m_channel;
    QString m_channelTitle;
    QVector<Message> m_messages;
    QSet<QUrl> m_removed;
    QHash<QUrl, QStringList> m_stored;
};

#endif // FEEDIMPORTER_H
