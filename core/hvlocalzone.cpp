// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#include "hvlocalzone.h"
#include "halvanecore_debug.h"

#include <QtCore/QDebug>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QFileSystemWatcher>
#include <QtCore/QTimeZone>

#include <time.h>

namespace Halvane {

class HVLocalZonePrivate
{
public:
    QByteArray readZoneId() const;
    void watch();
    void update();

    HVLocalZone *q = nullptr;
    QString localtimePath;
    QString timezonePath;
    QByteArray zoneId;
    QFileSystemWatcher *watcher = nullptr;
};

// The zone's IANA id as Qt finds it when TZ is unset: the part after
// "/zoneinfo/" of the localtime link, else the first line of the timezone
// file. Empty when neither names a zone Qt can load.
QByteArray HVLocalZonePrivate::readZoneId() const
{
    QByteArray id;
    QString path = localtimePath;
    // A link may lead through other links before it reaches zoneinfo/.
    for (int hops = 0; hops < 8 && id.isEmpty(); ++hops) {
        path = QFile::symLinkTarget(path);
        if (path.isEmpty())
            break;
        const int at = path.indexOf(QLatin1String("/zoneinfo/"));
        if (at >= 0)
            id = path.mid(at + 10).toUtf8();
    }
    if (id.isEmpty()) {
        QFile file(timezonePath);
        if (file.open(QIODevice::ReadOnly))
            id = file.readLine().trimmed();
    }
    if (id.isEmpty() || !QTimeZone(id).isValid())
        return QByteArray();
    return id;
}

void HVLocalZonePrivate::watch()
{
    // The files themselves for edits in place; their directories because
    // timedatectl replaces the link, which ends a watch on the old one.
    QStringList paths;
    for (const QString &file : {localtimePath, timezonePath}) {
        const QFileInfo info(file);
        paths << info.absolutePath();
        if (info.exists())
            paths << file;
    }
    paths.removeDuplicates();
    const QStringList watched = watcher->files() + watcher->directories();
    for (const QString &path : qAsConst(paths)) {
        if (!watched.contains(path))
            watcher->addPath(path);
    }
}

void HVLocalZonePrivate::update()
{
    watch();
    const QByteArray id = readZoneId();
    // A link half replaced reads as no zone: keep the last one.
    if (id.isEmpty() || id == zoneId)
        return;
    qCDebug(HALVANE_CORE) << "Local zone: the time zone is now" << id;
    zoneId = id;
    // glibc keeps every value TZ had, so a getenv() in another thread reads
    // the old or the new one.
    qputenv("TZ", id);
    tzset();
    Q_EMIT q->zoneChanged(id);
}

HVLocalZone::HVLocalZone(QObject *parent)
    : HVLocalZone(QStringLiteral("/etc/localtime"), QStringLiteral("/etc/timezone"), parent)
{
}

HVLocalZone::HVLocalZone(const QString &localtimePath, const QString &timezonePath, QObject *parent)
    : QObject(parent)
    , d(new HVLocalZonePrivate)
{
    d->q = this;
    d->localtimePath = localtimePath;
    d->timezonePath = timezonePath;
    if (qEnvironmentVariableIsSet("TZ"))
        return;
    d->zoneId = d->readZoneId();
    if (d->zoneId.isEmpty())
        return;
    qputenv("TZ", d->zoneId);
    tzset();
    d->watcher = new QFileSystemWatcher(this);
    connect(d->watcher, &QFileSystemWatcher::fileChanged, this, [this] { d->update(); });
    connect(d->watcher, &QFileSystemWatcher::directoryChanged, this, [this] { d->update(); });
    d->watch();
}

HVLocalZone::~HVLocalZone() = default;

bool HVLocalZone::isPinned() const
{
    return d->watcher;
}

QByteArray HVLocalZone::zoneId() const
{
    return d->zoneId;
}

} // namespace Halvane
