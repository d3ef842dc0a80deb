// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: GPL-2.0-or-later

#ifndef HVDEMOPROFILE_H
#define HVDEMOPROFILE_H

#include <QtCore/QString>
#include <QtCore/QTemporaryDir>

namespace Halvane {

// A throw-away profile filled with the bundled sample data: its own
// configuration and data directories under a temporary directory, removed
// when the profile goes. Must be prepared before anything reads settings.
// Its stores must be closed before it goes: delete the sources first
// (HVItemManager::cleanup()); the profile closes the unused Tracker store.
class HVDemoProfile
{
public:
    explicit HVDemoProfile(const QString &sampleDataDir);
    ~HVDemoProfile();
    HVDemoProfile(const HVDemoProfile &) = delete;
    HVDemoProfile &operator=(const HVDemoProfile &) = delete;

    // Sets up the directories and copies the samples; false with errorString() on failure.
    bool prepare();
    QString errorString() const { return m_error; }
    QString path() const { return m_dir.path(); }

private:
    bool copyTree(const QString &from, const QString &to);

    QString m_sampleDataDir;
    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace Halvane

#endif // HVDEMOPROFILE_H
