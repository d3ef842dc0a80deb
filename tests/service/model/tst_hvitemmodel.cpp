#include <QtTest/QtTest>

class Testhvitemmodel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvitemmodel)
#include "tst_hvitemmodel.moc"
