// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvoverviewprinter.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonValue>
#include <QtCore/QMap>
#include <QtCore/QStringList>
#include <QtCore/QVector>

#include <algorithm>
#include <cmath>
#include <vector>

#include "hvitemmodel.h"
#include "hvproxyitemmodel.h"

namespace Halvane {

namespace {

QJsonValue toJson(const QVariant &value)
{
    if (!value.isValid())
        return QJsonValue();
    if (value.type() == QVariant::DateTime) {
        const QDateTime dateTime = value.toDateTime();
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
        return value.toString().simplified();
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

// Writes JSON as QJsonDocument::toJson() does, byte for byte, without
// building the document first: for a large overview, building the
// QJsonObjects and serialising them took a third of the program's time.
class JsonWriter
{
public:
    explicit JsonWriter(bool compact)
        : m_compact(compact)
    {
    }

    QByteArray text;

    void beginObject() { text += m_compact ? "{" : "{\n"; ++m_indent; m_first.push_back(true); }
    void endObject() { end('}'); }
    void beginArray() { text += m_compact ? "[" : "[\n"; ++m_indent; m_first.push_back(true); }
    void endArray() { end(']'); }

    void key(const QString &name)
    {
        element();
        string(name);
        text += m_compact ? "\":" : "\": ";
    }
    // An element of an array.
    void element()
    {
        if (!m_first.back())
            text += m_compact ? "," : ",\n";
        m_first.back() = false;
        if (!m_compact)
            text.append(4 * m_indent, ' ');
    }

    void value(const QJsonValue &value)
    {
        switch (value.type()) {
        case QJsonValue::Bool:
            text += value.toBool() ? "true" : "false";
            break;
        case QJsonValue::Double: {
            const double number = value.toDouble();
            if (!qIsFinite(number))
                text += "null";
            else if (number == double(qint64(number)) && std::abs(number) < 9007199254740992.0)
                text += QByteArray::number(qint64(number));
            else
                text += QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
            break;
        }
        case QJsonValue::String:
            string(value.toString());
            text += '"';
            break;
        case QJsonValue::Array: {
            beginArray();
            const QJsonArray array = value.toArray();
            for (const QJsonValue &item : array) {
                element();
                this->value(item);
            }
            endArray();
            break;
        }
        case QJsonValue::Object: {
            beginObject();
            const QJsonObject object = value.toObject();
            for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
                key(it.key());
                this->value(it.value());
            }
            endObject();
            break;
        }
        default:
            text += "null";
        }
    }

private:
    void end(char bracket)
    {
        const bool empty = m_first.back();
        m_first.pop_back();
        --m_indent;
        if (!m_compact) {
            if (!empty)
                text += '\n';
            text.append(4 * m_indent, ' ');
        }
        text += bracket;
    }

    // An opening quote and the escaped text; the caller closes it.
    void string(const QString &string)
    {
        text += '"';
        static const char hex[] = "0123456789abcdef";
        const QByteArray utf8 = string.toUtf8();
        for (const char c : utf8) {
            const uchar u = uchar(c);
            if (u >= 0x20 && u != '"' && u != '\\') {
                text += c;
                continue;
            }
            text += '\\';
            switch (u) {
            case '"': text += '"'; break;
            case '\\': text += '\\'; break;
            case '\b': text += 'b'; break;
            case '\f': text += 'f'; break;
            case '\n': text += 'n'; break;
            case '\r': text += 'r'; break;
            case '\t': text += 't'; break;
            default:
                text += "u00";
                text += hex[u >> 4];
                text += hex[u & 0xf];
            }
        }
    }

    const bool m_compact;
    int m_indent = 0;
    std::vector<bool> m_first;
};

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
    JsonWriter writer(compact);
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
                if (value.size() > MaxWidth)
                    value = value.left(MaxWidth - 1) + QChar(0x2026);
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
