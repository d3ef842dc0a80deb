// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QDate>
#include <QtCore/QTemporaryFile>
#include <QtCore/QTime>
#include <QtTest/QtTest>

#include <cstdio>
#include <cstring>
#include <functional>
#include <unistd.h>

#include "solpos.h"

namespace {

using Setter = std::function<void(posdata &)>;

posdata atNoon(float latitude, float longitude, float timezone, const QDate &date)
{
    posdata position;
    S_init(&position);
    position.latitude = latitude;
    position.longitude = longitude;
    position.timezone = timezone;
    position.year = date.year();
    position.daynum = date.dayOfYear();
    position.hour = 12;
    position.minute = 0;
    position.second = 0;
    return position;
}

QString clock(float minutes)
{
    return QTime(0, 0).addSecs(qRound(minutes * 60.0f)).toString(QStringLiteral("hh:mm:ss"));
}

// What S_decode writes to standard error for a code.
QByteArray decoded(long code, posdata &position)
{
    QTemporaryFile file;
    if (!file.open())
        return "cannot capture";
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(file.handle(), STDERR_FILENO);
    S_decode(code, &position);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    file.seek(0);
    return file.readAll();
}

} // namespace

Q_DECLARE_METATYPE(Setter)

// The solar position module against ephemeris values and its input checks.
class TestSolpos : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startingValues();
    void sunriseAndSunset_data();
    void sunriseAndSunset();
    void sunThatNeitherRisesNorSets();
    void datesBothWays();
    void outOfRange_data();
    void outOfRange();
    void checksFollowTheFunctions();
};

void TestSolpos::startingValues()
{
    posdata position;
    std::memset(&position, 0x5a, sizeof position);
    S_init(&position);
    QCOMPARE(position.day, -99);
    QCOMPARE(position.daynum, -999);
    QCOMPARE(position.hour, -99);
    QCOMPARE(position.minute, -99);
    QCOMPARE(position.month, -99);
    QCOMPARE(position.second, -99);
    QCOMPARE(position.year, -99);
    QCOMPARE(position.interval, 0);
    QCOMPARE(position.aspect, 180.0f);
    QCOMPARE(position.latitude, -99.0f);
    QCOMPARE(position.longitude, -999.0f);
    QCOMPARE(position.press, 1013.0f);
    QCOMPARE(position.solcon, 1367.0f);
    QCOMPARE(position.temp, 15.0f);
    QCOMPARE(position.tilt, 0.0f);
    QCOMPARE(position.timezone, -99.0f);
    QCOMPARE(position.sbwid, 7.6f);
    QCOMPARE(position.sbrad, 31.7f);
    QCOMPARE(position.sbsky, 0.04f);
    QCOMPARE(position.function, S_ALL);
    QCOMPARE(S_ALL, 0xFFFF);
    QVERIFY(position.function & S_DOY);
    // Nothing set yet: every date, time and place input is out of range.
    QVERIFY(S_solpos(&position) != 0);
}

void TestSolpos::sunriseAndSunset_data()
{
    QTest::addColumn<float>("latitude");
    QTest::addColumn<float>("longitude");
    QTest::addColumn<float>("timezone");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QTime>("sunrise");
    QTest::addColumn<QTime>("sunset");

    // The sun's centre on the geometric horizon, no refraction, in local standard
    // time; from the XEphem ephemeris (PyEphem 4.1.4, pressure 0, horizon 0).
    const auto row = [](const char *place, float latitude, float longitude, float timezone, const QDate &date,
                        const char *sunrise, const char *sunset) {
        QTest::addRow("%s %s", place, qPrintable(date.toString(Qt::ISODate)))
            << latitude << longitude << timezone << date << QTime::fromString(QLatin1String(sunrise))
            << QTime::fromString(QLatin1String(sunset));
    };
    row("Paris", 48.8566f, 2.3522f, 1, QDate(2024, 6, 21), "04:53:28", "20:51:33");
    row("Paris", 48.8566f, 2.3522f, 1, QDate(2024, 12, 21), "08:47:49", "16:49:57");
    row("New York", 40.7128f, -74.006f, -5, QDate(2024, 3, 15), "06:11:09", "17:58:58");
    row("Sydney", -33.8688f, 151.2093f, 10, QDate(2024, 12, 21), "04:45:27", "19:01:03");
    row("Sydney", -33.8688f, 151.2093f, 10, QDate(2024, 6, 21), "07:04:38", "16:49:22");
    row("Buenos Aires", -34.6037f, -58.3816f, -3, QDate(2024, 9, 1), "07:15:43", "18:31:24");
    row("Tokyo", 35.6762f, 139.6503f, 9, QDate(2025, 4, 10), "05:19:55", "18:06:06");
    row("Quito", -0.1807f, -78.4678f, -5, QDate(2024, 11, 3), "05:57:14", "17:57:37");
    row("Suva", -18.1416f, 178.4419f, 12, QDate(2024, 1, 10), "05:42:39", "18:43:54");
    row("Honolulu", 21.3069f, -157.8583f, -10, QDate(2024, 7, 4), "05:58:17", "19:13:42");
    row("Reykjavik", 64.1466f, -21.9426f, 0, QDate(2024, 6, 21), "03:15:48", "23:43:31");
    row("Reykjavik", 64.1466f, -21.9426f, 0, QDate(2024, 12, 21), "11:39:59", "15:12:12");
    row("Fairbanks", 64.8378f, -147.7164f, -9, QDate(2024, 6, 21), "02:23:29", "23:22:07");
    row("Fairbanks", 64.8378f, -147.7164f, -9, QDate(2024, 12, 21), "11:18:47", "14:19:57");
    row("Ushuaia", -54.8019f, -68.303f, -3, QDate(2024, 12, 21), "04:59:45", "22:03:26");
    row("Ushuaia", -54.8019f, -68.303f, -3, QDate(2024, 6, 21), "10:06:51", "17:03:31");
}

void TestSolpos::sunriseAndSunset()
{
    QFETCH(float, latitude);
    QFETCH(float, longitude);
    QFETCH(float, timezone);
    QFETCH(QDate, date);
    QFETCH(QTime, sunrise);
    QFETCH(QTime, sunset);

    posdata position = atNoon(latitude, longitude, timezone, date);
    QCOMPARE(S_solpos(&position), 0L);
    qInfo("expected %s %s computed %s %s", qPrintable(sunrise.toString()), qPrintable(sunset.toString()),
          qPrintable(clock(position.sretr)), qPrintable(clock(position.ssetr)));
    const float expectedRise = sunrise.msecsSinceStartOfDay() / 60000.0f;
    const float expectedSet = sunset.msecsSinceStartOfDay() / 60000.0f;
    QVERIFY2(qAbs(position.sretr - expectedRise) <= 2.0f, qPrintable(clock(position.sretr)));
    QVERIFY2(qAbs(position.ssetr - expectedSet) <= 2.0f, qPrintable(clock(position.ssetr)));
}

void TestSolpos::sunThatNeitherRisesNorSets()
{
    // Tromsø, 69.65° N.
    posdata summer = atNoon(69.6492f, 18.9553f, 1, QDate(2024, 6, 21));
    QCOMPARE(S_solpos(&summer), 0L);
    QVERIFY(summer.ssha >= 179.0f);
    QCOMPARE(summer.sretr, -2999.0f);
    QCOMPARE(summer.ssetr, 2999.0f);

    posdata winter = atNoon(69.6492f, 18.9553f, 1, QDate(2024, 12, 21));
    QCOMPARE(S_solpos(&winter), 0L);
    QVERIFY(winter.ssha <= 1.0f);
    QCOMPARE(winter.sretr, 2999.0f);
    QCOMPARE(winter.ssetr, -2999.0f);
    QVERIFY(winter.elevetr < 0.0f);
}

void TestSolpos::datesBothWays()
{
    // Day of the year in: month and day out, leap years included.
    posdata position = atNoon(48.86f, 2.35f, 1, QDate(2024, 2, 29));
    QCOMPARE(position.daynum, 60);
    QCOMPARE(S_solpos(&position), 0L);
    QCOMPARE(position.month, 2);
    QCOMPARE(position.day, 29);
    position = atNoon(48.86f, 2.35f, 1, QDate(2023, 3, 1));
    QCOMPARE(S_solpos(&position), 0L);
    QCOMPARE(position.month, 3);
    QCOMPARE(position.day, 1);
    position = atNoon(48.86f, 2.35f, 1, QDate(2024, 12, 31));
    QCOMPARE(S_solpos(&position), 0L);
    QCOMPARE(position.month, 12);
    QCOMPARE(position.day, 31);

    // Month and day in: the same sun as by day of the year.
    posdata byMonth = atNoon(48.86f, 2.35f, 1, QDate(2024, 6, 21));
    const float sunrise = [&] {
        posdata byDay = byMonth;
        S_solpos(&byDay);
        return byDay.sretr;
    }();
    byMonth.function = S_ALL & ~S_DOY;
    byMonth.daynum = -999;
    byMonth.month = 6;
    byMonth.day = 21;
    QCOMPARE(S_solpos(&byMonth), 0L);
    QCOMPARE(byMonth.daynum, 173);
    QCOMPARE(byMonth.sretr, sunrise);
    QVERIFY(byMonth.zenetr < 30.0f); // Paris at noon in June
    QVERIFY(byMonth.azim > 150.0f && byMonth.azim < 210.0f);
}

void TestSolpos::outOfRange_data()
{
    QTest::addColumn<Setter>("set");
    QTest::addColumn<int>("function");
    QTest::addColumn<long>("code");
    QTest::addColumn<QByteArray>("message");

    const int byMonth = S_ALL & ~S_DOY;
    const auto bit = [](int error) { return 1L << error; };
    QTest::newRow("year low") << Setter([](posdata &p) { p.year = 1949; }) << int(S_ALL) << bit(S_YEAR_ERROR)
                              << QByteArray("S_decode ==> Please fix the year: 1949 [1950-2050]\n");
    QTest::newRow("year high") << Setter([](posdata &p) { p.year = 2051; }) << int(S_ALL) << bit(S_YEAR_ERROR)
                               << QByteArray("S_decode ==> Please fix the year: 2051 [1950-2050]\n");
    QTest::newRow("month") << Setter([](posdata &p) { p.month = 13; }) << byMonth << bit(S_MONTH_ERROR)
                           << QByteArray("S_decode ==> Please fix the month: 13\n");
    QTest::newRow("day of month") << Setter([](posdata &p) { p.day = 0; }) << byMonth << bit(S_DAY_ERROR)
                                  << QByteArray("S_decode ==> Please fix the day-of-month: 0\n");
    QTest::newRow("day of year low") << Setter([](posdata &p) { p.daynum = 0; }) << int(S_ALL) << bit(S_DOY_ERROR)
                                     << QByteArray("S_decode ==> Please fix the day-of-year: 0\n");
    QTest::newRow("day of year high") << Setter([](posdata &p) { p.daynum = 367; }) << int(S_ALL)
                                      << bit(S_DOY_ERROR)
                                      << QByteArray("S_decode ==> Please fix the day-of-year: 367\n");
    QTest::newRow("hour") << Setter([](posdata &p) { p.hour = 25; }) << int(S_ALL) << bit(S_HOUR_ERROR)
                          << QByteArray("S_decode ==> Please fix the hour: 25\n");
    QTest::newRow("minute") << Setter([](posdata &p) { p.minute = 60; }) << int(S_ALL) << bit(S_MINUTE_ERROR)
                            << QByteArray("S_decode ==> Please fix the minute: 60\n");
    QTest::newRow("second") << Setter([](posdata &p) { p.second = -1; }) << int(S_ALL) << bit(S_SECOND_ERROR)
                            << QByteArray("S_decode ==> Please fix the second: -1\n");
    QTest::newRow("past 24:00") << Setter([](posdata &p) { p.hour = 24; p.minute = 1; p.second = 1; }) << int(S_ALL)
                                << (bit(S_HOUR_ERROR) | bit(S_MINUTE_ERROR) | bit(S_SECOND_ERROR))
                                << QByteArray("S_decode ==> Please fix the hour: 24\n"
                                              "S_decode ==> Please fix the minute: 1\n"
                                              "S_decode ==> Please fix the second: 1\n");
    QTest::newRow("time zone") << Setter([](posdata &p) { p.timezone = -12.5f; }) << int(S_ALL) << bit(S_TZONE_ERROR)
                               << QByteArray("S_decode ==> Please fix the time zone: -12.500000\n");
    QTest::newRow("interval") << Setter([](posdata &p) { p.interval = 28801; }) << int(S_ALL) << bit(S_INTRVL_ERROR)
                              << QByteArray("S_decode ==> Please fix the interval: 28801\n");
    QTest::newRow("latitude") << Setter([](posdata &p) { p.latitude = 90.5f; }) << int(S_ALL) << bit(S_LAT_ERROR)
                              << QByteArray("S_decode ==> Please fix the latitude: 90.500000\n");
    QTest::newRow("longitude") << Setter([](posdata &p) { p.longitude = -180.5f; }) << int(S_ALL) << bit(S_LON_ERROR)
                               << QByteArray("S_decode ==> Please fix the longitude: -180.500000\n");
    QTest::newRow("temperature") << Setter([](posdata &p) { p.temp = 101; }) << int(S_ALL) << bit(S_TEMP_ERROR)
                                 << QByteArray("S_decode ==> Please fix the temperature: 101.000000\n");
    QTest::newRow("pressure") << Setter([](posdata &p) { p.press = 2001; }) << int(S_ALL) << bit(S_PRESS_ERROR)
                              << QByteArray("S_decode ==> Please fix the pressure: 2001.000000\n");
    QTest::newRow("tilt") << Setter([](posdata &p) { p.tilt = 181; }) << int(S_ALL) << bit(S_TILT_ERROR)
                          << QByteArray("S_decode ==> Please fix the tilt: 181.000000\n");
    QTest::newRow("aspect") << Setter([](posdata &p) { p.aspect = -361; }) << int(S_ALL) << bit(S_ASPECT_ERROR)
                            << QByteArray("S_decode ==> Please fix the aspect: -361.000000\n");
    QTest::newRow("shadowband width") << Setter([](posdata &p) { p.sbwid = 0.5f; }) << int(S_ALL)
                                      << bit(S_SBWID_ERROR)
                                      << QByteArray("S_decode ==> Please fix the shadowband width: 0.500000\n");
    QTest::newRow("shadowband radius") << Setter([](posdata &p) { p.sbrad = 101; }) << int(S_ALL)
                                       << bit(S_SBRAD_ERROR)
                                       << QByteArray("S_decode ==> Please fix the shadowband radius: 101.000000\n");
    QTest::newRow("shadowband sky") << Setter([](posdata &p) { p.sbsky = 1.5f; }) << int(S_ALL) << bit(S_SBSKY_ERROR)
                                    << QByteArray("S_decode ==> Please fix the shadowband sky factor: 1.500000\n");
    QTest::newRow("several, in bit order")
        << Setter([](posdata &p) { p.sbsky = -2; p.year = 1900; p.latitude = 100; }) << int(S_ALL)
        << (bit(S_YEAR_ERROR) | bit(S_LAT_ERROR) | bit(S_SBSKY_ERROR))
        << QByteArray("S_decode ==> Please fix the year: 1900 [1950-2050]\n"
                      "S_decode ==> Please fix the latitude: 100.000000\n"
                      "S_decode ==> Please fix the shadowband sky factor: -2.000000\n");
}

void TestSolpos::outOfRange()
{
    QFETCH(Setter, set);
    QFETCH(int, function);
    QFETCH(long, code);
    QFETCH(QByteArray, message);

    posdata position = atNoon(48.86f, 2.35f, 1, QDate(2024, 6, 21));
    position.month = 6;
    position.day = 21;
    position.function = function;
    set(position);
    position.sretr = 12345.0f;
    QCOMPARE(S_solpos(&position), code);
    // Nothing is computed from bad input.
    QCOMPARE(position.sretr, 12345.0f);
    QCOMPARE(decoded(code, position), message);
    QCOMPARE(decoded(0, position), QByteArray());
}

void TestSolpos::checksFollowTheFunctions()
{
    // Only the inputs of the functions asked for are checked.
    posdata position = atNoon(48.86f, 2.35f, 1, QDate(2024, 6, 21));
    position.function = S_SRSS;
    position.temp = 500;
    position.tilt = 500;
    position.sbwid = 0;
    QCOMPARE(S_solpos(&position), 0L);
    QVERIFY(qAbs(position.sretr - 293.5f) < 2.0f);

    position.function = S_REFRAC;
    QCOMPARE(S_solpos(&position), 1L << S_TEMP_ERROR);
    position.function = S_TILT;
    QCOMPARE(S_solpos(&position), (1L << S_TEMP_ERROR) | (1L << S_TILT_ERROR));
    position.function = S_SBCF;
    QCOMPARE(S_solpos(&position), 1L << S_SBWID_ERROR);
    position.function = S_DOY;
    position.year = 1900;
    QCOMPARE(S_solpos(&position), 0L);
}

QTEST_GUILESS_MAIN(TestSolpos)
#include "tst_solpos.moc"
