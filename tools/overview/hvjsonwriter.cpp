// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvjsonwriter.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QLocale>

#include <cmath>

namespace Halvane {

HVJsonWriter::HVJsonWriter(bool compact)
    : m_compact(compact)
{
}

void HVJsonWriter::beginObject()
{
    text += m_compact ? "{" : "{\n";
    ++m_indent;
    m_first.push_back(true);
}

void HVJsonWriter::endObject()
{
    end('}');
}

void HVJsonWriter::beginArray()
{
    text += m_compact ? "[" : "[\n";
    ++m_indent;
    m_first.push_back(true);
}

void HVJsonWriter::endArray()
{
    end(']');
}

void HVJsonWriter::key(const QString &name)
{
    element();
    string(name);
    text += m_compact ? "\":" : "\": ";
}

void HVJsonWriter::element()
{
    if (!m_first.back())
        text += m_compact ? "," : ",\n";
    m_first.back() = false;
    if (!m_compact)
        text.append(4 * m_indent, ' ');
}

void HVJsonWriter::value(const QJsonValue &value)
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

void HVJsonWriter::end(char bracket)
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

void HVJsonWriter::string(const QString &string)
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
        case '"':
            text += '"';
            break;
        case '\\':
            text += '\\';
            break;
        case '\b':
            text += 'b';
            break;
        case '\f':
            text += 'f';
            break;
        case '\n':
            text += 'n';
            break;
        case '\r':
            text += 'r';
            break;
        case '\t':
            text += 't';
            break;
        default:
            text += "u00";
            text += hex[u >> 4];
            text += hex[u & 0xf];
        }
    }
}

} // namespace Halvane
