#include <QtTest/QtTest>

class Testhvservicehandler : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvservicehandler)
#include "tst_hvservicehandler.moc"
