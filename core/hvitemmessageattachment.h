// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMMESSAGEATTACHMENT_H
#define HVITEMMESSAGEATTACHMENT_H

#include <QtCore/QByteArray>

#include "hvitemdetail.h"

namespace Halvane {

/*!
 * One attachment of a message: file name, content type, size in bytes and content.
 */
class HALVANECORE_EXPORT HVItemMessageAttachment : public HVItemDetail
{
public:
    static const QString DefinitionName;
    static const QString FieldFileName;
    static const QString FieldContentType;
    static const QString FieldSize;
    static const QString FieldContent;

    HVItemMessageAttachment();
    explicit HVItemMessageAttachment(const HVItemDetail &detail);

    QString fileName() const { return value(FieldFileName); }
    void setFileName(const QString &fileName) { setValue(FieldFileName, fileName); }
    QString contentType() const { return value(FieldContentType); }
    void setContentType(const QString &contentType) { setValue(FieldContentType, contentType); }
    int size() const { return variantValue(FieldSize).toInt(); }
    void setSize(int size) { setValue(FieldSize, size); }
    QByteArray content() const { return variantValue(FieldContent).toByteArray(); }
    void setContent(const QByteArray &content) { setValue(FieldContent, content); }
};

} // namespace Halvane

Q_DECLARE_TYPEINFO(HALVANE_NAMESPACE::HVItemMessageAttachment, Q_MOVABLE_TYPE);

#endif // HVITEMMESSAGEATTACHMENT_H
