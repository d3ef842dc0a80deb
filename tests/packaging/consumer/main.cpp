// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: BSD-3-Clause

// A program of someone else's, as a user interface uses the installed
// libraries: one model per item type from the factory, read by role name, the
// QML module's ItemModel, and the voice and speech plug-ins through their
// managers. Prints each type's rows; fails when a type named on the command
// line stays empty, a model lacks its role names or a plug-in does not load.

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QMap>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>

#include <cstdio>
#include <memory>

#include <hvcall.h>
#include <hvitemmodelfactory.h>
#include <hvproxyitemmodel.h>
#include <hvspeechpluginmanager.h>
#include <hvvoicepluginmanager.h>

using namespace Halvane;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList wanted = app.arguments().mid(1);

    QMap<QString, HVProxyItemModel *> models;
    for (const QString &type : HVItemModelFactory::supportedItemTypes())
        models.insert(type, HVItemModelFactory::createModel(type));

    QElapsedTimer waited;
    waited.start();
    const auto allThere = [&] {
        for (const QString &type : wanted) {
            if (!models.contains(type) || models.value(type)->rowCount() == 0)
                return false;
        }
        return true;
    };
    while (!allThere() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);

    int status = 0;
    for (auto it = models.cbegin(); it != models.cend(); ++it) {
        const QHash<int, QByteArray> roles = it.value()->roleNames();
        std::printf("%s: %d rows\n", qPrintable(it.key()), it.value()->rowCount());
        if (!roles.values().contains("displayLabel") && it.key() != QLatin1String("weather")) {
            std::fprintf(stderr, "halvane-consumer: %s has no role displayLabel\n", qPrintable(it.key()));
            status = 1;
        }
        for (int row = 0; row < it.value()->rowCount(); ++row) {
            const QModelIndex index = it.value()->index(row, 0);
            const QByteArray name = it.key() == QLatin1String("weather") ? "city"
                : it.key() == QLatin1String("message")                 ? "from"
                                                                       : "displayLabel";
            const int label = roles.key(name);
            std::printf("  %s\n", qPrintable(index.data(label).toString().section(QLatin1Char('\n'), 0, 0)));
        }
        if (wanted.contains(it.key()) && it.value()->rowCount() == 0) {
            std::fprintf(stderr, "halvane-consumer: no %s after 30 s\n", qPrintable(it.key()));
            status = 1;
        }
    }

    // The plug-ins the app loads beside the models, from the installed tree.
    HVVoicePluginManager voices;
    HVSpeechPluginManager speech;
    if (!voices.loadVoicePlugin(QStringLiteral("voice")) || !speech.loadSpeechPlugin(QStringLiteral("speech"))) {
        std::fprintf(stderr, "halvane-consumer: the voice or the speech plug-in did not load\n");
        status = 1;
    }
    HVCall call;

    // The QML module, as the app's pages declare their lists.
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData("import QtQml 2.15\nimport Halvane 1.0\n"
                      "ItemModel { itemType: \"event\" }\n",
                      QUrl());
    std::unique_ptr<QObject> events(component.create());
    if (!events) {
        std::fprintf(stderr, "halvane-consumer: the QML module: %s\n", qPrintable(component.errorString()));
        return 1;
    }
    waited.restart();
    while (events->property("busy").toBool() && waited.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const int count = events->property("count").toInt();
    std::printf("QML ItemModel event: %d rows\n", count);
    if (wanted.contains(QLatin1String("event")) && count == 0) {
        std::fprintf(stderr, "halvane-consumer: the QML ItemModel shows no event\n");
        status = 1;
    }
    // The module's texts, though this program loads no catalogue.
    QQmlComponent texts(&engine);
    texts.setData("import QtQml 2.15\nimport Halvane 1.0\n"
                  "QtObject { property string soon: Today.until(new Date(Date.now() + 1500000)) }\n",
                  QUrl());
    std::unique_ptr<QObject> soon(texts.create());
    const QString text = soon ? soon->property("soon").toString() : QString();
    std::printf("QML Today.until: %s\n", qPrintable(text));
    if (text.isEmpty() || text.startsWith(QLatin1String("hv_"))) {
        std::fprintf(stderr, "halvane-consumer: the QML module shows text ids, not texts\n");
        status = 1;
    }
    return status;
}
