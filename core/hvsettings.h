// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVSETTINGS_H
#define HVSETTINGS_H

#include <QtCore/QSettings>

#include "halvanecore_export.h"

namespace Halvane {

/*!
 * The application's settings file, "<config>/halvane/halvane.conf" (or the one
 * of organization and application), read as UTF-8: people write it in UTF-8
 * editors, and Qt 5 would read it as Latin-1. ASCII text and "\x" escapes read
 * as they always did.
 */
class HALVANECORE_EXPORT HVSettings : public QSettings
{
public:
    struct Names {
        QString organization;
        QString application;
    };

    /*!
     * Whose file holds the running application's settings: its own
     * organisation and application. A program that names no organisation
     * would read "Unknown Organization/<program>.conf", which nobody writes;
     * it reads Halvane's file instead, unless it has such a file of its own.
     */
    static Names applicationNames();

    explicit HVSettings(const Names &names, QObject *parent = nullptr);
    explicit HVSettings(const QString &organization = QStringLiteral("halvane"),
                        const QString &application = QStringLiteral("halvane"), QObject *parent = nullptr);
    ~HVSettings() override;

private:
    Q_DISABLE_COPY(HVSettings)
};

} // namespace Halvane

#endif // HVSETTINGS_H
