// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVQMLCITIES_H
#define HVQMLCITIES_H

#include <QtCore/QAbstractListModel>
#include <QtCore/QFileSystemWatcher>

namespace Halvane {

/*!
 * The weather cities of the settings file ("cities": one
 * "cityId:<id>,<name>,<country>,<zone>[,default]" entry per city, separated by
 * ";"). Edits are written back at once; the weather source follows the file.
 */
class HVQmlCities : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString defaultCity READ defaultCity NOTIFY defaultCityChanged)

public:
    enum Roles { CityIdRole = Qt::UserRole + 1, NameRole, CountryRole, ZoneRole, IsDefaultRole };

    struct City {
        QString id;
        QString name;
        QString country;
        QString zone;
        bool isDefault = false;
    };

    explicit HVQmlCities(QObject *parent = nullptr);

    int count() const { return m_cities.size(); }
    QString defaultCity() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // False when the id is empty, holds a separator or is listed already.
    Q_INVOKABLE bool add(const QString &cityId, const QString &name, const QString &country = QString(),
                         const QString &zone = QString());
    Q_INVOKABLE bool remove(const QString &cityId);
    Q_INVOKABLE bool makeDefault(const QString &cityId);
    Q_INVOKABLE void reload();

    static QList<City> parse(const QString &value);
    static QString format(const QList<City> &cities);

Q_SIGNALS:
    void countChanged();
    void defaultCityChanged();

private:
    bool write(const QList<City> &cities);
    QString fileName() const;
    void watchFile();

    QList<City> m_cities;
    QFileSystemWatcher m_watcher;
};

} // namespace Halvane

#endif // HVQMLCITIES_H
