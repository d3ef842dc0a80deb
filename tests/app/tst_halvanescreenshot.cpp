// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QProcess>
#include <QtCore/QSet>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtTest/QtTest>

// The app as a program: it starts and renders with no plug-ins at all, and
// --screenshot writes a picture of the requested size.
class TestHalvaneScreenshot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rendersWithoutPlugins_data();
    void rendersWithoutPlugins();
};

void TestHalvaneScreenshot::rendersWithoutPlugins_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("today") << QStringLiteral("today");
    QTest::newRow("messages") << QStringLiteral("messages");
}

void TestHalvaneScreenshot::rendersWithoutPlugins()
{
    QFETCH(QString, page);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("empty"))));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HALVANE_PLUGINS_PATH"), dir.filePath(QStringLiteral("empty")) + QLatin1Char('/'));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    const QString picture = dir.filePath(QStringLiteral("shot.png"));

    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    app.start(QStringLiteral(HVTEST_APP_PROGRAM), {QStringLiteral("--screenshot"), picture, QStringLiteral("--page"), page,
                                                  QStringLiteral("--size"), QStringLiteral("300x500"),
                                                  QStringLiteral("--settle"), QStringLiteral("200")});
    QVERIFY(app.waitForFinished(120000));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);

    QImage image(picture);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(300, 500));
    // Not blank: a page with text and cards has many colours.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    QVERIFY2(colours.size() > 8, qPrintable(QString::number(colours.size())));
}

QTEST_GUILESS_MAIN(TestHalvaneScreenshot)

#include "tst_halvanescreenshot.moc"
