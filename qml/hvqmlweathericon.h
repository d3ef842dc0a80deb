// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVQMLWEATHERICON_H
#define HVQMLWEATHERICON_H

#include <QtCore/QObject>

namespace Halvane {

/*!
 * Maps the forecast provider's image ("qrc:/img/NN.svg", NN its icon number)
 * to a freedesktop icon name that icon themes ship ("weather-clear",
 * "weather-showers-night", ...). The provider numbers its night icons from 33.
 */
class HVQmlWeatherIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The icon name for an image; night as the number says.
    Q_INVOKABLE QString name(const QString &image) const;
    // The icon name for an image by day or by night.
    Q_INVOKABLE QString name(const QString &image, bool night) const;

    // The provider's icon number in an image path, or -1.
    static int iconNumber(const QString &image);
};

} // namespace Halvane

#endif // HVQMLWEATHERICON_H
