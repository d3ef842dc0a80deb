// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "feedimporter.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QTextCodec>
#include <QtCore/QUrlQuery>
#include <QtXml/QDomElement>

#include <algorithm>
#include <memory>

#include <KCharsets>
#include <Syndication/Syndication>

#include "qsparqlconnection.h"
#include "qsparqlresult.h"

namespace {

// An item's link without the parameters that only tell the site where a
// reader came from (utm_source=rss): a feed that adds them later still links
// the same page. A link without them stays as it is.
QString withoutTracking(const QString &link)
{
    if (!link.contains(QLatin1Char('?')))
        return link;
    QUrl url(link);
    QUrlQuery query(url);
    const QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyEncoded);
    QList<QPair<QString, QString>> kept;
    for (const auto &item : items) {
        const QString key = item.first.toLower();
        if (!key.startsWith(QLatin1String("utm_")) && key != QLatin1String("fbclid") && key != QLatin1String("gclid")
            && key != QLatin1String("mc_cid") && key != QLatin1String("mc_eid"))
            kept.append(item);
    }
    if (kept.size() == items.size())
        return link;
    query.setQueryItems(kept);
    url.setQuery(kept.isEmpty() ? QString() : query.query(QUrl::FullyEncoded));
    return url.toString(QUrl::FullyEncoded);
}

// About a line on a phone.
constexpr int FallbackTitleLength = 80;

// Items in one update of the batch.
constexpr int ItemsPerUpdate = 100;

// HTML's references to characters. KCharsets takes a number for one UTF-16
// unit ("&#x1F389;" would be U+F389, a blank), so numbers are read here; and
// 128-159 are what Windows' Latin-1 has there, as browsers read them.
QString resolveEntities(const QString &html)
{
    static const QRegularExpression numeric(QStringLiteral("&#([xX][0-9A-Fa-f]{1,8}|[0-9]{1,10});"));
    QString result;
    int last = 0;
    for (auto matches = numeric.globalMatch(html); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        const QStringRef digits = match.capturedRef(1);
        bool ok = false;
        const uint code = digits.startsWith(QLatin1Char('x'), Qt::CaseInsensitive) ? digits.mid(1).toUInt(&ok, 16)
                                                                                   : digits.toUInt(&ok, 10);
        // No character (NUL, a surrogate, beyond Unicode): stays as written.
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            continue;
        result += KCharsets::resolveEntities(html.mid(last, match.capturedStart() - last));
        if (code >= 0x80 && code <= 0x9F) {
            const char byte = char(code);
            result += QTextCodec::codecForName("windows-1252")->toUnicode(&byte, 1);
        } else {
            const char32_t character = code;
            result += QString::fromUcs4(&character, 1);
        }
        last = match.capturedEnd();
    }
    return last == 0 ? KCharsets::resolveEntities(html) : result + KCharsets::resolveEntities(html.mid(last));
}

// Syndication hands titles over as HTML. Markup stays (the plug-in takes tags
// out) but entities become the characters they stand for ("Caf&eacute;"
// would otherwise be shown as it is). Escaped angle brackets alone stay
// escaped: as characters they would make a tag of text and lose it.
QString titleText(QString title)
{
    // An Atom title of type xhtml comes in a div that only holds it, its
    // tags with their namespace.
    static const QRegularExpression xhtml(QStringLiteral("^\\s*<div\\b[^>]*1999/xhtml[^>]*>(.*)</div>\\s*$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression xmlns(QStringLiteral("(<[A-Za-z][^<>]*?)\\s+xmlns(:[-\\w]+)?=\"[^\"]*\""));
    const QRegularExpressionMatch wrapped = xhtml.match(title);
    if (wrapped.hasMatch())
        title = wrapped.captured(1).replace(xmlns, QStringLiteral("\\1"));
    else if (title.contains(QLatin1String("1999/xhtml")))
        title.replace(xmlns, QStringLiteral("\\1"));
    static const QRegularExpression angle(QStringLiteral("&(lt|gt|#0*6[02]|#[xX]0*3[cCeE]);"));
    QString text;
    int last = 0;
    auto matches = angle.globalMatch(title);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString name = match.captured(1).toLower();
        const bool less = name == QLatin1String("lt") || name.endsWith(QLatin1Char('0')) || name.endsWith(QLatin1Char('c'));
        text += resolveEntities(title.mid(last, match.capturedStart() - last))
            + (less ? QLatin1String("&lt;") : QLatin1String("&gt;"));
        last = match.capturedEnd();
    }
    text += resolveEntities(title.mid(last));
    // The parser cannot tell "Using <vector> in C++" (text, in CDATA or
    // escaped) from markup. Only tags of the markup titles have are markup;
    // any other '<' or '>' ("if x < 5", "<Special> offer") is text, kept as
    // an entity, or the tags taken out for display would take it away.
    static const QRegularExpression tag(QStringLiteral(
        "</?([A-Za-z][A-Za-z0-9]*)(\\s+[A-Za-z_:][-A-Za-z0-9_:.]*(\\s*=\\s*(\"[^\"]*\"|'[^']*'|[^\\s\"'<>=]+))?)*\\s*/?>"));
    static const QSet<QString> markup = {
        QStringLiteral("a"),    QStringLiteral("abbr"), QStringLiteral("b"),      QStringLiteral("big"),
        QStringLiteral("br"),   QStringLiteral("cite"), QStringLiteral("code"),   QStringLiteral("del"),
        QStringLiteral("dfn"),  QStringLiteral("em"),   QStringLiteral("font"),   QStringLiteral("i"),
        QStringLiteral("img"),  QStringLiteral("ins"),  QStringLiteral("kbd"),    QStringLiteral("mark"),
        QStringLiteral("p"),    QStringLiteral("q"),    QStringLiteral("s"),      QStringLiteral("samp"),
        QStringLiteral("small"), QStringLiteral("span"), QStringLiteral("strike"), QStringLiteral("strong"),
        QStringLiteral("sub"),  QStringLiteral("sup"),  QStringLiteral("tt"),     QStringLiteral("u"),
        QStringLiteral("var"),  QStringLiteral("wbr")};
    QString result;
    result.reserve(text.size());
    auto asText = [&result](const QStringRef &part) {
        for (const QChar c : part)
            result += c == QLatin1Char('<') ? QStringLiteral("&lt;") : c == QLatin1Char('>') ? QStringLiteral("&gt;") : QString(c);
    };
    int from = 0;
    auto tags = tag.globalMatch(text);
    while (tags.hasNext()) {
        const QRegularExpressionMatch match = tags.next();
        if (!markup.contains(match.captured(1).toLower()))
            continue;
        asText(text.midRef(from, match.capturedStart() - from));
        result += match.captured();
        from = match.capturedEnd();
    }
    asText(text.midRef(from));
    // Line breaks and indents of the source are no part of a one-line title.
    return result.simplified();
}

// An item without a title (a microblog post) goes by the start of its text,
// in the form titles are kept in.
QString titleFromText(const QString &html)
{
    // Tags that break lines part words; others ("#<span>coffee</span>") do not.
    static const QRegularExpression breaking(
        QStringLiteral("<(/?(p|br|div|li|ul|ol|h[1-6]|tr|td|th|table|blockquote|pre|hr|img)\\b[^>]*)>"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    // Code is no words of the text.
    static const QRegularExpression code(QStringLiteral("<(script|style)\\b[^>]*>.*?</\\1\\s*>"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    QString text = resolveEntities(QString(html)
                                                  .replace(code, QStringLiteral(" "))
                                                  .replace(breaking, QStringLiteral(" "))
                                                  .replace(tags, QString()))
                       .simplified();
    if (text.size() > FallbackTitleLength) {
        const int cut = text.lastIndexOf(QLatin1Char(' '), FallbackTitleLength);
        text = text.left(cut > FallbackTitleLength / 2 ? cut : FallbackTitleLength) + QChar(0x2026);
    }
    return text.replace(QLatin1Char('<'), QLatin1String("&lt;")).replace(QLatin1Char('>'), QLatin1String("&gt;"));
}

// Media RSS (YouTube's, podcasts'): the text is the media's description,
// given as plain text unless it says otherwise.
QString mediaDescription(const Syndication::ItemPtr &item)
{
    static const QString media = QStringLiteral("http://search.yahoo.com/mrss/");
    const QMultiMap<QString, QDomElement> properties = item->additionalProperties();
    QDomElement description;
    const QDomElement group = properties.value(media + QLatin1String("group"));
    for (QDomElement child = group.firstChildElement(); !child.isNull() && description.isNull();
         child = child.nextSiblingElement()) {
        if (child.localName() == QLatin1String("description") || child.tagName() == QLatin1String("media:description"))
            description = child;
    }
    if (description.isNull())
        description = properties.value(media + QLatin1String("description"));
    // Mastodon's: an image's alt text, in the media:content of the image.
    const QDomElement content = properties.value(media + QLatin1String("content"));
    for (QDomElement child = content.firstChildElement(); !child.isNull() && description.isNull();
         child = child.nextSiblingElement()) {
        if (child.localName() == QLatin1String("description") || child.tagName() == QLatin1String("media:description"))
            description = child;
    }
    if (description.isNull())
        return QString();
    const QString text = description.text().trimmed();
    return description.attribute(QStringLiteral("type")) == QLatin1String("html")
        ? text
        : text.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"));
}

// A podcast episode's iTunes title or summary, as HTML; empty without.
QString itunesText(const Syndication::ItemPtr &item, const char *name)
{
    static const QString itunes = QStringLiteral("http://www.itunes.com/dtds/podcast-1.0.dtd");
    return item->additionalProperties().value(itunes + QLatin1String(name)).text().trimmed().toHtmlEscaped();
}

// Stable URNs, so that importing the same items again updates them.
QUrl urn(const char *kind, const QString &key)
{
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QUrl(QLatin1String("urn:halvane:") + QLatin1String(kind) + QLatin1Char(':') + QString::fromLatin1(hash));
}


// What sites write as Latin-1 is Windows' Latin-1 (quotes, dashes and the
// euro in 0x80-0x9f), as browsers read it. And RSS 0.91's DOCTYPE names HTML's
// entities in a DTD nobody loads, and hand-written feeds use them without
// one: the parser would drop every "&eacute;". They become character
// references first (XML itself names no others outside a DTD).
QByteArray readableXml(const QByteArray &data)
{
    QByteArray text = data;
    static const QRegularExpression latin1(
        QStringLiteral("^(\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"'])(iso-8859-1|iso_8859-1|latin-?1|us-ascii)([\"'])"),
        QRegularExpression::CaseInsensitiveOption);
    const QString head = QString::fromLatin1(text.left(200));
    const QRegularExpressionMatch declared = latin1.match(head);
    if (declared.hasMatch()) {
        const QString declaration = declared.captured(1) + QLatin1String("UTF-8") + declared.captured(3);
        text = declaration.toLatin1()
            + QTextCodec::codecForName("windows-1252")->toUnicode(text.mid(declared.capturedLength())).toUtf8();
    }
    if (!text.contains('&'))
        return text;
    // Qt's XML reader also takes a number for one UTF-16 unit: a character
    // beyond them ("&#x1F389;") goes in as it is, where the feed is UTF-8.
    static const QRegularExpression otherCharset(QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"'](?!utf-?8[\"'])"),
                                                 QRegularExpression::CaseInsensitiveOption);
    const bool utf8 = !text.startsWith("\xff\xfe") && !text.startsWith("\xfe\xff")
        && !otherCharset.match(QString::fromLatin1(text.left(200))).hasMatch();
    static const QRegularExpression entity(
        QStringLiteral("&(?:([A-Za-z][A-Za-z0-9]{1,31})|#[xX]([0-9A-Fa-f]{5,8})|#([0-9]{5,10}));"));
    // Byte for byte: the references are ASCII, and the feed may be in any
    // charset that keeps ASCII as it is (KOI8-R, say).
    QString result;
    const QString whole = QString::fromLatin1(text);
    int last = 0;
    for (auto matches = entity.globalMatch(whole); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        const QString name = match.captured(1);
        QString replacement;
        if (name.isEmpty()) {
            bool ok = false;
            const uint code = match.capturedRef(2).isEmpty() ? match.capturedRef(3).toUInt(&ok, 10)
                                                             : match.capturedRef(2).toUInt(&ok, 16);
            if (!utf8 || !ok || code <= 0xFFFF || code > 0x10FFFF)
                continue;
            const char32_t character = code;
            replacement = QString::fromLatin1(QString::fromUcs4(&character, 1).toUtf8());
        } else {
            if (name == QLatin1String("amp") || name == QLatin1String("lt") || name == QLatin1String("gt")
                || name == QLatin1String("quot") || name == QLatin1String("apos"))
                continue;
            const QChar character = KCharsets::fromEntity(name);
            if (character.isNull())
                continue;
            replacement = QStringLiteral("&#%1;").arg(character.unicode());
        }
        result += whole.midRef(last, match.capturedStart() - last) + replacement;
        last = match.capturedEnd();
    }
    return last == 0 ? text : (result + whole.midRef(last)).toLatin1();
}

} // namespace

bool FeedImporter::parse(const QByteArray &data, const QUrl &source)
{
    m_messages.clear();
    m_removed.clear();
    m_channelTitle.clear();
    const Syndication::FeedPtr feed =
        Syndication::parse(Syndication::DocumentSource(readableXml(data), source.toString()));
    // Neither a title nor an item: what was read is no feed the parser knows
    // (RSS in a namespace of its own, say), not an empty one.
    if (!feed || (feed->title().isEmpty() && feed->items().isEmpty()))
        return false;

    const QString title = feed->title().isEmpty() ? source.fileName() : titleText(feed->title());
    // A link given relative ("/") is one of the site it was downloaded from:
    // as it stands, every such site would be one.
    QString link = feed->link();
    if (!link.isEmpty() && QUrl(link).isRelative() && source.scheme().startsWith(QLatin1String("http")))
        link = source.resolved(QUrl(link)).toString();
    // A feed is its site's link and its title wherever it was read from: the
    // feeds of one site (a blog's categories) share the link.
    const QString channelKey = link.isEmpty() ? source.toString() : link + QLatin1Char('\n') + title;
    // Shown as it is: text, without the markup an Atom title may have.
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    m_channelTitle = QString(title).replace(tags, QString()).replace(QLatin1String("&lt;"), QLatin1String("<"))
                         .replace(QLatin1String("&gt;"), QLatin1String(">")).simplified();
    m_source = source;
    m_link = link;

    const QList<Syndication::ItemPtr> items = feed->items();
    // An item without a guid is known by a hash of its text, which changes
    // with every edit: its link, where no other item has it, stays.
    QHash<QString, int> links;
    for (const Syndication::ItemPtr &item : items)
        ++links[withoutTracking(item->link())];
    QSet<QString> ids;
    for (const Syndication::ItemPtr &item : items) {
        Message message;
        // The whole article where there is one (WordPress' content:encoded,
        // Atom's content), rather than its summary.
        message.description = item->content().isEmpty() ? item->description() : item->content();
        if (message.description.isEmpty())
            message.description = mediaDescription(item);
        if (message.description.isEmpty())
            message.description = itunesText(item, "summary");
        QString title = item->title();
        if (title.isEmpty())
            title = itunesText(item, "title");
        message.title = title.isEmpty() ? titleFromText(message.description) : titleText(title);
        if (item->id().startsWith(QLatin1String("hash:")) && !item->link().isEmpty()) {
            message.linkShares = links.value(withoutTracking(item->link()));
            message.hashId = item->id();
            message.linkId = QLatin1String("link:") + withoutTracking(item->link());
            if (message.linkId != QLatin1String("link:") + item->link())
                message.rawLinkId = QLatin1String("link:") + item->link();
        }
        message.byLink = message.linkShares == 1;
        message.id = message.byLink ? message.linkId : item->id();
        // A guid given twice (a feed's mistake) would make the second item
        // replace the first.
        if (ids.contains(message.id))
            message.id += QLatin1Char('\n') + item->title() + QLatin1Char('\n') + item->link();
        ids.insert(message.id);
        const QUrl link(item->link(), QUrl::StrictMode);
        if (link.isValid() && (link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https"))
            && !QSparqlQuery::term(link).isEmpty())
            message.link = link;
        m_messages.append(message);
    }
    setChannelKey(channelKey);
    return true;
}

void FeedImporter::setChannelKey(const QString &key)
{
    m_channelKey = key;
    m_channel = urn("feedchannel", key);
    for (Message &message : m_messages)
        message.urn = messageUrn(message);
}

QUrl FeedImporter::messageUrn(const Message &message) const
{
    return urn("feedmessage", m_channelKey + QLatin1Char('\n') + message.id);
}

bool FeedImporter::continueChannel(const QString &previousKey, const QString &previousTitle)
{
    // Same site under another title, or same title under another site link
    // (http to https, a new domain).
    if (previousKey == m_channelKey || m_link.isEmpty()
        || !(previousKey.startsWith(m_link + QLatin1Char('\n')) || previousTitle == m_channelTitle))
        return false;
    setChannelKey(previousKey);
    return true;
}

bool FeedImporter::readStore(QSparqlConnection &connection, QString *error)
{
    error->clear();
    // The store's queries below each join one property to what they look up:
    // Tracker plans a join of the title with another property of the same
    // resource as a scan of every feed message, which made a refresh of many
    // feeds slow in the square of their messages.
    const auto column = [&](const QString &text, const QString &name, const QVariant &value) {
        QSparqlQuery query(text);
        query.bindValue(name, value);
        QHash<QString, QString> found;
        std::unique_ptr<QSparqlResult> result(connection.exec(query));
        if (result->hasError()) {
            if (error->isEmpty())
                *error = result->lastError().message();
            return found;
        }
        while (result->next())
            found.insert(result->value(0).toString(), result->value(1).toString());
        return found;
    };
    // A feed that renamed itself since it was last downloaded from here. A
    // file may be a download of any feed, and two of one site share a link.
    const QHash<QString, QString> channels =
        column(QStringLiteral("SELECT ?c WHERE { ?c a mfo:FeedChannel ; nie:links ?s . ?s nie:url ?:url }"),
               QStringLiteral("url"), m_source.toString(QUrl::FullyEncoded));
    for (auto it = channels.cbegin(); m_source.scheme().startsWith(QLatin1String("http")) && it != channels.cend(); ++it) {
        const QUrl channel(it.key());
        const QStringList keys =
            column(QStringLiteral("SELECT ?k WHERE { ?:c nie:identifier ?k }"), QStringLiteral("c"), channel).keys();
        const QStringList titles = column(QStringLiteral("SELECT ?t WHERE { ?:c nie:title ?t }"), QStringLiteral("c"), channel).keys();
        if (!keys.isEmpty() && !titles.isEmpty() && continueChannel(keys.first(), titles.first()))
            break;
    }
    if (!error->isEmpty())
        return false;
    QSparqlQuery removedQuery(QStringLiteral("SELECT ?r WHERE { ?r a nfo:DeletedResource ; nfo:originalLocation ?:channel }"));
    removedQuery.bindValue(QStringLiteral("channel"), m_channel.toString());
    std::unique_ptr<QSparqlResult> removed(connection.exec(removedQuery));
    if (removed->hasError()) {
        *error = removed->lastError().message();
        return false;
    }
    QSet<QUrl> removedMessages;
    while (removed->next())
        removedMessages.insert(removed->value(0).toUrl());
    setRemoved(removedMessages);
    const QString channelName = QStringLiteral("channel");
    const QHash<QString, QString> downloaded = column(
        QStringLiteral("SELECT ?m WHERE { ?m nie:isLogicalPartOf ?:channel ; mfo:downloadedTime ?w }"), channelName, m_channel);
    const QHash<QString, QString> titles = column(
        QStringLiteral("SELECT ?m ?t WHERE { ?m nie:isLogicalPartOf ?:channel ; nie:title ?t }"), channelName, m_channel);
    const QHash<QString, QString> descriptions = column(
        QStringLiteral("SELECT ?m ?d WHERE { ?m nie:isLogicalPartOf ?:channel ; nie:description ?d }"), channelName, m_channel);
    const QHash<QString, QString> links = column(
        QStringLiteral("SELECT ?m ?u WHERE { ?m nie:isLogicalPartOf ?:channel ; nie:links ?l . ?l nie:url ?u }"), channelName,
        m_channel);
    if (!error->isEmpty())
        return false;
    QHash<QUrl, QStringList> storedMessages;
    for (auto it = downloaded.cbegin(); it != downloaded.cend(); ++it) {
        const auto title = titles.constFind(it.key());
        const auto description = descriptions.constFind(it.key());
        if (title != titles.cend() && description != descriptions.cend())
            storedMessages.insert(QUrl(it.key()), {*title, *description, links.value(it.key())});
    }
    setStored(storedMessages);
    return true;
}

void FeedImporter::setRemoved(const QSet<QUrl> &removed)
{
    m_removed = removed;
}

void FeedImporter::setStored(const QHash<QUrl, QStringList> &stored)
{
    m_stored = stored;
    // Items of one page (a club's news) share its link, and take turns with
    // it: one that had the link to itself before is no other item.
    QSet<QUrl> claimed;
    for (Message &message : m_messages) {
        if (message.linkShares == 0)
            continue;
        // Stored (or removed) by an earlier version under its whole link: it
        // stays what it was.
        if (!message.rawLinkId.isEmpty()) {
            Message byRawLink = message;
            byRawLink.id = message.rawLinkId;
            byRawLink.urn = messageUrn(byRawLink);
            if (m_stored.contains(byRawLink.urn) || m_removed.contains(byRawLink.urn)) {
                if (message.id == message.linkId)
                    message = byRawLink;
                message.linkId = message.rawLinkId;
            }
        }
        Message byLink = message;
        byLink.id = message.linkId;
        byLink.urn = messageUrn(byLink);
        const QStringList kept = m_stored.value(byLink.urn);
        const bool same = kept.size() >= 2 && (kept.at(0) == message.title || kept.at(1) == message.description);
        message.byLink = !claimed.contains(byLink.urn) && (same || (kept.isEmpty() && message.linkShares == 1));
        if (message.byLink && message.urn != byLink.urn) {
            message.id = byLink.id;
            message.urn = byLink.urn;
        } else if (!message.byLink && message.id == message.linkId) {
            message.id = message.hashId;
            message.urn = messageUrn(message);
        }
        if (message.byLink)
            claimed.insert(message.urn);
    }
}

int FeedImporter::messageCount() const
{
    return int(std::count_if(m_messages.cbegin(), m_messages.cend(),
                             [this](const Message &message) { return !m_removed.contains(message.urn); }));
}

QVector<QSparqlQuery> FeedImporter::updates() const
{
    QVector<QSparqlQuery> updates;
    // The first download time stays: a re-import is no new download.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Everything goes in one transaction, so a failure leaves the store as it
    // was, as a batch of updates of a few items each: Tracker's parse of one
    // update grows faster than its size (10,000 items in one took 18 s).
    QString text = QStringLiteral("INSERT OR REPLACE { ?:channel a mfo:FeedChannel ; nie:title ?:channelTitle ; "
                                  "nie:identifier ?:channelKey } ");
    if (m_source.isValid() && !QSparqlQuery::term(m_source).isEmpty())
        text += QStringLiteral("; INSERT OR REPLACE { ?:source a nfo:RemoteDataObject ; nie:url ?:sourceUrl . "
                               "?:channel nie:links ?:source } ");
    QSparqlQuery update;
    const auto begin = [&] {
        update = QSparqlQuery(QString(), QSparqlQuery::InsertStatement);
        update.bindValue(QStringLiteral("channel"), m_channel);
        update.bindValue(QStringLiteral("channelTitle"), m_channelTitle);
        update.bindValue(QStringLiteral("channelKey"), m_channelKey);
        update.bindValue(QStringLiteral("source"), m_source);
        update.bindValue(QStringLiteral("sourceUrl"), m_source.toString(QUrl::FullyEncoded));
        update.bindValue(QStringLiteral("now"), now);
    };
    const auto end = [&] {
        update.setQuery(text);
        updates.append(update);
        text.clear();
    };
    begin();

    // A message the user removed stays away while the feed still has it; once
    // it has left the feed it cannot come back, and is forgotten.
    QSet<QUrl> forgotten = m_removed;
    int count = 0;
    for (const Message &item : m_messages) {
        forgotten.remove(item.urn);
        if (m_removed.contains(item.urn))
            continue;
        const QString linkText = item.link.isValid() ? item.link.toString(QUrl::FullyEncoded) : QString();
        const auto stored = m_stored.constFind(item.urn);
        if (stored != m_stored.constEnd() && *stored == QStringList({item.title, item.description, linkText}))
            continue;
        if (count > 0 && count % ItemsPerUpdate == 0) {
            end();
            begin();
        }
        const QString n = QString::number(count);
        const QString message = QStringLiteral("m") + n;
        if (!text.isEmpty())
            text += QStringLiteral("; ");
        text += QStringLiteral("INSERT OR REPLACE { ?:%1 a mfo:FeedMessage ; nie:title ?:t%2 ; nie:description ?:d%2 ; "
                               "nie:isLogicalPartOf ?:channel } ")
                    .arg(message, n);
        update.bindValue(message, item.urn);
        update.bindValue(QStringLiteral("t") + n, item.title);
        update.bindValue(QStringLiteral("d") + n, item.description);

        if (item.link.isValid()) {
            text += QStringLiteral("; INSERT OR REPLACE { ?:l%1 a nfo:RemoteDataObject ; nie:url ?:u%1 . ?:%2 nie:links ?:l%1 } ")
                        .arg(n, message);
            update.bindValue(QStringLiteral("l") + n, item.link);
            update.bindValue(QStringLiteral("u") + n, item.link.toString(QUrl::FullyEncoded));
            // Earlier versions knew such an item by its hash: the copies they
            // left of it (its title or its text the same) give way, and the
            // first download time stays.
            if (item.byLink) {
                text += QStringLiteral("; INSERT { ?:%2 mfo:downloadedTime ?first } WHERE { { SELECT (MIN(?when) AS ?first) "
                                       "WHERE { ?old nie:links ?:l%1 ; nie:isLogicalPartOf ?:channel ; mfo:downloadedTime ?when ; "
                                       "nie:title ?ot ; nie:description ?od FILTER (?old != ?:%2 && (?ot = ?:t%1 || ?od = ?:d%1)) } } FILTER (BOUND(?first) && NOT EXISTS { ?:%2 mfo:downloadedTime ?any }) } "
                                       "; DELETE { ?old a rdfs:Resource } WHERE { ?old a mfo:FeedMessage ; nie:links ?:l%1 ; "
                                       "nie:isLogicalPartOf ?:channel ; nie:title ?ot ; nie:description ?od "
                                       "FILTER (?old != ?:%2 && (?ot = ?:t%1 || ?od = ?:d%1)) } ")
                            .arg(n, message);
            }
        }
        text += QStringLiteral("; INSERT { ?:%1 mfo:downloadedTime ?:now } WHERE { FILTER NOT EXISTS { ?:%1 mfo:downloadedTime ?any } } ")
                    .arg(message);
        ++count;
    }
    int gone = 0;
    for (const QUrl &urn : qAsConst(forgotten)) {
        const QString name = QStringLiteral("gone") + QString::number(gone++);
        text += QStringLiteral("; DELETE { ?:%1 a rdfs:Resource } WHERE { ?:%1 a nfo:DeletedResource } ").arg(name);
        update.bindValue(name, urn);
    }
    end();
    return updates;
}
