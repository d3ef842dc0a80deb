// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef HVTESTFIXTURE_H
#define HVTESTFIXTURE_H

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QString>

QT_BEGIN_NAMESPACE
class QProcess;
QT_END_NAMESPACE

// Helpers shared by the tests: the test plug-ins built with the tests, and the
// item files they read.
namespace HVTest {

// Keys of the test plug-ins, by library target name.
constexpr const char MessagePlugin[] = "hvtestmessage";   // key "halvanetestmessage", message items
constexpr const char EventPlugin[] = "hvtestevent";       // key "halvanetestevent", event items
constexpr const char FeedPlugin[] = "hvtestfeed";         // key "halvanetestfeed", feed items
constexpr const char WeatherPlugin[] = "hvtestweather";   // key "halvanetestweather", weather items
constexpr const char SmsPlugin[] = "hvtestsms";           // key "halvanetestsms", message items
constexpr const char NoSourcePlugin[] = "hvtestnosource"; // key "halvanetestnosource", a service without source
constexpr const char NotAPlugin[] = "hvnotaplugin";       // a shared library that is no Qt plug-in

// The built library of a test plug-in target.
QString pluginFile(const QString &target);

// Copies a test plug-in into dir (created if needed), under its own file name
// ("lib<target>.so") or under fileName.
bool installPlugin(const QString &target, const QString &dir, const QString &fileName = QString());

// Writes the items a test plug-in with that key reads, replacing the file at once.
bool writeItems(const QString &dir, const QString &key, const QJsonArray &items);

// Loads the English catalogue built with the project.
bool loadTranslations();

// Starts a private session bus with its socket under socketDir and points this
// process (and what it starts) at it. With a serviceDir, the bus can start the
// services described there and no others (none installed on the machine).
bool startSessionBus(QProcess &bus, const QString &socketDir, const QString &serviceDir = QString());

// The next line the process writes, waiting at most milliseconds for it;
// empty when none came.
QByteArray readLine(QProcess &process, int milliseconds = 20000);
// The next line, read as a JSON object (as halvane-overview --follow writes them).
QJsonObject readJsonLine(QProcess &process, int milliseconds = 20000);

// Starts a Tracker endpoint (nepomuk ontology) on the session bus and waits
// until it owns its name.
bool startTrackerEndpoint(QProcess &endpoint, const QString &databaseDir, const QString &service);

} // namespace HVTest

#endif // HVTESTFIXTURE_H
