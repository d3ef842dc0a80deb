#include <QtTest/QtTest>

class Testhvservicefactory : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvservicefactory)
#include "tst_hvservicefactory.moc"
