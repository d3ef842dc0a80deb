// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtCore/QTimeZone>
#include <QtTest/QSignalSpy>
#include <QtTest/QTest>

#include <cstdio>
#include <time.h>

#include "hvlocalzone.h"

using namespace Halvane;

class TestHVLocalZone : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        qunsetenv("TZ");
        tzset();
        QVERIFY(m_dir.isValid());
        m_localtime = m_dir.filePath(QStringLiteral("localtime"));
        m_timezone = m_dir.filePath(QStringLiteral("timezone"));
        QFile::remove(m_localtime);
        setZone("Europe/Paris");
    }

    // The zone is read once, and a change of the system's zone (a replaced
    // link, as timedatectl makes it) still reaches local times.
    void followsZoneChange()
    {
        HVLocalZone zone(m_localtime, m_timezone);
        QVERIFY(zone.isPinned());
        QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Paris"));
        QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("Europe/Paris"));
        QCOMPARE(winterNoon().offsetFromUtc(), 3600);

        QSignalSpy changed(&zone, &HVLocalZone::zoneChanged);
        setZone("Asia/Tokyo");
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first().toByteArray(), QByteArray("Asia/Tokyo"));
        QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("Asia/Tokyo"));
        QCOMPARE(winterNoon().offsetFromUtc(), 9 * 3600);

        // A link removed on the way to its replacement keeps the last zone.
        QVERIFY(QFile::remove(m_localtime));
        QVERIFY(QFile::remove(m_timezone));
        QTest::qWait(200);
        QCOMPARE(qgetenv("TZ"), QByteArray("Asia/Tokyo"));
        setZone("America/New_York");
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(winterNoon().offsetFromUtc(), -5 * 3600);
    }

    // A zone the user chose stays.
    void keepsUsersZone()
    {
        qputenv("TZ", "Asia/Tokyo");
        HVLocalZone zone(m_localtime, m_timezone);
        QVERIFY(!zone.isPinned());
        QCOMPARE(qgetenv("TZ"), QByteArray("Asia/Tokyo"));
    }

private:
    static QDateTime winterNoon() { return QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::LocalTime); }

    // As timedatectl does: a new link renamed over the old one, and the name file.
    void setZone(const char *id)
    {
        const QString link = m_localtime + QLatin1String(".new");
        QFile::remove(link);
        QVERIFY(QFile::link(QLatin1String("/usr/share/zoneinfo/") + QLatin1String(id), link));
        QVERIFY(std::rename(QFile::encodeName(link).constData(), QFile::encodeName(m_localtime).constData()) == 0);
        QFile file(m_timezone);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(id) + '\n');
    }

    QTemporaryDir m_dir;
    QString m_localtime;
    QString m_timezone;
};

QTEST_GUILESS_MAIN(TestHVLocalZone)

#include "tst_hvlocalzone.moc"
