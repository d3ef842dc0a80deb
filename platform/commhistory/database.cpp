// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "database.h"

#include "commhistory.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>
#include <QtCore/QVariant>
#include <QtSql/QSqlError>
#include <QtSql/QSqlQuery>

#include <algorithm>

namespace CommHistory {

namespace {

const char EventColumns[] = "id, type, direction, groupId, startTime, endTime, lastModified, freeText, remoteUid, parentId";

// Text columns are NOT NULL: a null QString binds as NULL, an empty one as ''.
QString textToSql(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QVariant timeToSql(const QDateTime &time)
{
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant(QVariant::LongLong);
}

QDateTime timeFromSql(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong());
}

Event eventFromQuery(const QSqlQuery &query)
{
    Event event;
    event.setId(query.value(0).toInt());
    const int type = query.value(1).toInt();
    event.setType(type == Event::CallEvent || type == Event::SMSEvent ? Event::EventType(type) : Event::UnknownType);
    const int direction = query.value(2).toInt();
    event.setDirection(direction == Event::Inbound || direction == Event::Outbound
                           ? Event::EventDirection(direction) : Event::UnknownDirection);
    event.setGroupId(query.value(3).toInt());
    event.setStartTime(timeFromSql(query.value(4)));
    event.setEndTime(timeFromSql(query.value(5)));
    event.setLastModified(timeFromSql(query.value(6)));
    event.setFreeText(query.value(7).toString());
    event.setRemoteUid(query.value(8).toString());
    event.setParentId(query.value(9).toInt());
    return event;
}

QString uidsToSql(const QStringList &uids)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(uids)).toJson(QJsonDocument::Compact));
}

QStringList uidsFromSql(const QString &text)
{
    QStringList uids;
    const QJsonArray array = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const QJsonValue &value : array)
        uids.append(value.toString());
    return uids;
}

Group groupFromQuery(const QSqlQuery &query)
{
    Group group;
    group.setId(query.value(0).toInt());
    group.setContactName(query.value(1).toString());
    group.setRemoteUids(uidsFromSql(query.value(2).toString()));
    return group;
}

void bindEvent(QSqlQuery &query, const Event &event)
{
    query.bindValue(QStringLiteral(":type"), int(event.type()));
    query.bindValue(QStringLiteral(":direction"), int(event.direction()));
    query.bindValue(QStringLiteral(":groupId"), event.groupId());
    query.bindValue(QStringLiteral(":startTime"), timeToSql(event.startTime()));
    query.bindValue(QStringLiteral(":endTime"), timeToSql(event.endTime()));
    query.bindValue(QStringLiteral(":lastModified"), timeToSql(event.lastModified()));
    query.bindValue(QStringLiteral(":freeText"), textToSql(event.freeText()));
    query.bindValue(QStringLiteral(":remoteUid"), textToSql(event.remoteUid()));
    query.bindValue(QStringLiteral(":parentId"), event.parentId());
}

} // namespace

Database::Database(const QString &path)
    : m_path(path)
    , m_file("CommHistory", QStringLiteral("history database"))
{
    open();
}

Database::~Database() = default;

bool Database::open()
{
    if (m_path.isEmpty()) {
        m_file.fail(QStringLiteral("no database path"),
                    QStringLiteral("neither HALVANE_COMMHISTORY_DB nor a data directory is set"));
        return false;
    }
    return m_file.open(m_path, {
        QStringLiteral("CREATE TABLE IF NOT EXISTS Groups ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "contactName TEXT NOT NULL DEFAULT '', "
                       "remoteUids TEXT NOT NULL DEFAULT '[]')"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS Events ("
                       "id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "type INTEGER NOT NULL, "
                       "direction INTEGER NOT NULL, "
                       "groupId INTEGER NOT NULL DEFAULT -1, "
                       "startTime INTEGER, "
                       "endTime INTEGER, "
                       "lastModified INTEGER, "
                       "freeText TEXT NOT NULL DEFAULT '', "
                       "remoteUid TEXT NOT NULL DEFAULT '', "
                       "parentId INTEGER NOT NULL DEFAULT -1)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS EventsByEndTime ON Events (endTime)"),
    });
}

bool Database::begin()
{
    return m_file.begin();
}

bool Database::commit()
{
    return m_file.commit();
}

void Database::rollback()
{
    m_file.rollback();
}

QList<Event> Database::events(const EventQuery &eventQuery)
{
    QList<Event> result;
    if (!m_file.isReady())
        return result;

    const QString timeColumn = eventQuery.byLastModified ? QStringLiteral("lastModified") : QStringLiteral("endTime");
    QStringList conditions;
    if (eventQuery.type >= 0)
        conditions << QStringLiteral("type = :type");
    if (eventQuery.direction >= 0)
        conditions << QStringLiteral("direction = :direction");
    if (eventQuery.parentId >= 0)
        conditions << QStringLiteral("parentId = :parentId");
    if (eventQuery.from.isValid())
        conditions << timeColumn + QLatin1String(" >= :from");
    if (eventQuery.to.isValid())
        conditions << timeColumn + QLatin1String(" <= :to");

    QString statement = QLatin1String("SELECT ") + QLatin1String(EventColumns) + QLatin1String(" FROM Events");
    if (!conditions.isEmpty())
        statement += QLatin1String(" WHERE ") + conditions.join(QLatin1String(" AND "));
    statement += QLatin1String(" ORDER BY ") + timeColumn + QLatin1String(", id");

    QSqlQuery query(m_file.database());
    query.setForwardOnly(true);
    query.prepare(statement);
    if (eventQuery.type >= 0)
        query.bindValue(QStringLiteral(":type"), eventQuery.type);
    if (eventQuery.direction >= 0)
        query.bindValue(QStringLiteral(":direction"), eventQuery.direction);
    if (eventQuery.parentId >= 0)
        query.bindValue(QStringLiteral(":parentId"), eventQuery.parentId);
    if (eventQuery.from.isValid())
        query.bindValue(QStringLiteral(":from"), eventQuery.from.toMSecsSinceEpoch());
    if (eventQuery.to.isValid())
        query.bindValue(QStringLiteral(":to"), eventQuery.to.toMSecsSinceEpoch());
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot read the events"), query.lastError().text());
        return result;
    }
    while (query.next())
        result.append(eventFromQuery(query));
    return result;
}

Event Database::event(int id)
{
    if (!m_file.isReady())
        return Event();
    QSqlQuery query(m_file.database());
    query.prepare(QLatin1String("SELECT ") + QLatin1String(EventColumns) + QLatin1String(" FROM Events WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot read the event"), query.lastError().text());
        return Event();
    }
    return query.next() ? eventFromQuery(query) : Event();
}

namespace {

// One number however it is written: "+33 6 12 34 56 78", "+33-612-345678" and
// "0033612345678" are "+33612345678". Senders by name ("BANK") stay as they are.
QString comparableNumber(const QString &given)
{
    // As pasted from a browser or a messenger: no-break spaces, a
    // non-breaking hyphen, direction marks around it, digits of another script.
    // A vCard 4 number is a tel: URI; its parameters (";ext=5") are not dialled.
    QStringRef written = given.leftRef(given.indexOf(QLatin1Char(';')));
    if (written.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        written = written.mid(4);
    QString uid;
    uid.reserve(written.size());
    for (const QChar c : written) {
        if (c.category() == QChar::Other_Format)
            continue;
        if (c.isSpace())
            uid += QLatin1Char(' ');
        else if (c.category() == QChar::Punctuation_Dash)
            uid += QLatin1Char('-');
        else if (c.isDigit())
            uid += QLatin1Char(char('0' + c.digitValue()));
        else if (c == QChar(0xFF0B))
            uid += QLatin1Char('+');
        else
            uid += c;
    }
    static const QRegularExpression digits(QStringLiteral("^\\+?[0-9 ()./-]+$"));
    if (!digits.match(uid).hasMatch())
        return given;
    // "+49 (0)30 ...": the trunk 0 in brackets is not dialled from abroad.
    const QString international = uid.trimmed().startsWith(QLatin1Char('+')) || uid.trimmed().startsWith(QLatin1String("00"))
        ? QString(uid).remove(QLatin1String("(0)"))
        : uid;
    QString number;
    for (const QChar c : international) {
        if (c.isDigit() || (c == QLatin1Char('+') && number.isEmpty()))
            number += c;
    }
    if (number.startsWith(QLatin1String("00")))
        number.replace(0, 2, QLatin1Char('+'));
    return number;
}

// The length of the country code an international number ("+33...") starts
// with: codes are prefix-free, with these of one and two digits (ITU E.164).
int countryCodeDigits(const QString &international)
{
    const QStringRef digits = international.midRef(1);
    if (digits.startsWith(QLatin1Char('1')) || digits.startsWith(QLatin1Char('7')))
        return 1;
    static const QStringList twoDigits = QStringLiteral(
        "20 27 30 31 32 33 34 36 39 40 41 43 44 45 46 47 48 49 51 52 53 54 55 56 57 58 "
        "60 61 62 63 64 65 66 81 82 84 86 90 91 92 93 94 95 98").split(QLatin1Char(' '));
    return twoDigits.contains(digits.left(2).toString()) ? 2 : 3;
}

// The country code of the phone's home: HALVANE_HOME_COUNTRY ("49"), else
// from the territory of its locale ("de_DE"); empty where neither names one.
// A number in national form is one of that country: "06123 45678" is a
// landline in Germany and a mobile number in France.
QString homeCountryCode()
{
    static const QString code = [] {
        const QString given = qEnvironmentVariable("HALVANE_HOME_COUNTRY").trimmed().remove(QLatin1Char('+'));
        if (!given.isEmpty())
            return given;
        static const QHash<int, const char *> codes = {
            {QLocale::UnitedStates, "1"}, {QLocale::Canada, "1"}, {QLocale::Russia, "7"}, {QLocale::Kazakhstan, "7"},
            {QLocale::Egypt, "20"}, {QLocale::SouthAfrica, "27"}, {QLocale::Greece, "30"}, {QLocale::Netherlands, "31"},
            {QLocale::Belgium, "32"}, {QLocale::France, "33"}, {QLocale::Spain, "34"}, {QLocale::Hungary, "36"},
            {QLocale::Italy, "39"}, {QLocale::Romania, "40"}, {QLocale::Switzerland, "41"}, {QLocale::Austria, "43"},
            {QLocale::UnitedKingdom, "44"}, {QLocale::Denmark, "45"}, {QLocale::Sweden, "46"}, {QLocale::Norway, "47"},
            {QLocale::Poland, "48"}, {QLocale::Germany, "49"}, {QLocale::Peru, "51"}, {QLocale::Mexico, "52"},
            {QLocale::Argentina, "54"}, {QLocale::Brazil, "55"}, {QLocale::Chile, "56"}, {QLocale::Colombia, "57"},
            {QLocale::Malaysia, "60"}, {QLocale::Australia, "61"}, {QLocale::Indonesia, "62"},
            {QLocale::Philippines, "63"}, {QLocale::NewZealand, "64"}, {QLocale::Singapore, "65"},
            {QLocale::Thailand, "66"}, {QLocale::Japan, "81"}, {QLocale::SouthKorea, "82"}, {QLocale::Vietnam, "84"},
            {QLocale::China, "86"}, {QLocale::Turkey, "90"}, {QLocale::India, "91"}, {QLocale::Pakistan, "92"},
            {QLocale::Iran, "98"}, {QLocale::Nigeria, "234"}, {QLocale::Kenya, "254"}, {QLocale::Portugal, "351"},
            {QLocale::Luxembourg, "352"}, {QLocale::Ireland, "353"}, {QLocale::Finland, "358"},
            {QLocale::Bulgaria, "359"}, {QLocale::Ukraine, "380"}, {QLocale::Croatia, "385"},
            {QLocale::Slovenia, "386"}, {QLocale::CzechRepublic, "420"}, {QLocale::Slovakia, "421"},
            {QLocale::Israel, "972"}, {QLocale::SaudiArabia, "966"}, {QLocale::UnitedArabEmirates, "971"}};
        return QString::fromLatin1(codes.value(QLocale::system().country()));
    }();
    return code;
}

// Digits a national number has at least; shorter ones are short codes.
constexpr int LeastNationalDigits = 6;

} // namespace

// Whether two numbers are one: as written, or one in its national form
// ("06 12 34 56 78", "(555) 123-4567") and the other with its country code
// ("+33612345678", "+15551234567"), as a phone shows them.
bool sameNumber(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    QString x = comparableNumber(a);
    QString y = comparableNumber(b);
    if (x == y)
        return true;
    if (x.startsWith(QLatin1Char('+')) == y.startsWith(QLatin1Char('+')))
        return false;
    if (y.startsWith(QLatin1Char('+')))
        std::swap(x, y);
    if (y.isEmpty() || !y.at(0).isDigit())
        return false;
    const int code = countryCodeDigits(x);
    const QString home = homeCountryCode();
    if (home.isEmpty() || x.midRef(1, code) != home)
        return false;
    const QString national = x.mid(1 + code);
    if (national.size() < LeastNationalDigits)
        return false;
    // Dialled at home: after the trunk prefix (0; 1 in North America, 8 in
    // Russia), or as it is (Italy keeps its 0, North America needs none).
    const QChar trunk = home == QLatin1String("1") ? QLatin1Char('1')
        : home == QLatin1String("7")              ? QLatin1Char('8')
                                                  : QLatin1Char('0');
    return y == national || (y.startsWith(trunk) && y.midRef(1) == national);
}


QList<Group> Database::groups(const QString &remoteUid)
{
    QList<Group> result;
    if (!m_file.isReady())
        return result;
    QSqlQuery query(m_file.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, contactName, remoteUids FROM Groups ORDER BY id"))) {
        m_file.fail(QStringLiteral("cannot read the groups"), query.lastError().text());
        return result;
    }
    while (query.next()) {
        const Group group = groupFromQuery(query);
        const QStringList uids = group.remoteUids();
        if (remoteUid.isEmpty() || std::any_of(uids.cbegin(), uids.cend(), [&remoteUid](const QString &uid) {
                return sameNumber(uid, remoteUid);
            }))
            result.append(group);
    }
    return result;
}

Group Database::group(int id)
{
    if (!m_file.isReady())
        return Group();
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("SELECT id, contactName, remoteUids FROM Groups WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot read the group"), query.lastError().text());
        return Group();
    }
    return query.next() ? groupFromQuery(query) : Group();
}

bool Database::insertEvent(Event &event)
{
    if (!m_file.isReady())
        return false;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("INSERT INTO Events (type, direction, groupId, startTime, endTime, lastModified, "
                                 "freeText, remoteUid, parentId) VALUES (:type, :direction, :groupId, :startTime, "
                                 ":endTime, :lastModified, :freeText, :remoteUid, :parentId)"));
    bindEvent(query, event);
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot add the event"), query.lastError().text());
        return false;
    }
    event.setId(query.lastInsertId().toInt());
    return true;
}

bool Database::updateEvent(const Event &event)
{
    if (!m_file.isReady())
        return false;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("UPDATE Events SET type = :type, direction = :direction, groupId = :groupId, "
                                 "startTime = :startTime, endTime = :endTime, lastModified = :lastModified, "
                                 "freeText = :freeText, remoteUid = :remoteUid, parentId = :parentId WHERE id = :id"));
    bindEvent(query, event);
    query.bindValue(QStringLiteral(":id"), event.id());
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot change the event"), query.lastError().text());
        return false;
    }
    if (query.numRowsAffected() != 1) {
        m_file.setErrorString(QStringLiteral("no event %1").arg(event.id()));
        return false;
    }
    return true;
}

bool Database::removeEvent(int id)
{
    if (!m_file.isReady())
        return false;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("DELETE FROM Events WHERE id = :id"));
    query.bindValue(QStringLiteral(":id"), id);
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot delete the event"), query.lastError().text());
        return false;
    }
    if (query.numRowsAffected() != 1) {
        m_file.setErrorString(QStringLiteral("no event %1").arg(id));
        return false;
    }
    return true;
}

bool Database::insertGroup(Group &group)
{
    if (!m_file.isReady())
        return false;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("INSERT INTO Groups (contactName, remoteUids) VALUES (:contactName, :remoteUids)"));
    query.bindValue(QStringLiteral(":contactName"), textToSql(group.contactName()));
    query.bindValue(QStringLiteral(":remoteUids"), uidsToSql(group.remoteUids()));
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot add the group"), query.lastError().text());
        return false;
    }
    group.setId(query.lastInsertId().toInt());
    return true;
}

bool Database::updateGroup(const Group &group)
{
    if (!m_file.isReady())
        return false;
    QSqlQuery query(m_file.database());
    query.prepare(QStringLiteral("UPDATE Groups SET contactName = :contactName, remoteUids = :remoteUids WHERE id = :id"));
    query.bindValue(QStringLiteral(":contactName"), textToSql(group.contactName()));
    query.bindValue(QStringLiteral(":remoteUids"), uidsToSql(group.remoteUids()));
    query.bindValue(QStringLiteral(":id"), group.id());
    if (!query.exec()) {
        m_file.fail(QStringLiteral("cannot change the group"), query.lastError().text());
        return false;
    }
    return query.numRowsAffected() == 1;
}

} // namespace CommHistory
