#include <QtTest/QtTest>

class Testoverview : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testoverview)
#include "tst_overview.moc"
