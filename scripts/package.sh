#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause
#
# Builds the Debian packages and checks them:
#   1. dpkg-buildpackage -b -uc -us on a copy of the source tree (the files git
#      knows, committed or not), so neither the tree nor its parent directory
#      gets build output;
#   2. lintian on the result: an error fails the script;
#   3. every package unpacked with dpkg-deb -x into a temporary root, and
#      halvane-overview --demo run from there, with a clean environment whose
#      paths lead into that root and the system only: it must print the day;
#   4. the size of each package.
# The packages, .changes, .buildinfo and lintian's report end up in
# HALVANE_DEB_DIR (default: build-deb/ beside the plain build directory), the
# debug symbol packages in its debug/.
# DEB_BUILD_OPTIONS is passed on (default parallel=<cores>); for ccache, export
# CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="${HALVANE_DEB_DIR:-${HALVANE_BUILD_DIR:-$here/build}-deb}"
started=$(date +%s)

for tool in dpkg-buildpackage dpkg-deb lintian fakeroot; do
    if ! command -v "$tool" >/dev/null; then
        echo "package: $tool is missing (scripts/install-deps.sh installs it)" >&2
        exit 1
    fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/halvane-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The source: what git tracks plus new files it does not ignore; a tree
# without git is copied whole, without build directories.
src="$work/src/halvane"
mkdir -p "$src"
if git -C "$here" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$here" && git ls-files -z --cached --others --exclude-standard \
        | xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh \
        | tar --null -T - -cf -) | tar -xf - -C "$src"
else
    tar -C "$here" --exclude='./build' --exclude='./build-*' --exclude='./.git' -cf - . | tar -xf - -C "$src"
fi

echo "package: building in $src"
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc 2>/dev/null || echo 2)}"
(cd "$src" && dpkg-buildpackage -b -uc -us) > "$work/build.log" 2>&1 || {
    tail -n 80 "$work/build.log" >&2
    echo "package: dpkg-buildpackage failed (log above, last 80 lines)" >&2
    exit 1
}

# dpkg-buildpackage writes beside the source copy.
rm -rf "$out"
mkdir -p "$out"
mv "$work/src"/*.deb "$work/src"/*.changes "$work/src"/*.buildinfo "$out"/
cp "$work/build.log" "$out/build.log"
changes=$(ls "$out"/*.changes)

echo
echo "==== lintian ===="
status=0
lintian --fail-on error "$changes" 2>&1 | grep -v '^running with root privileges' | tee "$out/lintian.txt" \
    || status=${PIPESTATUS[0]}
[ -s "$out/lintian.txt" ] || echo "(nothing to report)"
if [ "$status" -ne 0 ]; then
    echo "package: lintian reports errors" >&2
    exit 1
fi

# The debug symbols aside, so that `apt install ./*.deb` in $out installs
# the packages themselves.
mkdir -p "$out/debug"
mv "$out"/*-dbgsym_*.deb "$out/debug/" 2>/dev/null || true

echo
echo "==== the demo from the unpacked packages ===="
root="$work/root"
mkdir -p "$root"
for deb in "$out"/*.deb; do
    dpkg-deb -x "$deb" "$root"
done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir="$root/usr/lib/$multiarch"

# Every library our binaries need must come from the root or the system, never
# from a build tree; a missing one fails here with its name rather than later.
missing=0
while IFS= read -r -d '' file; do
    head -c 4 "$file" | grep -q 'ELF' || continue
    while read -r line; do
        case "$line" in
            *"not found"*)
                echo "package: ${file#"$root"}: $line" >&2; missing=1 ;;
            libhalvane*"=>"*)
                resolved=${line#*=> }
                case "$resolved" in
                    "$root"/*) ;;
                    *) echo "package: ${file#"$root"}: $line (outside the unpacked root)" >&2; missing=1 ;;
                esac ;;
        esac
    done < <(LD_LIBRARY_PATH="$libdir" ldd "$file" 2>/dev/null || true)
done < <(find "$root/usr/bin" "$libdir" -type f \( -perm -u+x -o -name '*.so*' \) -print0)
[ "$missing" -eq 0 ] || exit 1

# Nothing inherited: the programs find plug-ins, engines, data and the
# catalogue from their own place, the libraries through LD_LIBRARY_PATH.
home="$work/home"
mkdir -p "$home/run"
chmod 700 "$home/run"
demo_env=(env -i
    HOME="$home"
    PATH="$root/usr/bin:/usr/bin:/bin"
    LANG=C.UTF-8
    XDG_RUNTIME_DIR="$home/run"
    XDG_CONFIG_HOME="$home/config"
    XDG_DATA_HOME="$home/data"
    XDG_CACHE_HOME="$home/cache"
    LD_LIBRARY_PATH="$libdir"
    QT_PLUGIN_PATH="$libdir/qt5/plugins"
    QML2_IMPORT_PATH="$libdir/qt5/qml"
    QT_QPA_PLATFORM=offscreen)
status=0
(cd "$home" && "${demo_env[@]}" halvane-overview --demo) > "$work/demo.txt" 2> "$work/demo.err" || status=$?
cat "$work/demo.txt"
if [ -s "$work/demo.err" ]; then
    echo "---- its standard error ----"
    cat "$work/demo.err"
fi
if [ "$status" -ne 0 ]; then
    echo "package: halvane-overview --demo from the packages exited with $status" >&2
    exit 1
fi
# The sample data holds every kind of item; each must be there.
for type in message event feed weather; do
    if ! grep -Eq "^$type \([1-9][0-9]* items?\)" "$work/demo.txt"; then
        echo "package: halvane-overview --demo from the packages shows no $type of the day" >&2
        exit 1
    fi
done

echo
echo "==== a program of someone else's, built and run against the packages ===="
# find_package(Halvane), the development headers and the QML module, on items
# the packaged tools put into a fresh profile, as a person would.
consumer="$work/consumer"
cmake -S "$here/tests/packaging/consumer" -B "$consumer" -DCMAKE_PREFIX_PATH="$root/usr" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$work/consumer.log" 2>&1 \
    && cmake --build "$consumer" >> "$work/consumer.log" 2>&1 || {
    cat "$work/consumer.log" >&2
    echo "package: a program using find_package(Halvane) does not build against the packages" >&2
    exit 1
}
rm -rf "$home/config" "$home/data" "$home/cache"
today=$(date +%Y-%m-%d)
status=0
(cd "$home" && "${demo_env[@]}" dbus-run-session -- sh -c '
    { halvane-calendar add --summary "Lunch with Claire" --start "$1T12:00" --end "$1T13:00" &&
      halvane-commhistory add-sms --from +33612345678 --name Claire --text "On my way" --time "$1T08:12" &&
      halvane-feeds import "$2/feeds/town-news.rss"; } > /dev/null &&
    halvane-mail import --received "$1T09:30" "$2/mail/01-lunch-plain.eml" > /dev/null &&
    "$3" message event feed' sh "$today" "$here/data/demo" "$consumer/halvane-consumer") \
    > "$work/consumer.txt" 2> "$work/consumer.err" || status=$?
cat "$work/consumer.txt"
if [ "$status" -ne 0 ]; then
    grep -v 'fd limit' "$work/consumer.err" | tail -n 40 >&2
    echo "package: the program against the packages exited with $status" >&2
    exit 1
fi

echo
echo "==== the packages ===="
printf '%-36s %14s %10s\n' "package" "installed KiB" ".deb KiB"
for deb in "$out"/*.deb "$out"/debug/*.deb; do
    [ -e "$deb" ] || continue
    name=$(dpkg-deb -f "$deb" Package)
    installed=$(dpkg-deb -f "$deb" Installed-Size)
    size=$(( ($(stat -c %s "$deb") + 1023) / 1024 ))
    printf '%-36s %14s %10s\n' "$name" "$installed" "$size"
done
echo
echo "package: packages in $out, checked in $(( $(date +%s) - started )) s"
