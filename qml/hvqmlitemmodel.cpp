// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlitemmodel.h"

#include <QtCore/QDebug>
#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>
#include <QtGui/QTextDocument>

#include "hvdaywatcher.h"
#include "hvevent.h"
#include "hvfeed.h"
#include "hvitemeventparticipant.h"
#include "hvitemmodel.h"
#include "hvitemmodelfactory.h"
#include "hvitemtype.h"
#include "hvmessage.h"
#include "hvproxyitemmodel.h"
#include "hvretrieveserviceaction.h"
#include "hvservicefactory.h"
#include "hvweather.h"

namespace Halvane {

namespace {

// Entities alone, no bracket: feed excerpts often hold "It&#8217;s" and no
// tag, and escaping them once more would show the entity. A bracket that
// opens no tag ("<https://…>", "> quoted") says plain text, "&amp;" or not.
bool isEntityText(const QString &text)
{
    static const QRegularExpression entity(QStringLiteral("&(#[0-9]+|#[xX][0-9a-fA-F]+|[a-zA-Z][a-zA-Z0-9]*);"));
    return !text.contains(QLatin1Char('<')) && !text.contains(QLatin1Char('>')) && text.contains(entity);
}

bool isMarkup(const QString &text)
{
    return Qt::mightBeRichText(text) || isEntityText(text);
}

// Text lines as markup for a Text item. A text of megabytes (a log sent by
// mail) would take the item seconds to lay out: its start is shown.
QString textAsMarkup(const QString &text, bool escape)
{
    const int MaxShown = 100000;
    QString shown = text;
    if (shown.size() > MaxShown) {
        const int lineEnd = shown.lastIndexOf(QLatin1Char('\n'), MaxShown);
        shown.truncate(lineEnd > MaxShown / 2 ? lineEnd : MaxShown);
        shown += QStringLiteral("\n\u2026");
    }
    if (escape)
        shown = shown.toHtmlEscaped();
    return shown.replace(QLatin1Char('\n'), QLatin1String("<br>"));
}

QString withWideTablesAsLines(const QString &html)
{
    // A table of many columns squeezed into a phone's width shows a letter a
    // line and runs off the side, where Text cannot scroll: its rows become
    // paragraphs, their cells apart. A layout table of a few columns stays,
    // also beside a wide one in the same mail.
    constexpr int MostColumns = 4;
    static const QRegularExpression tags(QStringLiteral("<(/?)(table|tr|td|th)\\b[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    struct Open
    {
        int start;
        int cells;
        int widest;
    };
    QVector<Open> open;
    QVector<QPair<int, int>> wide; // outermost wide tables, in order
    for (QRegularExpressionMatchIterator it = tags.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch tag = it.next();
        const QString name = tag.captured(2).toLower();
        const bool closing = !tag.captured(1).isEmpty();
        if (name == QLatin1String("table")) {
            if (!closing) {
                open.append({tag.capturedStart(), 0, 0});
            } else if (!open.isEmpty()) {
                const Open table = open.takeLast();
                const int end = tag.capturedEnd();
                // Inside a wide table already flattened whole: nothing more.
                while (!wide.isEmpty() && wide.last().first > table.start)
                    wide.removeLast();
                if (table.widest > MostColumns)
                    wide.append({table.start, end});
            }
        } else if (!closing && !open.isEmpty()) {
            Open &table = open.last();
            if (name == QLatin1String("tr"))
                table.cells = 0;
            else
                table.widest = qMax(table.widest, ++table.cells);
        }
    }
    // A table the mail never closes ends with it.
    while (!open.isEmpty()) {
        const Open table = open.takeLast();
        while (!wide.isEmpty() && wide.last().first > table.start)
            wide.removeLast();
        if (table.widest > MostColumns)
            wide.append({table.start, int(html.size())});
    }
    // Cells without a table around them (a fragment): as one table.
    if (wide.isEmpty()) {
        if (!html.contains(QLatin1String("<table"), Qt::CaseInsensitive)) {
            int cells = 0;
            int widest = 0;
            for (QRegularExpressionMatchIterator it = tags.globalMatch(html); it.hasNext();) {
                const QRegularExpressionMatch tag = it.next();
                if (!tag.captured(1).isEmpty())
                    continue;
                cells = tag.captured(2).compare(QLatin1String("tr"), Qt::CaseInsensitive) == 0 ? 0 : cells + 1;
                widest = qMax(widest, cells);
            }
            if (widest > MostColumns)
                wide.append({0, html.size()});
        }
        if (wide.isEmpty())
            return html;
    }
    static const QRegularExpression table(QStringLiteral("</?(table|thead|tbody|tfoot|colgroup|col|caption)\\b[^>]*>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rowStart(QStringLiteral("<tr\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression rowEnd(QStringLiteral("</tr\\s*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cellStart(QStringLiteral("<t[dh]\\b[^>]*>"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cellEnd(QStringLiteral("</t[dh]\\s*>"), QRegularExpression::CaseInsensitiveOption);
    QString result = html;
    for (int i = wide.size() - 1; i >= 0; --i) {
        QString lines = result.mid(wide.at(i).first, wide.at(i).second - wide.at(i).first);
        lines.remove(table);
        lines.replace(rowStart, QStringLiteral("<p>"));
        lines.replace(rowEnd, QStringLiteral("</p>"));
        lines.replace(cellStart, QStringLiteral(" \u2003"));
        lines.remove(cellEnd);
        result.replace(wide.at(i).first, wide.at(i).second - wide.at(i).first, lines);
    }
    return result;
}

QString plainText(const QString &text)
{
    if (!isMarkup(text))
        return text;
    QTextDocument document;
    document.setHtml(HVQmlItemModel::richBody(text));
    return document.toPlainText();
}

bool isAllDay(const HVItem &item);

// A city's row before its forecast came, or while none can be fetched: no
// temperatures ("-") and the source's word for it ("Disconnected").
bool hasForecast(const HVItem &item)
{
    if (item.type() != HVItemType::TypeWeather)
        return false;
    const HVWeather weather(item);
    return weather.temperatureMin() != QLatin1String("-") || weather.temperatureMax() != QLatin1String("-");
}

// A clock time as the user's locale writes it, in local time. The C
// locale's short format has seconds, which no entry here is about.
QString clockTime(const QDateTime &when)
{
    if (!when.isValid())
        return QString();
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]ss?(\\.z+)?")));
    return QLocale().toString(when.toLocalTime().time(), format);
}

// What "Read aloud" says for an item.
QString speechText(const HVItem &item)
{
    QStringList parts;
    if (item.type() == HVItemType::TypeMessage) {
        const HVMessage message(item);
        parts << message.from() << message.subject() << plainText(message.body());
    } else if (item.type() == HVItemType::TypeEvent) {
        const HVEvent event(item);
        // A whole day has no time to say ("00:00").
        parts << event.displayLabel()
              << (isAllDay(item) ? QString() : clockTime(event.startDateTime()))
              << event.locationName() << plainText(event.description());
    } else if (item.type() == HVItemType::TypeFeed) {
        const HVFeed feed(item);
        // Feed titles may hold markup, which the reader would spell out.
        parts << plainText(feed.channel()) << plainText(feed.title()) << plainText(feed.body());
    } else if (item.type() == HVItemType::TypeWeather) {
        const HVWeather weather(item);
        if (hasForecast(item))
            parts << weather.city() << weather.description() << weather.temperatureMin() + QLatin1String(" / ")
                          + weather.temperatureMax();
        else
            //% "No forecast yet"
            parts << weather.city() << qtTrId("hv_app_weather_no_forecast");
    }
    parts.removeAll(QString());
    return parts.join(QLatin1String(". "));
}

QDateTime endOf(const HVItem &item)
{
    if (item.type() == HVItemType::TypeEvent) {
        const HVEvent event(item);
        if (event.endDateTime().isValid())
            return event.endDateTime();
        return event.startDateTime();
    }
    return item.dateTime();
}

// An entry of whole days runs from one midnight to another (its end is the
// start of its last day), which no clock time tells.
bool isAllDay(const HVItem &item)
{
    if (item.type() != HVItemType::TypeEvent)
        return false;
    const HVEvent event(item);
    const QDateTime start = event.startDateTime();
    const QDateTime end = event.endDateTime();
    // A to-do due on a day, not at a time, has its due date at midnight.
    if (event.isTodo())
        return end.isValid() && end.time() == QTime(0, 0) && (!start.isValid() || start.time() == QTime(0, 0));
    return start.isValid() && end.isValid() && start.time() == QTime(0, 0) && end.time() == QTime(0, 0);
}

// Until when an item is still to come: a whole-day entry to the end of its
// last day, a to-do without a due time as long as it is open.
QDateTime lastMoment(const HVItem &item)
{
    if (isAllDay(item))
        return HVEvent(item).endDateTime().addDays(1);
    if (item.type() == HVItemType::TypeEvent && HVEvent(item).isTodo())
        return HVEvent(item).endDateTime();
    return endOf(item);
}

// The day of a timed entry's start or end, named where it is not the day
// shown: a night that began yesterday would read as tonight.
QString dayName(const HVItem &item, const QDateTime &when)
{
    if (item.type() != HVItemType::TypeEvent || !when.isValid() || isAllDay(item))
        return QString();
    const QDate shown = HVDayWatcher::instance()->day();
    const QDate date = when.toLocalTime().date();
    const qint64 days = shown.daysTo(date);
    if (days == 0)
        return QString();
    //% "yesterday"
    if (days == -1)
        return qtTrId("hv_app_yesterday");
    //% "tomorrow"
    if (days == 1)
        return qtTrId("hv_app_tomorrow");
    if (qAbs(days) < 7)
        return QLocale().dayName(date.dayOfWeek(), QLocale::ShortFormat);
    return QLocale().toString(date, QLocale::ShortFormat);
}

// An SMS is text as it was typed: "<b>" in it is no markup.
bool isSms(const HVItem &item)
{
    return item.type() == HVItemType::TypeMessage && HVMessage(item).messageType() == HVMessage::Sms;
}

} // namespace

HVQmlItemModel::HVQmlItemModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    connect(this, &QAbstractItemModel::rowsInserted, this, &HVQmlItemModel::updateCount);
    connect(this, &QAbstractItemModel::rowsRemoved, this, &HVQmlItemModel::updateCount);
    connect(this, &QAbstractItemModel::modelReset, this, &HVQmlItemModel::updateCount);
    connect(this, &QAbstractItemModel::layoutChanged, this, &HVQmlItemModel::updateCount);
    connect(HVDayWatcher::instance(), &HVDayWatcher::movingChanged, this, &HVQmlItemModel::updateBusy);
}

HVQmlItemModel::~HVQmlItemModel()
{
    delete m_source.data();
}

QString HVQmlItemModel::typeName(const QVariant &itemType)
{
    if (itemType.type() == QVariant::String) {
        const QString name = itemType.toString();
        return HVItemModelFactory::supportedItemTypes().contains(name) ? name : QString();
    }
    bool ok = false;
    switch (itemType.toInt(&ok)) {
    case Weather:
        return ok ? HVItemType::TypeWeather : QString();
    case Message:
        return HVItemType::TypeMessage;
    case Event:
        return HVItemType::TypeEvent;
    case Feed:
        return HVItemType::TypeFeed;
    }
    return QString();
}

void HVQmlItemModel::setItemType(const QVariant &itemType)
{
    if (itemType == m_itemType)
        return;
    m_itemType = itemType;
    const QString name = typeName(itemType);
    if (name.isEmpty() && itemType.isValid())
        qWarning() << "ItemModel: no such item type:" << itemType.toString();
    if (name != m_typeName) {
        m_typeName = name;
        HVProxyItemModel *old = m_source;
        m_source = name.isEmpty() ? nullptr : HVItemModelFactory::createModel(name);
        if (m_retrieval)
            disconnect(m_retrieval, nullptr, this, nullptr);
        m_retrieval = nullptr;
        if (auto *shared = m_source ? qobject_cast<HVItemModel *>(m_source->sourceModel()) : nullptr) {
            HVDayWatcher::instance()->watch(shared);
            m_retrieval = shared->retrieveAction();
            connect(m_retrieval, &HVServiceAction::activityChanged, this, &HVQmlItemModel::updateBusy);
        }
        setSourceModel(m_source);
        applySort();
        delete old;
        updateBusy();
    }
    Q_EMIT itemTypeChanged();
}

bool HVQmlItemModel::isBusy() const
{
    // A retrieve action goes from Idle to Finished when its first retrieval
    // ends; the later ones the day watcher starts leave it Finished.
    return m_retrieval
        && (m_retrieval->activity() == HVServiceAction::Idle || m_retrieval->activity() == HVServiceAction::Running
            || HVDayWatcher::instance()->isMoving());
}

void HVQmlItemModel::updateBusy()
{
    if (m_busy == isBusy())
        return;
    m_busy = !m_busy;
    Q_EMIT busyChanged();
}

bool HVQmlItemModel::isSourceAvailable() const
{
    if (m_typeName.isEmpty())
        return false;
    const QStringList keys = HVServiceFactory::keys();
    for (const QString &key : keys) {
        if (HVServiceFactory::supports(key, m_typeName))
            return true;
    }
    return false;
}

void HVQmlItemModel::setNewestFirst(bool newestFirst)
{
    if (newestFirst == m_newestFirst)
        return;
    m_newestFirst = newestFirst;
    applySort();
    Q_EMIT newestFirstChanged();
}

void HVQmlItemModel::setEndingAfter(const QDateTime &endingAfter)
{
    if (endingAfter == m_endingAfter)
        return;
    m_endingAfter = endingAfter;
    refilter();
    Q_EMIT endingAfterChanged();
}

void HVQmlItemModel::setTodos(TodoFilter todos)
{
    if (todos == m_todos)
        return;
    m_todos = todos;
    refilter();
    Q_EMIT todosChanged();
}

void HVQmlItemModel::setDueOn(const QDateTime &dueOn)
{
    if (dueOn == m_dueOn)
        return;
    // The minute clock moves it often; only a new day changes the rows.
    const bool sameDay = dueOn.isValid() && m_dueOn.isValid() && dueOn.toLocalTime().date() == m_dueOn.toLocalTime().date();
    m_dueOn = dueOn;
    if (!sameDay)
        refilter();
    Q_EMIT dueOnChanged();
}

void HVQmlItemModel::setWholeDays(WholeDayFilter wholeDays)
{
    if (wholeDays == m_wholeDays)
        return;
    m_wholeDays = wholeDays;
    refilter();
    Q_EMIT wholeDaysChanged();
}

void HVQmlItemModel::applySort()
{
    setSortRole(HVItemModel::DateRole);
    sort(0, m_newestFirst ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool HVQmlItemModel::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const QDateTime a = left.data(HVItemModel::DateRole).toDateTime();
    const QDateTime b = right.data(HVItemModel::DateRole).toDateTime();
    if (a != b)
        return a < b;
    // Entries of one time in one order at every start: the sources hand
    // them over in an order of their own (a hash's), which the day's first
    // few shown would follow.
    const HVItem first = left.data(HVItemModel::ItemRole).value<HVItem>();
    const HVItem second = right.data(HVItemModel::ItemRole).value<HVItem>();
    const auto start = [](const HVItem &item) {
        return item.type() == HVItemType::TypeEvent ? HVEvent(item).startDateTime() : item.dateTime();
    };
    if (start(first) != start(second))
        return start(first) < start(second);
    const int byLabel = QString::localeAwareCompare(first.displayLabel(), second.displayLabel());
    if (byLabel != 0)
        return byLabel < 0;
    return first.id().localId() < second.id().localId();
}

bool HVQmlItemModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if ((!m_endingAfter.isValid() && m_todos == WithTodos && !m_dueOn.isValid() && m_wholeDays == WithWholeDays)
        || !sourceModel())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const HVItem item = index.data(HVItemModel::ItemRole).value<HVItem>();
    const HVEvent event(item);
    if (m_todos != WithTodos && event.isTodo() != (m_todos == OnlyTodos))
        return false;
    if (m_wholeDays != WithWholeDays && isAllDay(item) != (m_wholeDays == OnlyWholeDays))
        return false;
    if (m_dueOn.isValid() && event.isTodo()
        && event.endDateTime().toLocalTime().date() != m_dueOn.toLocalTime().date())
        return false;
    if (!m_endingAfter.isValid())
        return true;
    const QDateTime end = lastMoment(item);
    return !end.isValid() || end >= m_endingAfter;
}

QHash<int, QByteArray> HVQmlItemModel::roleNames() const
{
    // Every type's roles, whatever the type: a view keeps the names it saw
    // first, and the type may change under it.
    QHash<int, QByteArray> names;
    for (const QString &type : {HVItemType::TypeMessage, HVItemType::TypeEvent, HVItemType::TypeFeed,
                                HVItemType::TypeWeather})
        names.insert(HVItemModel::getRoles(type));
    names.insert(HVItemModel::DateRole, "date");
    names.insert(HVItemModel::TypeRole, "type");
    names.insert(ItemIdRole, "itemId");
    names.insert(SpeechTextRole, "speechText");
    names.insert(RichBodyRole, "richBody");
    names.insert(PlainBodyRole, "plainBody");
    names.insert(StartRole, "start");
    names.insert(EndRole, "end");
    names.insert(IsTodoRole, "isTodo");
    names.insert(AllDayRole, "allDay");
    names.insert(StartDayRole, "startDay");
    names.insert(EndDayRole, "endDay");
    names.insert(HasForecastRole, "hasForecast");
    names.insert(StartTimeRole, "startTime");
    names.insert(EndTimeRole, "endTime");
    return names;
}

QVariant HVQmlItemModel::data(const QModelIndex &index, int role) const
{
    if (role == HVItemModel::ParticipantsRole) {
        // Who has no name goes by the address, not by an empty line.
        QStringList names;
        const HVItem item = QSortFilterProxyModel::data(index, HVItemModel::ItemRole).value<HVItem>();
        if (item.type() != HVItemType::TypeEvent)
            return QSortFilterProxyModel::data(index, role);
        const QList<HVItemEventParticipant> participants = HVEvent(item).participants();
        for (const HVItemEventParticipant &participant : participants) {
            const QString name = participant.name().trimmed();
            names.append(name.isEmpty() ? participant.email() : name);
        }
        return names;
    }
    if (role == HVItemModel::AttachmentsRole) {
        // Sizes as people read them ("1.2 KB"), beside the byte count.
        QVariantList attachments = QSortFilterProxyModel::data(index, role).toList();
        for (QVariant &attachment : attachments) {
            QVariantMap map = attachment.toMap();
            map.insert(QStringLiteral("sizeText"), QLocale().formattedDataSize(map.value(QStringLiteral("size")).toLongLong()));
            attachment = map;
        }
        return attachments;
    }
    if (role < ItemIdRole)
        return QSortFilterProxyModel::data(index, role);
    if (!index.isValid() || index.model() != this)
        return QVariant();
    const HVItem item = QSortFilterProxyModel::data(index, HVItemModel::ItemRole).value<HVItem>();
    switch (role) {
    case ItemIdRole:
        // Source ids are numbers of their own: SMS 1 and e-mail 1 are two rows.
        return item.id().managerUri().isEmpty() ? item.id().localId()
                                                : item.id().managerUri() + QLatin1Char('/') + item.id().localId();
    case SpeechTextRole:
        return speechText(item);
    case RichBodyRole:
        if (isSms(item))
            return textAsMarkup(HVMessage(item).body(), true);
        if (item.type() == HVItemType::TypeMessage)
            return richBody(HVMessage(item).body());
        if (item.type() == HVItemType::TypeFeed)
            return richBody(HVFeed(item).body());
        return richBody(item.description());
    case PlainBodyRole:
        if (isSms(item))
            return HVMessage(item).body().simplified();
        if (item.type() == HVItemType::TypeMessage)
            return plainText(HVMessage(item).body()).simplified();
        if (item.type() == HVItemType::TypeFeed)
            return plainText(HVFeed(item).body()).simplified();
        return plainText(item.description()).simplified();
    case StartRole:
        if (item.type() == HVItemType::TypeEvent)
            return HVEvent(item).startDateTime();
        return item.dateTime();
    case EndRole:
        return endOf(item);
    case IsTodoRole:
        return item.type() == HVItemType::TypeEvent && HVEvent(item).isTodo();
    case AllDayRole:
        return isAllDay(item);
    case StartDayRole:
        return item.type() == HVItemType::TypeEvent ? dayName(item, HVEvent(item).startDateTime()) : QString();
    case EndDayRole:
        return item.type() == HVItemType::TypeEvent ? dayName(item, HVEvent(item).endDateTime()) : QString();
    case HasForecastRole:
        return hasForecast(item);
    case StartTimeRole:
        if (isAllDay(item))
            return QString();
        return clockTime(item.type() == HVItemType::TypeEvent ? HVEvent(item).startDateTime() : item.dateTime());
    case EndTimeRole:
        if (item.type() != HVItemType::TypeEvent || isAllDay(item))
            return QString();
        return clockTime(HVEvent(item).endDateTime());
    }
    return QVariant();
}

QVariantMap HVQmlItemModel::get(int row) const
{
    QVariantMap values;
    const QModelIndex at = index(row, 0);
    if (!at.isValid())
        return values;
    const QHash<int, QByteArray> names = roleNames();
    for (auto it = names.constBegin(); it != names.constEnd(); ++it)
        values.insert(QString::fromLatin1(it.value()), data(at, it.key()));
    values.insert(QStringLiteral("index"), row);
    return values;
}

int HVQmlItemModel::firstEndingAfter(const QDateTime &when) const
{
    for (int row = 0; row < rowCount(); ++row) {
        const HVItem item = QSortFilterProxyModel::data(index(row, 0), HVItemModel::ItemRole).value<HVItem>();
        if (lastMoment(item) > when)
            return row;
    }
    return -1;
}

QString HVQmlItemModel::richBody(const QString &body)
{
    // Text lines, entities meant as such or escaped here.
    if (!Qt::mightBeRichText(body))
        return textAsMarkup(body, !isEntityText(body));
    // Whatever would be fetched goes; Text would otherwise ask the network.
    // Elements without an end tag (<img>) apart: looking for one would read
    // the rest of the text for each of them.
    static const QRegularExpression empty(QStringLiteral("<(img|link|embed|source|track)\\b[^>]*>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression fetched(
        QStringLiteral("<(script|style|object|iframe|video|audio)\\b[^>]*>(?:.*?</\\1\\s*>)?"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression backgrounds(
        QStringLiteral("\\s(background|src)\\s*=\\s*(\"[^\"]*\"|'[^']*'|[^\\s>]+)"),
        QRegularExpression::CaseInsensitiveOption);
    QString html = body;
    html.remove(empty);
    html.remove(fetched);
    html.remove(backgrounds);
    return withWideTablesAsLines(html);
}

void HVQmlItemModel::refilter()
{
    // The proxy removes and inserts rows in runs: one count, the final one.
    m_refiltering = true;
    invalidateFilter();
    m_refiltering = false;
    updateCount();
}

void HVQmlItemModel::updateCount()
{
    if (m_refiltering || m_count == rowCount())
        return;
    m_count = rowCount();
    Q_EMIT countChanged();
}

} // namespace Halvane
