// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvoverviewprinter.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonArray>
#include <QtCore/QMap>
#include <QtCore/QStringList>
#include <QtCore/QVector>

#include <algorithm>

#include "hvglobal.h"
#include "hvitemmodel.h"
#include "hvjsonwriter.h"
#include "hvproxyitemmodel.h"

namespace Halvane {

namespace {

QJsonValue toJson(const QVariant &value)
{
    if (!value.isValid())
        return QJsonValue();
    if (value.type() == QVariant::DateTime) {
        QDateTime dateTime = value.toDateTime();
        // With its offset: a local time alone names no instant for the reader.
        if (dateTime.timeSpec() == Qt::LocalTime)
            dateTime = dateTime.toOffsetFromUtc(dateTime.offsetFromUtc());
        return dateTime.isValid() ? QJsonValue(dateTime.toString(Qt::ISODate)) : QJsonValue();
    }
    return QJsonValue::fromVariant(value);
}

QString toText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        return QString();
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("yes") : QString();
    case QJsonValue::Double:
        return QString::number(value.toDouble());
    case QJsonValue::String:
        return withoutControls(value.toString().simplified());
    case QJsonValue::Array: {
        QStringList parts;
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array)
            parts.append(element.isObject() ? element.toObject().value(QStringLiteral("fileName")).toString()
                                            : toText(element));
        return parts.join(QStringLiteral(", "));
    }
    case QJsonValue::Object:
        return QString();
    }
    return QString();
}

QList<int> sortedRoles(const QHash<int, QByteArray> &names)
{
    QList<int> roles = names.keys();
    std::sort(roles.begin(), roles.end());
    return roles;
}

// The row's keys with their roles, in key order: a QJsonObject keeps its keys
// sorted, and appending in that order spares it moving them on every insert.
QVector<QPair<QString, int>> rowKeys(const QAbstractItemModel *model)
{
    QVector<QPair<QString, int>> keys;
    const QHash<int, QByteArray> names = model->roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        keys.append({QString::fromUtf8(it.value()), it.key()});
    // The common roles carry no name on a proxy but reach the shared model by number.
    keys.append({QStringLiteral("date"), HVItemModel::DateRole});
    keys.append({QStringLiteral("type"), HVItemModel::TypeRole});
    // Later ones win, as repeated inserts did.
    std::stable_sort(keys.begin(), keys.end(), [](const QPair<QString, int> &a, const QPair<QString, int> &b) {
        return a.first < b.first;
    });
    QVector<QPair<QString, int>> unique;
    for (const auto &key : qAsConst(keys)) {
        if (!unique.isEmpty() && unique.last().first == key.first)
            unique.last() = key;
        else
            unique.append(key);
    }
    return unique;
}

QJsonObject rowObject(const QAbstractItemModel *model, int row, const QVector<QPair<QString, int>> &keys)
{
    QJsonObject object;
    const QModelIndex index = model->index(row, 0);
    for (const auto &key : keys)
        object.insert(key.first, toJson(index.data(key.second)));
    return object;
}

} // namespace

QJsonObject HVOverviewPrinter::rowObject(const QAbstractItemModel *model, int row)
{
    return Halvane::rowObject(model, row, rowKeys(model));
}

QJsonArray HVOverviewPrinter::rows(const QAbstractItemModel *model)
{
    QJsonArray array;
    const QVector<QPair<QString, int>> keys = rowKeys(model);
    for (int row = 0; row < model->rowCount(); ++row)
        array.append(Halvane::rowObject(model, row, keys));
    return array;
}

QByteArray HVOverviewPrinter::json(const QList<HVProxyItemModel *> &models, bool compact)
{
    // By type, as the document's keys; a later model of a type wins.
    QMap<QString, const HVProxyItemModel *> byType;
    for (const HVProxyItemModel *model : models)
        byType.insert(model->itemType(), model);
    HVJsonWriter writer(compact);
    writer.beginObject();
    for (auto it = byType.cbegin(); it != byType.cend(); ++it) {
        writer.key(it.key());
        writer.beginArray();
        const QAbstractItemModel *model = it.value();
        const QVector<QPair<QString, int>> keys = rowKeys(model);
        for (int row = 0; row < model->rowCount(); ++row) {
            writer.element();
            writer.beginObject();
            const QModelIndex index = model->index(row, 0);
            for (const auto &key : keys) {
                const QJsonValue value = toJson(index.data(key.second));
                // As QJsonObject::insert: undefined leaves the key out.
                if (value.isUndefined())
                    continue;
                writer.key(key.first);
                writer.value(value);
            }
            writer.endObject();
        }
        writer.endArray();
    }
    writer.endObject();
    if (!compact)
        writer.text += '\n';
    return writer.text;
}

QString HVOverviewPrinter::table(const QList<HVProxyItemModel *> &models)
{
    constexpr int MaxWidth = 40;
    QString text;
    QTextStream out(&text);
    for (const HVProxyItemModel *model : models) {
        const int count = model->rowCount();
        out << model->itemType() << " (" << count << (count == 1 ? " item" : " items") << ")\n";
        if (count == 0) {
            out << "  -\n\n";
            continue;
        }

        // Only the columns that hold something for at least one row.
        const QHash<int, QByteArray> names = model->roleNames();
        QStringList header{QStringLiteral("time")};
        QVector<QStringList> cells(count);
        for (int row = 0; row < count; ++row) {
            const QDateTime date = model->index(row, 0).data(HVItemModel::DateRole).toDateTime();
            cells[row].append(date.isValid() ? date.toString(QStringLiteral("HH:mm")) : QStringLiteral("--:--"));
        }
        const QList<int> roles = sortedRoles(names);
        for (int role : roles) {
            QStringList column;
            bool filled = false;
            for (int row = 0; row < count; ++row) {
                QString value = toText(toJson(model->index(row, 0).data(role)));
                if (value.size() > MaxWidth) {
                    // Not between the halves of a character (an emoji).
                    const int cut = value.at(MaxWidth - 2).isHighSurrogate() ? MaxWidth - 2 : MaxWidth - 1;
                    value = value.left(cut) + QChar(0x2026);
                }
                filled = filled || !value.isEmpty();
                column.append(value);
            }
            if (!filled)
                continue;
            header.append(QString::fromUtf8(names.value(role)));
            for (int row = 0; row < count; ++row)
                cells[row].append(column.at(row));
        }

        QVector<int> widths(header.size());
        for (int c = 0; c < header.size(); ++c) {
            widths[c] = header.at(c).size();
            for (const QStringList &line : qAsConst(cells))
                widths[c] = qMax(widths[c], line.at(c).size());
        }
        auto printLine = [&out, &widths](const QStringList &line) {
            out << " ";
            for (int c = 0; c < line.size(); ++c)
                out << " " << (c + 1 < line.size() ? line.at(c).leftJustified(widths.at(c)) : line.at(c));
            out << "\n";
        };
        printLine(header);
        for (const QStringList &line : qAsConst(cells))
            printLine(line);
        out << "\n";
    }
    out.flush();
    return text;
}

} // namespace Halvane
