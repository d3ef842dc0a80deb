// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvitemmodel.h"
#include "hvitemmodel_p.h"

#include <QtCore/QVector>

#include "hvevent.h"
#include "hvfeed.h"
#include "hvitemmanager.h"
#include "hvitemtype.h"
#include "hvmessage.h"
#include "hvweather.h"

namespace Halvane {

namespace {

const QString DateTimeTextFormat = QStringLiteral("ddd MMMM d yyyy hh:mm:ss");
const QString TimeTextFormat = QStringLiteral("hh:mm");

struct RoleTables
{
    RoleTables()
    {
        const QHash<int, QByteArray> all{
            {HVItemModel::MessageTypeRole, "messageType"},
            {HVItemModel::FromRole, "from"},
            {HVItemModel::SubjectRole, "subject"},
            {HVItemModel::ReceivedDateTimeRole, "receivedDateTime"},
            {HVItemModel::BodyRole, "body"},
            {HVItemModel::AttachmentsRole, "attachments"},
            {HVItemModel::DisplayLabelRole, "displayLabel"},
            {HVItemModel::DescriptionRole, "description"},
            {HVItemModel::StartDateTimeRole, "startDateTime"},
            {HVItemModel::EndDateTimeRole, "endDateTime"},
            {HVItemModel::LocationNameRole, "locationName"},
            {HVItemModel::LocationAddressRole, "locationAddress"},
            {HVItemModel::LocationCoordinatesRole, "locationCoordinates"},
            {HVItemModel::ChannelRole, "channel"},
            {HVItemModel::DateTimeRole, "dateTime"},
            {HVItemModel::TitleRole, "title"},
            {HVItemModel::CityRole, "city"},
            {HVItemModel::CityIdRole, "cityId"},
            {HVItemModel::DefaultCityRole, "defaultCity"},
            {HVItemModel::ImageRole, "image"},
            {HVItemModel::TemperatureRole, "temperature"},
            {HVItemModel::TemperatureMinRole, "temperatureMin"},
            {HVItemModel::TemperatureMaxRole, "temperatureMax"},
            {HVItemModel::WindRole, "wind"},
            {HVItemModel::WindDirectionRole, "windDirection"},
            {HVItemModel::PhoneNumberRole, "phoneNumber"},
            {HVItemModel::CreatorRole, "creator"},
            {HVItemModel::ParticipantsRole, "participants"},
        };
        auto pick = [&all](std::initializer_list<int> roles) {
            QHash<int, QByteArray> names;
            for (int role : roles)
                names.insert(role, all.value(role));
            return names;
        };
        message = pick({HVItemModel::MessageTypeRole, HVItemModel::FromRole, HVItemModel::SubjectRole,
                        HVItemModel::ReceivedDateTimeRole, HVItemModel::BodyRole, HVItemModel::AttachmentsRole,
                        HVItemModel::DisplayLabelRole, HVItemModel::PhoneNumberRole});
        event = pick({HVItemModel::DisplayLabelRole, HVItemModel::DescriptionRole, HVItemModel::StartDateTimeRole,
                      HVItemModel::EndDateTimeRole, HVItemModel::LocationNameRole, HVItemModel::LocationAddressRole,
                      HVItemModel::LocationCoordinatesRole, HVItemModel::CreatorRole,
                      HVItemModel::ParticipantsRole});
        feed = pick({HVItemModel::BodyRole, HVItemModel::DisplayLabelRole, HVItemModel::ChannelRole,
                     HVItemModel::DateTimeRole, HVItemModel::TitleRole});
        weather = pick({HVItemModel::DescriptionRole, HVItemModel::CityRole, HVItemModel::CityIdRole,
                        HVItemModel::DefaultCityRole, HVItemModel::ImageRole, HVItemModel::TemperatureRole,
                        HVItemModel::TemperatureMinRole, HVItemModel::TemperatureMaxRole, HVItemModel::WindRole,
                        HVItemModel::WindDirectionRole});
        common = QHash<int, QByteArray>{
            {HVItemModel::DateRole, "date"},
            {HVItemModel::TypeRole, "type"},
            {HVItemModel::ItemRole, "item"},
        };
    }

    QHash<int, QByteArray> message;
    QHash<int, QByteArray> event;
    QHash<int, QByteArray> feed;
    QHash<int, QByteArray> weather;
    QHash<int, QByteArray> common;
};

const RoleTables &roleTables()
{
    static const RoleTables tables;
    return tables;
}

// A detail value as text, the way QVariant converts it; nothing for what does not convert.
QString detailText(const HVItemDetail &detail, const QString &field)
{
    const QVariant value = detail.variantValue(field);
    return value.canConvert<QString>() ? value.toString() : QString();
}

QVariant messageData(const HVMessage &message, int role)
{
    switch (role) {
    case HVItemModel::MessageTypeRole:
        return static_cast<int>(message.messageType());
    case HVItemModel::FromRole:
        return message.from();
    case HVItemModel::SubjectRole:
        return message.subject();
    case HVItemModel::ReceivedDateTimeRole:
        return message.receivedDateTime().toString(DateTimeTextFormat);
    case HVItemModel::BodyRole:
        return message.body();
    case HVItemModel::AttachmentsRole: {
        // Name, type and size only: contents can be large and are reached
        // through the "item" role.
        QVariantList attachments;
        const QList<HVItemMessageAttachment> list = message.attachments();
        for (const HVItemMessageAttachment &attachment : list) {
            attachments.append(QVariantMap{
                {QStringLiteral("fileName"), attachment.fileName()},
                {QStringLiteral("contentType"), attachment.contentType()},
                {QStringLiteral("size"), attachment.size()},
            });
        }
        return attachments;
    }
    case HVItemModel::DisplayLabelRole:
        return message.displayLabel();
    case HVItemModel::PhoneNumberRole:
        return message.phoneNumber();
    default:
        return QVariant();
    }
}

QVariant eventData(const HVEvent &event, int role)
{
    switch (role) {
    case HVItemModel::DisplayLabelRole:
        return event.displayLabel();
    case HVItemModel::DescriptionRole:
        return event.description();
    case HVItemModel::StartDateTimeRole:
        return event.startDateTime().toString(TimeTextFormat);
    case HVItemModel::EndDateTimeRole:
        return event.endDateTime().toString(TimeTextFormat);
    case HVItemModel::LocationNameRole:
        return event.locationName();
    case HVItemModel::LocationAddressRole:
        return event.locationAddress();
    case HVItemModel::LocationCoordinatesRole:
        return event.locationCoordinates();
    case HVItemModel::CreatorRole:
        return detailText(event.creator(), HVItemEventCreator::FieldEmail);
    case HVItemModel::ParticipantsRole: {
        QStringList names;
        const QList<HVItemEventParticipant> participants = event.participants();
        for (const HVItemEventParticipant &participant : participants)
            names.append(detailText(participant, HVItemEventParticipant::FieldName));
        return names;
    }
    default:
        return QVariant();
    }
}

QVariant feedData(const HVFeed &feed, int role)
{
    switch (role) {
    case HVItemModel::BodyRole:
        return feed.body();
    case HVItemModel::DisplayLabelRole:
        return feed.displayLabel();
    case HVItemModel::ChannelRole:
        return feed.channel();
    case HVItemModel::DateTimeRole:
        return feed.dateTime().toString(DateTimeTextFormat);
    case HVItemModel::TitleRole:
        return feed.title();
    default:
        return QVariant();
    }
}

QVariant weatherData(const HVWeather &weather, int role)
{
    switch (role) {
    case HVItemModel::DescriptionRole:
        return weather.description();
    case HVItemModel::CityRole:
        return weather.city();
    case HVItemModel::CityIdRole:
        return weather.cityId();
    case HVItemModel::DefaultCityRole:
        return weather.defaultCity();
    case HVItemModel::ImageRole:
        return weather.image();
    case HVItemModel::TemperatureRole:
        return weather.temperature();
    case HVItemModel::TemperatureMinRole:
        return weather.temperatureMin();
    case HVItemModel::TemperatureMaxRole:
        return weather.temperatureMax();
    case HVItemModel::WindRole:
        return weather.wind();
    case HVItemModel::WindDirectionRole:
        return weather.windDirection();
    default:
        return QVariant();
    }
}

// Counts removed original rows, so a batch of removals finds the current row of
// each planned one in logarithmic time.
class RemovedRows
{
public:
    explicit RemovedRows(int size)
        : m_tree(size + 1, 0)
    {
    }

    void add(int row)
    {
        for (int i = row + 1; i < m_tree.size(); i += i & -i)
            ++m_tree[i];
    }

    // How many removed rows lie before row.
    int before(int row) const
    {
        int count = 0;
        for (int i = row; i > 0; i -= i & -i)
            count += m_tree.at(i);
        return count;
    }

private:
    QVector<int> m_tree;
};

} // namespace

HVItemModelPrivate::HVItemModelPrivate()
    : retrieveAction(nullptr)
    , itemManager(HVItemManager::instance())
{
}

int HVItemModelPrivate::findRow(const HVItem &item) const
{
    if (!indexValid) {
        firstRows.clear();
        firstRows.reserve(items.size());
        for (int row = items.size() - 1; row >= 0; --row)
            firstRows.insert(items.at(row).id(), row);
        indexValid = true;
    }
    return firstRows.value(item.id(), -1);
}

QList<HVItem> HVItemModelPrivate::withinRange(const QList<HVItem> &items) const
{
    const QDateTime from = retrieveAction.fromDateTime();
    const QDateTime to = retrieveAction.toDateTime();
    if (!from.isValid() || !to.isValid())
        return items;
    QList<HVItem> within;
    for (const HVItem &item : items) {
        QDateTime start = item.dateTime();
        QDateTime end = start;
        // An event belongs to every day it runs into.
        if (item.type() == HVItemType::TypeEvent) {
            const HVEvent event(item);
            if (event.startDateTime().isValid())
                start = event.startDateTime();
            end = qMax(start, event.endDateTime());
        }
        if (!start.isValid() || (start < to && (end > from || start >= from)))
            within.append(item);
    }
    return within;
}

void HVItemModelPrivate::appendToIndex(int firstNewRow)
{
    if (!indexValid)
        return;
    for (int row = firstNewRow; row < items.size(); ++row) {
        const HVItemId id = items.at(row).id();
        if (!firstRows.contains(id))
            firstRows.insert(id, row);
    }
}

void HVItemModelPrivate::invalidateIndex()
{
    indexValid = false;
    firstRows.clear();
}

HVItemModel::HVItemModel(QObject *parent)
    : QAbstractListModel(parent)
    , d(new HVItemModelPrivate)
{
    if (d->itemManager) {
        // The sources keep reporting today's news while another model shows
        // another day (the item manager sees to it): this model keeps its own.
        connect(d->itemManager, &HVItemManager::itemsAdded, this, [this](const QList<HVItem> &items) {
            // The retrieval may have read an item while its addition was on
            // its way: a second row of it would show it twice.
            QList<HVItem> added;
            QList<HVItem> held;
            for (const HVItem &item : d->withinRange(items))
                (d->findRow(item) >= 0 ? held : added).append(item);
            updateItems(held);
            addNewItems(added);
        });
        connect(d->itemManager, SIGNAL(itemsRemoved(QList<HVItem>)), this, SLOT(removeItems(QList<HVItem>)));
        connect(d->itemManager, SIGNAL(itemsChanged(QList<HVItem>)), this, SLOT(updateItems(QList<HVItem>)));
    }
    connect(&d->retrieveAction, SIGNAL(resultsAvailable()), this, SLOT(resetModel()));
    d->retrieveAction.start();
}

HVItemModel::~HVItemModel()
{
    delete d;
}

HVItemModel *HVItemModel::createModel(QObject *parent)
{
    return new HVItemModel(parent);
}

QStringList HVItemModel::getSupportedItemTypes()
{
    return QStringList{HVItemType::TypeMessage, HVItemType::TypeEvent, HVItemType::TypeFeed,
                       HVItemType::TypeWeather};
}

QHash<int, QByteArray> HVItemModel::getRoles(const QString &itemType)
{
    const RoleTables &tables = roleTables();
    if (itemType == HVItemType::TypeMessage)
        return tables.message;
    if (itemType == HVItemType::TypeEvent)
        return tables.event;
    if (itemType == HVItemType::TypeFeed)
        return tables.feed;
    if (itemType == HVItemType::TypeWeather)
        return tables.weather;
    return QHash<int, QByteArray>();
}

HVRetrieveServiceAction *HVItemModel::retrieveAction() const
{
    return &d->retrieveAction;
}

QHash<int, QByteArray> HVItemModel::roleNames() const
{
    return roleTables().common;
}

int HVItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->items.size();
}

QVariant HVItemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= d->items.size())
        return QVariant();
    const HVItem &item = d->items.at(index.row());

    switch (role) {
    case DateRole:
        return item.dateTime();
    case TypeRole:
        return item.type();
    case ItemRole:
        return QVariant::fromValue(item);
    default:
        break;
    }

    const QString type = item.type();
    if (type == HVItemType::TypeMessage)
        return messageData(HVMessage(item), role);
    if (type == HVItemType::TypeEvent)
        return eventData(HVEvent(item), role);
    if (type == HVItemType::TypeFeed)
        return feedData(HVFeed(item), role);
    if (type == HVItemType::TypeWeather)
        return weatherData(HVWeather(item), role);
    return QVariant();
}

void HVItemModel::addNewItems(const QList<HVItem> &items)
{
    if (items.isEmpty())
        return;
    const int first = rowCount(QModelIndex());
    beginInsertRows(QModelIndex(), first, first + items.size() - 1);
    d->items.append(items);
    d->appendToIndex(first);
    ++d->revision;
    endInsertRows();
}

void HVItemModel::updateItems(const QList<HVItem> &items)
{
    for (const HVItem &item : items) {
        int row = d->findRow(item);
        if (row < 0)
            continue;
        // Occurrences of a recurring entry share an id: a changed one replaces
        // the row of its own day, not always the first occurrence's.
        const QDate day = item.dateTime().date();
        if (day.isValid() && d->items.at(row).dateTime().date() != day) {
            for (int other = row + 1; other < d->items.size(); ++other) {
                if (d->items.at(other).id() == item.id() && d->items.at(other).dateTime().date() == day) {
                    row = other;
                    break;
                }
            }
        }
        d->items[row] = item;
        const QModelIndex changed = index(row, 0);
        Q_EMIT dataChanged(changed, changed);
    }
}

void HVItemModel::removeItems(const QList<HVItem> &items)
{
    if (items.isEmpty())
        return;

    // Plan the batch: since removing a row keeps the order of the others, the
    // n-th record of an id removes the n-th row holding that id.
    QHash<HVItemId, QVector<int>> rowsById;
    for (const HVItem &item : items)
        rowsById.insert(item.id(), QVector<int>());
    for (int row = 0; row < d->items.size(); ++row) {
        auto it = rowsById.find(d->items.at(row).id());
        if (it != rowsById.end())
            it->append(row);
    }

    QHash<HVItemId, int> taken;
    RemovedRows removed(d->items.size());
    int next = 0;
    for (; next < items.size(); ++next) {
        const HVItemId id = items.at(next).id();
        const QVector<int> &rows = rowsById[id];
        int &count = taken[id];
        if (count >= rows.size())
            continue;
        const int original = rows.at(count++);
        const int row = original - removed.before(original);

        beginRemoveRows(QModelIndex(), row, row);
        d->items.removeAt(row);
        d->invalidateIndex();
        const quint64 revision = ++d->revision;
        endRemoveRows();
        removed.add(original);

        if (d->revision != revision) {
            ++next;
            break;
        }
    }

    // A slot changed the model in the middle of the batch: the plan no longer
    // holds, so the rest is matched row by row.
    for (; next < items.size(); ++next) {
        const int row = d->findRow(items.at(next));
        if (row < 0)
            continue;
        beginRemoveRows(QModelIndex(), row, row);
        d->items.removeAt(row);
        d->invalidateIndex();
        ++d->revision;
        endRemoveRows();
    }
}

void HVItemModel::resetModel()
{
    beginResetModel();
    d->items = d->retrieveAction.items();
    d->invalidateIndex();
    ++d->revision;
    endResetModel();
}

} // namespace Halvane
