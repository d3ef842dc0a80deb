// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVJSONWRITER_H
#define HVJSONWRITER_H

#include <QtCore/QByteArray>
#include <QtCore/QJsonValue>

#include <vector>

namespace Halvane {

/*!
 * Writes JSON as QJsonDocument::toJson() does, byte for byte, without
 * building the document first: for a large overview, building QJsonObjects
 * and serialising them took a third of the program's time. The caller gives
 * an object's keys in sorted order, as QJsonObject keeps them.
 */
class HVJsonWriter
{
public:
    explicit HVJsonWriter(bool compact);

    QByteArray text;

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The next key of the open object.
    void key(const QString &name);
    // Starts the next element of the open array.
    void element();
    void value(const QJsonValue &value);

private:
    void end(char bracket);
    // An opening quote and the escaped text; the caller closes it.
    void string(const QString &string);

    const bool m_compact;
    int m_indent = 0;
    // Per open object or array: nothing written in it yet.
    std::vector<bool> m_first;
};

} // namespace Halvane

#endif // HVJSONWRITER_H
