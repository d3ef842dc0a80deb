// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QSet>
#include <QtCore/QTranslator>
#include <QtCore/QXmlStreamReader>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtTest/QtTest>

// The catalogues beside the English one, as built: a text missing from one
// shows its id on a phone in that language, and a lost "%1" drops what it
// stood for.
class TestTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cataloguesAreComplete_data();
    void cataloguesAreComplete();
    void appTextsFollowTheLocale();

private:
    static QStringList englishIds();
};

QStringList TestTranslations::englishIds()
{
    QFile file(QStringLiteral(HVTEST_TRANSLATIONS_SOURCE_DIR "/halvane_en.ts"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList ids;
    QXmlStreamReader xml(&file);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == QLatin1String("message"))
            ids.append(xml.attributes().value(QLatin1String("id")).toString());
    }
    return ids;
}

void TestTranslations::cataloguesAreComplete_data()
{
    QTest::addColumn<QString>("language");
    const QStringList sources = QDir(QStringLiteral(HVTEST_TRANSLATIONS_SOURCE_DIR)).entryList({"halvane_*.ts"});
    QVERIFY(sources.size() > 1);
    for (QString source : sources) {
        const QString language = source.remove("halvane_").remove(".ts");
        if (language != "en")
            QTest::newRow(qPrintable(language)) << language;
    }
}

void TestTranslations::cataloguesAreComplete()
{
    QFETCH(QString, language);
    QTranslator english;
    QTranslator other;
    QVERIFY(english.load("halvane_en", HVTEST_TRANSLATIONS_DIR));
    QVERIFY(other.load("halvane_" + language, HVTEST_TRANSLATIONS_DIR));
    const QStringList ids = englishIds();
    QVERIFY(ids.size() > 50);
    static const QRegularExpression placeholder("%(\\d|n)");
    const auto placeholders = [](const QString &text) {
        QStringList found;
        for (auto it = placeholder.globalMatch(text); it.hasNext();)
            found.append(it.next().captured());
        found.sort();
        return found;
    };
    for (const QString &id : ids) {
        const QByteArray key = id.toUtf8();
        for (int n : {-1, 1, 5}) {
            const QString source = english.translate(nullptr, key.constData(), nullptr, n);
            const QString text = other.translate(nullptr, key.constData(), nullptr, n);
            if (n >= 0 && !source.contains("%n"))
                continue; // no plural forms
            QVERIFY2(!text.isEmpty(), qPrintable(id + " is missing"));
            QCOMPARE(placeholders(text), placeholders(source));
        }
    }
}

void TestTranslations::appTextsFollowTheLocale()
{
    // The QML module loads the catalogue of the user's language.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QQmlEngine engine;
    engine.addImportPath(HVTEST_QML_DIR);
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.15\nimport Halvane 1.0\nQtObject { property string today: qsTrId(\"hv_app_today\") }",
                      QUrl());
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    QCOMPARE(object->property("today").toString(), QStringLiteral("Heute"));
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
