#include <QtTest/QtTest>

class Testhvitem : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvitem)
#include "tst_hvitem.moc"
