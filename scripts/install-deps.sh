#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# Installs the Debian 12 packages Halvane needs to build, test and run.
# Idempotent and non-interactive; asks apt for package lists only when
# something is missing. Run as root.
set -euo pipefail

packages=(
    # build
    cmake
    g++
    make
    pkg-config
    qtbase5-dev
    qttools5-dev
    qttools5-dev-tools
    extra-cmake-modules
    # speech: espeak-ng synthesis played through GStreamer
    libespeak-ng-dev
    libgstreamer1.0-dev
    libgstreamer-plugins-base1.0-dev
    gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good
    # the Tracker store behind feeds and contacts
    libtracker-sparql-3.0-dev
    tracker
    # halvane-feeds: RSS, RDF and Atom parsing, HTML entities of titles
    libkf5syndication-dev
    libkf5codecs-dev
    zlib1g-dev
    # the device calendar: KCalendarCore incidences in SQLite, QtOrganizer engine
    libkf5calendarcore-dev
    qtpim5-dev
    libqt5sql5-sqlite
    # voice control: pocketsphinx in GStreamer, its English model and dictionary
    gstreamer1.0-pocketsphinx
    pocketsphinx-en-us
    libpocketsphinx-dev
    libsphinxbase-dev
    # e-mail: MIME parsing and IMAP retrieval
    libkf5mime-dev
    libkf5imap-dev
    # the mail password in the session's secret store
    qtkeychain-qt5-dev
    # tests
    dbus
    # licence check of every file
    reuse
    sox
    python3-dbusmock
    espeak-ng
    dovecot-imapd
    # tst_userunits: systemd-analyze verify
    systemd
    gnome-keyring
    # voice benchmark: the stock decoder side by side, and another synthesiser
    pocketsphinx
    flite
    # the QML module and the app (Kirigami), their tests, and icons with the
    # freedesktop weather names (SVG, drawn through Qt's SVG icon engine)
    qtdeclarative5-dev
    qtquickcontrols2-5-dev
    qml-module-qtquick2
    qml-module-qtquick-controls2
    qml-module-qtquick-layouts
    qml-module-qtquick-window2
    qml-module-org-kde-kirigami2
    kirigami2-dev
    qml-module-qttest
    qml-module-qt-labs-settings
    qml
    breeze-icon-theme
    libqt5svg5
    # the app's desktop entry and AppStream metainfo, checked by the tests
    desktop-file-utils
    appstream
    # sanitizer and fuzzing builds
    clang-14
    libclang-rt-14-dev
    libfuzzer-14-dev
    # bench/idlewakeups.sh: wakeups of an idle overview
    strace
    faketime
    # scripts/package.sh: the Debian packages, and what debian/control adds
    build-essential
    debhelper
    dpkg-dev
    fakeroot
    lintian
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}; run as root to install them" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
