// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVQMLITEMMODEL_H
#define HVQMLITEMMODEL_H

#include <QtCore/QDateTime>
#include <QtCore/QPointer>
#include <QtCore/QSortFilterProxyModel>
#include <QtCore/QVariant>

namespace Halvane {

class HVProxyItemModel;
class HVRetrieveServiceAction;

/*!
 * The day's items of one type for QML: the factory's proxy over the one shared
 * item model, under its role names plus "date", "type" and a few roles a view
 * needs ("itemId", "speechText", "richBody", "start", "end", "startDay",
 * "endDay"; attachments carry a "sizeText"). Live as the
 * sources change; moves to the new day with the shared model.
 */
class HVQmlItemModel : public QSortFilterProxyModel
{
    Q_OBJECT
    // "weather", "message", "event", "feed", or an ItemType value.
    Q_PROPERTY(QVariant itemType READ itemType WRITE setItemType NOTIFY itemTypeChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // True while the retrieval of the day runs.
    Q_PROPERTY(bool busy READ isBusy NOTIFY busyChanged)
    // Whether an installed source gives items of this type.
    Q_PROPERTY(bool sourceAvailable READ isSourceAvailable NOTIFY itemTypeChanged)
    Q_PROPERTY(bool newestFirst READ newestFirst WRITE setNewestFirst NOTIFY newestFirstChanged)
    // When valid, rows that ended before it are left out (what is still to come).
    Q_PROPERTY(QDateTime endingAfter READ endingAfter WRITE setEndingAfter NOTIFY endingAfterChanged)
    // Whether calendar to-dos are kept beside events, left out, or alone.
    Q_PROPERTY(TodoFilter todos READ todos WRITE setTodos NOTIFY todosChanged)
    // When valid, to-dos not due on its day are left out; events stay.
    Q_PROPERTY(QDateTime dueOn READ dueOn WRITE setDueOn NOTIFY dueOnChanged)
    // Whether entries of whole days (allDay) are kept, left out, or alone:
    // "next" lists the timed ones, with the day's whole-day entries apart.
    Q_PROPERTY(WholeDayFilter wholeDays READ wholeDays WRITE setWholeDays NOTIFY wholeDaysChanged)

public:
    enum ItemType { Weather, Message, Event, Feed };
    Q_ENUM(ItemType)
    enum TodoFilter { WithTodos, WithoutTodos, OnlyTodos };
    Q_ENUM(TodoFilter)
    enum WholeDayFilter { WithWholeDays, WithoutWholeDays, OnlyWholeDays };
    Q_ENUM(WholeDayFilter)

    enum ExtraRoles {
        ItemIdRole = 300,
        SpeechTextRole,
        RichBodyRole,
        StartRole,
        EndRole,
        IsTodoRole,
        AllDayRole,
        // The body as text, for a line of a list: an HTML mail's markup goes.
        PlainBodyRole,
        // The day a timed entry starts or ends on, where it is not the day
        // shown ("yesterday", "Mon", "8 Dec"); empty on that day.
        StartDayRole,
        EndDayRole,
        // Whether a weather row holds a forecast, or only stands for its city
        // until one comes (or while none can be fetched).
        HasForecastRole,
        // The clock time of the start (a message's or feed's own time) and
        // of the end, as the user's locale writes it ("5:00 PM", "17:00");
        // empty where there is none or the entry is of whole days.
        StartTimeRole,
        EndTimeRole,
    };

    explicit HVQmlItemModel(QObject *parent = nullptr);
    ~HVQmlItemModel() override;

    QVariant itemType() const { return m_itemType; }
    void setItemType(const QVariant &itemType);
    int count() const { return rowCount(); }
    bool isBusy() const;
    bool isSourceAvailable() const;
    bool newestFirst() const { return m_newestFirst; }
    void setNewestFirst(bool newestFirst);
    QDateTime endingAfter() const { return m_endingAfter; }
    void setEndingAfter(const QDateTime &endingAfter);
    TodoFilter todos() const { return m_todos; }
    void setTodos(TodoFilter todos);
    QDateTime dueOn() const { return m_dueOn; }
    void setDueOn(const QDateTime &dueOn);
    WholeDayFilter wholeDays() const { return m_wholeDays; }
    void setWholeDays(WholeDayFilter wholeDays);

    QHash<int, QByteArray> roleNames() const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // All named roles of a row, for views that show one item.
    Q_INVOKABLE QVariantMap get(int row) const;
    // The first row still going on or to come at when (see endingAfter);
    // -1 when every row is over.
    Q_INVOKABLE int firstEndingAfter(const QDateTime &when) const;

    // The type name for an itemType value; empty when it names none.
    static QString typeName(const QVariant &itemType);
    // Turns a body into rich text that shows safely: HTML without images,
    // scripts and styles that would be fetched; plain text escaped.
    static QString richBody(const QString &body);

Q_SIGNALS:
    void itemTypeChanged();
    void countChanged();
    void busyChanged();
    void newestFirstChanged();
    void endingAfterChanged();
    void todosChanged();
    void dueOnChanged();
    void wholeDaysChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    void updateCount();
    void applySort();
    void refilter();
    void updateBusy();

    QVariant m_itemType;
    QString m_typeName;
    QPointer<HVProxyItemModel> m_source;
    QPointer<HVRetrieveServiceAction> m_retrieval;
    bool m_newestFirst = false;
    QDateTime m_endingAfter;
    TodoFilter m_todos = WithTodos;
    WholeDayFilter m_wholeDays = WithWholeDays;
    QDateTime m_dueOn;
    int m_count = 0;
    bool m_refiltering = false;
    bool m_busy = false;
};

} // namespace Halvane

#endif // HVQMLITEMMODEL_H
