#include <QtTest/QtTest>

class Testhvserviceaction : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvserviceaction)
#include "tst_hvserviceaction.moc"
