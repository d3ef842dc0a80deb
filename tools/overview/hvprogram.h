// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVPROGRAM_H
#define HVPROGRAM_H

#include <QtCore/QString>

class QCoreApplication;

namespace Halvane {

// What the programs share about where they stand: paths beside the program
// (the same layout in the build tree and when installed) and the catalogue.
namespace Program {

QString besideProgram(const QString &relative);
// Installs the catalogue of the user's language, or the English one, from
// <relativeDataDir>/translations beside the program.
void loadTranslations(QCoreApplication &app, const QString &relativeDataDir);

} // namespace Program
} // namespace Halvane

#endif // HVPROGRAM_H
