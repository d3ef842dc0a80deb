// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include "hvprogram.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QLocale>
#include <QtCore/QTranslator>

namespace Halvane {
namespace Program {

QString besideProgram(const QString &relative)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + relative);
}

void loadTranslations(QCoreApplication &app, const QString &relativeDataDir)
{
    const QString dir = besideProgram(relativeDataDir + QLatin1String("/translations"));
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(), QStringLiteral("halvane"), QStringLiteral("_"), dir)
        || translator->load(QStringLiteral("halvane_en"), dir))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

} // namespace Program
} // namespace Halvane
