#include <QtTest/QtTest>

class Testhvpluginmanager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvpluginmanager)
#include "tst_hvpluginmanager.moc"
