#include <QtTest/QtTest>

class Testhvproxyitemmodel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void placeholder() { QVERIFY(true); }
};

QTEST_GUILESS_MAIN(Testhvproxyitemmodel)
#include "tst_hvproxyitemmodel.moc"
