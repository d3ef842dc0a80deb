// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvqmlcities.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QSettings>

#include <algorithm>

#include "hvglobal.h"
#include "hvsettings.h"

namespace Halvane {

namespace {

const QString CitiesKey = QStringLiteral("cities");

QSettings *openSettings()
{
    // The file the weather source reads, as it reads it.
    return new HVSettings(HVSettings::applicationNames());
}

bool validField(const QString &field)
{
    return !field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char(';'));
}

} // namespace

HVQmlCities::HVQmlCities(QObject *parent)
    : QAbstractListModel(parent)
{
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &HVQmlCities::reload);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &HVQmlCities::reload);
    reload();
}

QString HVQmlCities::fileName() const
{
    QScopedPointer<QSettings> settings(openSettings());
    return settings->fileName();
}

void HVQmlCities::watchFile()
{
    const QString file = fileName();
    // Editors replace the file: watch its directory too, and the file anew.
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (QFileInfo::exists(file))
        m_watcher.addPath(file);
    const QString dir = QFileInfo(file).absolutePath();
    if (QFileInfo(dir).isDir() && !m_watcher.directories().contains(dir))
        m_watcher.addPath(dir);
}

QList<HVQmlCities::City> HVQmlCities::parse(const QString &value)
{
    QList<City> cities;
    const QStringList entries = value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(QLatin1Char(','));
        City city;
        city.id = fields.value(0).trimmed();
        if (!city.id.startsWith(QLatin1String("cityId:"))) {
            qWarning() << "Cities: entry without an id skipped:" << entry;
            continue;
        }
        city.id.remove(0, 7);
        if (city.id.isEmpty())
            continue;
        city.name = fields.value(1);
        city.country = fields.value(2);
        city.zone = fields.value(3);
        city.isDefault = std::any_of(fields.cbegin() + qMin(4, fields.size()), fields.cend(),
                                     [](const QString &field) { return field.trimmed() == QLatin1String("default"); });
        cities.append(city);
    }
    return cities;
}

QString HVQmlCities::format(const QList<City> &cities)
{
    QStringList entries;
    for (const City &city : cities) {
        QString entry = QLatin1String("cityId:") + city.id + QLatin1Char(',') + city.name + QLatin1Char(',')
            + city.country + QLatin1Char(',') + city.zone;
        if (city.isDefault)
            entry += QLatin1String(",default");
        entries.append(entry);
    }
    return entries.join(QLatin1Char(';'));
}

void HVQmlCities::reload()
{
    const QString file = fileName();
    QString problem;
    QList<City> cities;
    if (!settingsFileIsSafe(file, &problem)) {
        qWarning() << "Cities: settings refused:" << problem;
    } else {
        QScopedPointer<QSettings> settings(openSettings());
        // Unquoted, a value with commas reads as a list; the weather source
        // takes it as the one string the user meant, and so must the page,
        // or its next edit would write the other cities away.
        const QVariant value = settings->value(CitiesKey);
        cities = parse(value.userType() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(','))
                                                                 : value.toString());
    }
    const QString oldDefault = defaultCity();
    const int oldCount = m_cities.size();
    beginResetModel();
    m_cities = cities;
    endResetModel();
    watchFile();
    if (oldCount != m_cities.size())
        Q_EMIT countChanged();
    if (oldDefault != defaultCity())
        Q_EMIT defaultCityChanged();
}

bool HVQmlCities::write(const QList<City> &cities)
{
    const QString file = fileName();
    QString problem;
    if (!settingsFileIsSafe(file, &problem)) {
        qWarning() << "Cities: settings refused, not written:" << problem;
        return false;
    }
    {
        QScopedPointer<QSettings> settings(openSettings());
        // Qt's INI writer loses what lies beyond the first plane of Unicode
        // (emoji, rarer CJK) when it writes UTF-8; bytes it escapes, and the
        // readers take them back as the same text.
        const QString text = format(cities);
        const bool beyond = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isSurrogate(); });
        settings->setValue(CitiesKey, beyond ? QVariant(text.toUtf8()) : QVariant(text));
        settings->sync();
        if (settings->status() != QSettings::NoError) {
            qWarning() << "Cities: cannot write" << settings->fileName();
            return false;
        }
    }
    reload();
    return true;
}

QString HVQmlCities::defaultCity() const
{
    for (const City &city : m_cities) {
        if (city.isDefault)
            return city.id;
    }
    return QString();
}

int HVQmlCities::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_cities.size();
}

QVariant HVQmlCities::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_cities.size())
        return QVariant();
    const City &city = m_cities.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return city.name;
    case CityIdRole:
        return city.id;
    case CountryRole:
        return city.country;
    case ZoneRole:
        return city.zone;
    case IsDefaultRole:
        return city.isDefault;
    }
    return QVariant();
}

QHash<int, QByteArray> HVQmlCities::roleNames() const
{
    return {{CityIdRole, "cityId"}, {NameRole, "name"}, {CountryRole, "country"}, {ZoneRole, "zone"},
            {IsDefaultRole, "isDefault"}};
}

bool HVQmlCities::add(const QString &cityId, const QString &name, const QString &country, const QString &zone)
{
    // The id as the settings file writes it ("cityId:oslo") is the id.
    QString id = cityId.trimmed();
    if (id.startsWith(QLatin1String("cityId:")))
        id = id.mid(7).trimmed();
    if (id.isEmpty() || id.contains(QLatin1Char(':')) || !validField(id) || !validField(name) || !validField(country)
        || !validField(zone)) {
        qWarning() << "Cities: not a city:" << cityId << name;
        return false;
    }
    QList<City> cities = m_cities;
    for (const City &city : cities) {
        if (city.id == id)
            return false;
    }
    City city;
    city.id = id;
    city.name = name.trimmed().isEmpty() ? id : name.trimmed();
    city.country = country.trimmed();
    city.zone = zone.trimmed();
    city.isDefault = cities.isEmpty();
    cities.append(city);
    return write(cities);
}

bool HVQmlCities::remove(const QString &cityId)
{
    QList<City> cities = m_cities;
    for (int i = 0; i < cities.size(); ++i) {
        if (cities.at(i).id != cityId)
            continue;
        const bool wasDefault = cities.at(i).isDefault;
        cities.removeAt(i);
        // Some city stays the default while there is one.
        if (wasDefault && !cities.isEmpty())
            cities.first().isDefault = true;
        return write(cities);
    }
    return false;
}

bool HVQmlCities::makeDefault(const QString &cityId)
{
    QList<City> cities = m_cities;
    int found = -1;
    for (int i = 0; i < cities.size(); ++i) {
        cities[i].isDefault = cities.at(i).id == cityId;
        if (cities[i].isDefault)
            found = i;
    }
    if (found < 0)
        return false;
    // The default city goes first, as on the phone.
    cities.move(found, 0);
    return write(cities);
}

} // namespace Halvane
