#include <QtTest/QtTest>

class Testhvitemmanager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvitemmanager)
#include "tst_hvitemmanager.moc"
