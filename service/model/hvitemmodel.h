// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVITEMMODEL_H
#define HVITEMMODEL_H

#include <QtCore/QAbstractListModel>
#include <QtCore/QHash>
#include <QtCore/QStringList>

#include "halvaneservice_export.h"
#include "hvitem.h"

namespace Halvane {

class HVItemModelPrivate;
class HVRetrieveServiceAction;

/*!
 * One flat list of the day's records of all types. It fills itself from its own
 * retrieval of today's items, follows the sources' additions, changes and
 * removals, and answers data() with a fixed role table per item type.
 */
class HALVANESERVICE_EXPORT HVItemModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        DateRole = 0,
        ItemRole = 1,
        TypeRole = 5,
        // Fixed numbers shared with the user interface (Qt 4's UserRole + 1),
        // not Qt::UserRole + 1 of this Qt.
        MessageTypeRole = 33,
        FromRole,
        SubjectRole,
        ReceivedDateTimeRole,
        BodyRole,
        AttachmentsRole,
        DisplayLabelRole,
        DescriptionRole,
        StartDateTimeRole,
        EndDateTimeRole,
        LocationNameRole,
        LocationAddressRole,
        LocationCoordinatesRole,
        ChannelRole,
        DateTimeRole,
        TitleRole,
        CityRole,
        CityIdRole,
        DefaultCityRole,
        ImageRole,
        TemperatureRole,
        TemperatureMinRole,
        TemperatureMaxRole,
        WindRole,
        WindDirectionRole,
        PhoneNumberRole,
        CreatorRole,
        ParticipantsRole
    };

    // Starts the retrieval of today's items; the model is empty until it ends.
    explicit HVItemModel(QObject *parent = nullptr);
    ~HVItemModel() override;

    static HVItemModel *createModel(QObject *parent);
    // Message, event, feed and weather, in this order.
    static QStringList getSupportedItemTypes();
    // The role names of one item type; empty for any other string.
    static QHash<int, QByteArray> getRoles(const QString &itemType);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The model's own retrieval: its activity tells whether it runs, and a
    // new range started on it moves the model to another day.
    HVRetrieveServiceAction *retrieveAction() const;

public Q_SLOTS:
    void addNewItems(const QList<HVItem> &items);
    void updateItems(const QList<HVItem> &items);
    void removeItems(const QList<HVItem> &items);
    void resetModel();

private:
    HVItemModelPrivate *const d;
    Q_DISABLE_COPY(HVItemModel)
};

} // namespace Halvane

#endif // HVITEMMODEL_H
