// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QFileSystemWatcher>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtOrganizer/QOrganizerEvent>
#include <QtOrganizer/QOrganizerManager>
#include <QtTest/QtTest>

#include "hvteststorage.h"

QTORGANIZER_USE_NAMESPACE

// The "mkcal" organizer engine, loaded by Qt from the build tree.
class TestMKCalEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void engineIsFoundByName();
    void saveChangeRemoveSignalEveryManager();
    void otherProcessChangesSignalDataChanged();
    void fullDiskIsReadWithoutSpinning();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMKCalEngine::initTestCase()
{
    // The signals name the type without its namespace.
    qRegisterMetaType<QList<QOrganizerItemId>>("QList<QOrganizerItemId>");
}

void TestMKCalEngine::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("HALVANE_CALENDAR_DB", QFile::encodeName(m_dir->filePath("calendar.db")));
}

void TestMKCalEngine::engineIsFoundByName()
{
    QVERIFY(QOrganizerManager::availableManagers().contains("mkcal"));
    QOrganizerManager manager("mkcal");
    QCOMPARE(manager.managerName(), QStringLiteral("mkcal"));
    QVERIFY(manager.items().isEmpty());
}

void TestMKCalEngine::saveChangeRemoveSignalEveryManager()
{
    QOrganizerManager manager("mkcal");
    // Another part of the process, such as the event source, has its own manager.
    QOrganizerManager observer("mkcal");
    QSignalSpy added(&observer, &QOrganizerManager::itemsAdded);
    QSignalSpy changed(&observer, &QOrganizerManager::itemsChanged);
    QSignalSpy removed(&observer, &QOrganizerManager::itemsRemoved);

    const QDateTime start(QDate::currentDate(), QTime(14, 0));
    QOrganizerEvent event;
    event.setDisplayLabel("Review");
    event.setStartDateTime(start);
    event.setEndDateTime(start.addSecs(3600));
    event.setLocation("Room 2");
    QVERIFY(manager.saveItem(&event));
    const QOrganizerItemId id = event.id();
    QVERIFY(!id.isNull());
    const QString uid = event.guid();
    QVERIFY(!uid.isEmpty());
    // The id names the calendar entry by itself.
    QCOMPARE(QString::fromUtf8(id.localId()), uid);
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.at(0).at(0).value<QList<QOrganizerItemId>>(), QList<QOrganizerItemId>{id});

    const QOrganizerEvent found = observer.item(id);
    QVERIFY(!found.isEmpty());
    QCOMPARE(found.guid(), uid);
    QCOMPARE(found.displayLabel(), QStringLiteral("Review"));
    QCOMPARE(found.startDateTime(), start);
    QCOMPARE(found.location(), QStringLiteral("Room 2"));

    event.setDisplayLabel("Review, moved");
    QVERIFY(manager.saveItem(&event));
    QCOMPARE(event.id(), id);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QList<QOrganizerItemId>>(), QList<QOrganizerItemId>{id});
    QCOMPARE(observer.item(id).displayLabel(), QStringLiteral("Review, moved"));

    QVERIFY(manager.removeItem(id));
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(0).value<QList<QOrganizerItemId>>(), QList<QOrganizerItemId>{id});
    QVERIFY(observer.item(id).isEmpty());
    QVERIFY(!manager.removeItem(id));
    QCOMPARE(manager.error(), QOrganizerManager::DoesNotExistError);
}

void TestMKCalEngine::otherProcessChangesSignalDataChanged()
{
    QOrganizerManager manager("mkcal");
    QSignalSpy dataChanged(&manager, &QOrganizerManager::dataChanged);

    QProcess tool;
    tool.start(HVTEST_CALENDAR_PROGRAM, {"add", "--summary", "From elsewhere", "--start", "2030-01-01T10:00",
                                         "--end", "2030-01-01T11:00"});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    const QString uid = QString::fromUtf8(tool.readAllStandardOutput()).trimmed();

    QVERIFY(dataChanged.wait(5000));
    const QOrganizerItem item = manager.item(QOrganizerItemId(manager.managerUri(), uid.toUtf8()));
    QCOMPARE(item.guid(), uid);
    QCOMPARE(item.displayLabel(), QStringLiteral("From elsewhere"));
    // One change, one signal: reading it is none.
    QTest::qWait(1500);
    QCOMPARE(dataChanged.count(), 1);
}

void TestMKCalEngine::fullDiskIsReadWithoutSpinning()
{
    QProcess tool;
    tool.start(HVTEST_CALENDAR_PROGRAM, {"add", "--summary", "Kept", "--start", "2030-01-01T10:00",
                                         "--end", "2030-01-01T11:00"});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);

    // No room for SQLite's shared-memory index: read as it is.
    HVTest::FileSizeLimit full(16);
    QVERIFY(full.isSet());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: the calendar database is unreadable"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^mKCal: the disk is full or read-only"));
    QOrganizerManager manager("mkcal");
    QCOMPARE(manager.items().size(), 1);

    // A file event made each retry, whose files made the next event: a core
    // busy for as long as the disk stayed full.
    QFileSystemWatcher watcher({m_dir->path()});
    QSignalSpy events(&watcher, &QFileSystemWatcher::directoryChanged);
    QFile other(m_dir->filePath("other"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QTest::qWait(1500);
    QVERIFY2(events.count() < 10, qPrintable(QString::number(events.count())));
}

QTEST_GUILESS_MAIN(TestMKCalEngine)
#include "tst_mkcalengine.moc"
