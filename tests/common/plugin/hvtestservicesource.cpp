// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvtestservicesource.h"

#include <QtCore/QDebug>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

#include <algorithm>

#include "hvevent.h"
#include "hvfeed.h"
#include "hvitemtype.h"
#include "hvmessage.h"
#include "hvservice.h"
#include "hvweather.h"

namespace Halvane {

namespace {

QDateTime parseDate(const QString &text)
{
    static const QMap<QString, int> relative{
        {QStringLiteral("yesterday "), -1}, {QStringLiteral("today "), 0}, {QStringLiteral("tomorrow "), 1}};
    for (auto it = relative.cbegin(); it != relative.cend(); ++it) {
        if (text.startsWith(it.key())) {
            const QString timeText = text.mid(it.key().size());
            QTime time = QTime::fromString(timeText, QStringLiteral("HH:mm:ss"));
            if (!time.isValid())
                time = QTime::fromString(timeText, QStringLiteral("HH:mm"));
            return QDateTime(QDate::currentDate().addDays(it.value()), time);
        }
    }
    return QDateTime::fromString(text, Qt::ISODate);
}

HVItemDetail personDetail(HVItemDetail detail, const QJsonObject &object)
{
    detail.setValue(HVItemEventCreator::FieldName, object.value(QStringLiteral("name")).toString());
    if (object.contains(QStringLiteral("email")))
        detail.setValue(HVItemEventCreator::FieldEmail, object.value(QStringLiteral("email")).toString());
    return detail;
}

} // namespace

HVTestServiceSource::HVTestServiceSource(HVService *service, const QString &key, const QString &itemType)
    : HVServiceSource(service)
    , m_service(service)
    , m_key(key)
    , m_itemType(itemType)
{
    const int count = qEnvironmentVariableIntValue("HALVANE_TEST_GENERATE");
    if (count > 0) {
        generate(count);
        return;
    }
    const QString dir = qEnvironmentVariable("HALVANE_TEST_ITEMS_DIR");
    if (dir.isEmpty())
        return;
    m_fileName = dir + QLatin1Char('/') + key + QLatin1String(".json");
    // The directory too: editors and tests replace the file by renaming.
    m_watcher.addPath(dir);
    if (QFileInfo::exists(m_fileName))
        m_watcher.addPath(m_fileName);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &HVTestServiceSource::reload);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &HVTestServiceSource::reload);
    m_objects = readFile();
    for (const QJsonObject &object : qAsConst(m_objects))
        m_items.append(toItem(object));
}

void HVTestServiceSource::generate(int count)
{
    // In UTC: every local date-time made costs a time-zone look-up, which
    // would dominate large runs; the framework orders any time spec alike.
    const qint64 midnight = QDateTime(QDate::currentDate(), QTime(0, 0)).toMSecsSinceEpoch();
    const uint seed = qHash(m_key);
    m_items.reserve(count);
    for (int i = 0; i < count; ++i) {
        HVItem item(m_itemType);
        item.setId(HVItemId(QString::number(i), m_key));
        const int second = int((uint(i) * 7919u + seed) % 86400u);
        item.setDateTime(QDateTime::fromMSecsSinceEpoch(midnight + second * 1000LL, Qt::UTC));
        const QString label = m_key + QLatin1Char(' ') + QString::number(i);
        item.setDisplayLabel(label);
        item.setDescription(label);
        m_items.append(item);
    }
}

QMap<QString, QJsonObject> HVTestServiceSource::readFile() const
{
    QMap<QString, QJsonObject> objects;
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return objects;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        qWarning() << "test source" << m_key << "cannot read" << m_fileName << error.errorString();
        return m_objects;
    }
    const QJsonArray array = document.array();
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        objects.insert(object.value(QStringLiteral("id")).toString(), object);
    }
    return objects;
}

HVItem HVTestServiceSource::toItem(const QJsonObject &object) const
{
    HVItem item(object.value(QStringLiteral("type")).toString(m_itemType));
    item.setId(HVItemId(object.value(QStringLiteral("id")).toString(), m_key));
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        const QString field = it.key();
        const QJsonValue value = it.value();
        if (field == QLatin1String("id") || field == QLatin1String("type")) {
            continue;
        } else if (field == QLatin1String("date")) {
            item.setDateTime(parseDate(value.toString()));
        } else if (field == QLatin1String("displayLabel")) {
            item.setDisplayLabel(value.toString());
        } else if (field == QLatin1String("description")) {
            item.setDescription(value.toString());
        } else if (field.endsWith(QLatin1String("DateTime"))) {
            item.setValue(field, parseDate(value.toString()));
        } else if (field == QLatin1String("creator")) {
            HVEvent event(item);
            event.setCreator(HVItemEventCreator(personDetail(HVItemEventCreator(), value.toObject())));
            item = event;
        } else if (field == QLatin1String("participants")) {
            QList<HVItemEventParticipant> participants;
            const QJsonArray array = value.toArray();
            for (const QJsonValue &entry : array)
                participants.append(HVItemEventParticipant(personDetail(HVItemEventParticipant(), entry.toObject())));
            HVEvent event(item);
            event.setParticipants(participants);
            item = event;
        } else if (field == QLatin1String("attachments")) {
            QList<HVItemMessageAttachment> attachments;
            const QJsonArray array = value.toArray();
            for (const QJsonValue &entry : array) {
                const QJsonObject object = entry.toObject();
                HVItemMessageAttachment attachment;
                attachment.setFileName(object.value(QStringLiteral("fileName")).toString());
                attachment.setContentType(object.value(QStringLiteral("contentType")).toString());
                attachment.setSize(object.value(QStringLiteral("size")).toInt());
                attachments.append(attachment);
            }
            HVMessage message(item);
            message.setAttachments(attachments);
            item = message;
        } else {
            item.setValue(field, value.toVariant());
        }
    }
    return item;
}

QList<HVItem> HVTestServiceSource::retrieveItemList(const QDateTime &fromDateTime, const QDateTime &toDateTime)
{
    // Compared as instants: comparing with local date-times would look the
    // time zone up for every item.
    const qint64 from = fromDateTime.toMSecsSinceEpoch();
    const qint64 to = toDateTime.toMSecsSinceEpoch();
    m_from = from;
    m_to = to;
    QList<HVItem> items;
    for (const HVItem &item : qAsConst(m_items)) {
        const QDateTime date = item.dateTime();
        if (!date.isValid()) {
            items.append(item);
            continue;
        }
        const qint64 at = date.toMSecsSinceEpoch();
        if (at >= from && at < to)
            items.append(item);
    }
    return items;
}

bool HVTestServiceSource::synchronize()
{
    Q_EMIT m_service->actionCompleted(true);
    return true;
}

void HVTestServiceSource::reload()
{
    if (QFileInfo::exists(m_fileName) && !m_watcher.files().contains(m_fileName))
        m_watcher.addPath(m_fileName);

    const QMap<QString, QJsonObject> objects = readFile();
    QList<HVItem> added, changed, removed;
    for (auto it = m_objects.cbegin(); it != m_objects.cend(); ++it) {
        if (!objects.contains(it.key()))
            removed.append(toItem(it.value()));
    }
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        auto old = m_objects.constFind(it.key());
        if (old == m_objects.cend())
            added.append(toItem(it.value()));
        else if (old.value() != it.value())
            changed.append(toItem(it.value()));
    }
    m_objects = objects;
    m_items.clear();
    for (const QJsonObject &object : qAsConst(m_objects))
        m_items.append(toItem(object));
    if (qEnvironmentVariableIsSet("HALVANE_TEST_FOLLOW_RANGE")) {
        for (QList<HVItem> *list : {&added, &changed, &removed}) {
            list->erase(std::remove_if(list->begin(), list->end(),
                                       [this](const HVItem &item) {
                                           const qint64 at = item.dateTime().toMSecsSinceEpoch();
                                           return item.dateTime().isValid() && (at < m_from || at >= m_to);
                                       }),
                        list->end());
        }
    }

    if (!removed.isEmpty())
        Q_EMIT itemsRemoved(removed);
    if (!changed.isEmpty())
        Q_EMIT itemsChanged(changed);
    if (!added.isEmpty())
        Q_EMIT itemsAdded(added);
}

} // namespace Halvane
