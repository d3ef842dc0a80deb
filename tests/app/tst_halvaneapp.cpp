// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QLocale>
#include <QtCore/QSaveFile>
#include <QtCore/QTemporaryDir>
#include <QtQml/QQmlContext>
#include <QtQml/QQmlEngine>
#include <QtQuickTest/quicktest.h>

#include "hvspeech.h"
#include "hvspeechpluginmanager.h"
#include "hvtestfixture.h"
#include "hvvoice.h"
#include "hvvoicepluginmanager.h"

// The app's pages over the test service plug-ins, with a voice and a reader
// the test drives. QML sees "testSetup" (writes item files), "testVoice" and
// "testSpeech" (the plug-ins' objects, the same ones the app loads).
class Setup : public QObject
{
    Q_OBJECT

public:
    Setup() = default;

    // Replaces the items of a test plug-in; its source reports the change.
    Q_INVOKABLE bool writeItems(const QString &key, const QVariantList &items)
    {
        return HVTest::writeItems(m_itemsDir, key, QJsonArray::fromVariantList(items));
    }

    // Replaces the settings file, as an editor would.
    Q_INVOKABLE bool writeSettings(const QString &text)
    {
        QSaveFile file(m_dir.path() + QLatin1String("/config/halvane/halvane.conf"));
        return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size() && file.commit();
    }

    // The settings file as it is on disk.
    Q_INVOKABLE QString readSettings() const
    {
        QFile file(m_dir.path() + QLatin1String("/config/halvane/halvane.conf"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

public Q_SLOTS:
    void applicationAvailable()
    {
        const QString base = m_dir.path() + QLatin1Char('/');
        m_itemsDir = base + QLatin1String("items");
        bool ok = m_dir.isValid()
            && HVTest::installPlugin(QLatin1String(HVTest::MessagePlugin), base + QLatin1String("plugins"))
            && HVTest::installPlugin(QLatin1String(HVTest::EventPlugin), base + QLatin1String("plugins"))
            && QDir().mkpath(base + QLatin1String("voice")) && QDir().mkpath(base + QLatin1String("speech"))
            && QFile::copy(QStringLiteral(HVTEST_VOICE_PLUGIN), base + QLatin1String("voice/libtestvoice.so"))
            && QFile::copy(QStringLiteral(HVTEST_SPEECH_PLUGIN), base + QLatin1String("speech/libtestspeech.so"));
        const QVariantList messages = {
            QVariantMap{{QStringLiteral("id"), QStringLiteral("m1")}, {QStringLiteral("date"), QStringLiteral("today 08:00")},
                        {QStringLiteral("from"), QStringLiteral("Ada")}, {QStringLiteral("messageType"), 2},
                        {QStringLiteral("phoneNumber"), QStringLiteral("+15550101")},
                        {QStringLiteral("body"), QStringLiteral("Bring the <b>keys</b>")}},
            QVariantMap{{QStringLiteral("id"), QStringLiteral("m2")}, {QStringLiteral("date"), QStringLiteral("today 09:00")},
                        {QStringLiteral("from"), QStringLiteral("bob@example.org")}, {QStringLiteral("messageType"), 1},
                        {QStringLiteral("subject"), QStringLiteral("Agenda")},
                        {QStringLiteral("attachments"), QVariantList{QVariantMap{{QStringLiteral("fileName"), QStringLiteral("agenda.pdf")},
                                                                                 {QStringLiteral("size"), 2048}}}},
                        {QStringLiteral("body"), QStringLiteral("<p>See <img src=\"http://127.0.0.1:9/x.png\">the plan</p>")}}};
        const QVariantList events = {
            QVariantMap{{QStringLiteral("id"), QStringLiteral("e1")}, {QStringLiteral("date"), QStringLiteral("today 10:00")},
                        {QStringLiteral("startDateTime"), QStringLiteral("today 10:00")},
                        {QStringLiteral("displayLabel"), QStringLiteral("Today's meeting")}},
            QVariantMap{{QStringLiteral("id"), QStringLiteral("e2")}, {QStringLiteral("date"), QStringLiteral("tomorrow 11:00")},
                        {QStringLiteral("startDateTime"), QStringLiteral("tomorrow 11:00")},
                        {QStringLiteral("displayLabel"), QStringLiteral("Tomorrow's meeting")}}};
        ok = ok && writeItems(QStringLiteral("halvanetestmessage"), messages)
            && writeItems(QStringLiteral("halvanetestevent"), events);
        if (!ok)
            qFatal("cannot prepare the test plug-ins in %s", qPrintable(base));
        qputenv("HALVANE_PLUGINS_PATH", QFile::encodeName(base));
        qputenv("HALVANE_TEST_ITEMS_DIR", QFile::encodeName(m_itemsDir));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(base + QLatin1String("config")));
        // No system bus: no modem to reach, and never a real call from a test.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + QFile::encodeName(base) + "no-system-bus");
        QCoreApplication::setOrganizationName(QStringLiteral("halvane"));
        QCoreApplication::setApplicationName(QStringLiteral("halvane"));
        HVTest::loadTranslations();
        // A locale with a 12-hour clock: times must follow it.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral(HVTEST_QML_DIR));
        engine->rootContext()->setContextProperty(QStringLiteral("testSetup"), this);
        static Halvane::HVVoicePluginManager voices;
        static Halvane::HVSpeechPluginManager readers;
        engine->rootContext()->setContextProperty(QStringLiteral("testVoice"), voices.loadVoicePlugin(QStringLiteral("voice")));
        engine->rootContext()->setContextProperty(QStringLiteral("testSpeech"), readers.loadSpeechPlugin(QStringLiteral("speech")));
    }

private:
    QTemporaryDir m_dir;
    QString m_itemsDir;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_halvaneapp, Setup)

#include "tst_halvaneapp.moc"
