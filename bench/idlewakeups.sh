#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: LGPL-2.1-or-later

# Counts how often an idle `halvane-overview --follow 0` wakes up: every
# return from a blocking wait (poll, epoll, select, futex, sleep) of any of its
# threads over SECONDS seconds (60 unless given), after it settled, in a
# throw-away profile on a private session bus. Prints the count per thread
# and the average interval between wakeups.
#
#   bench/idlewakeups.sh [BUILD_DIR] [SECONDS]
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
seconds=${2:-60}
settle=10
command -v strace >/dev/null || { echo "idlewakeups: strace is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"

export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache"
export XDG_RUNTIME_DIR="$work/runtime" HALVANE_CALENDAR_DB="$work/data/calendar.db"
export QT_PLUGIN_PATH="$build/lib/qt5/plugins" QT_LOGGING_RULES="*.debug=false"

# A calendar with one entry, so the calendar is open and followed.
"$build/bin/halvane-calendar" add --summary Idle --start "$(date +%Y-%m-%dT10:00)" \
    --end "$(date +%Y-%m-%dT11:00)" >/dev/null

# Traced from the start (attaching to a running process needs more rights
# than a container gives); only what happens after the settling time counts.
begin=$(date +%s.%N)
dbus-run-session -- timeout -s KILL $((settle + seconds)) strace -f -qq -ttt -o "$work/trace" \
    -e trace=poll,ppoll,epoll_wait,epoll_pwait,select,pselect6,futex,nanosleep,clock_nanosleep \
    "$build/bin/halvane-overview" --follow 0 >"$work/out" 2>"$work/err" || true
from=$(awk -v b="$begin" -v s="$settle" 'BEGIN { printf "%.6f", b + s }')
to=$(awk -v f="$from" -v s="$seconds" 'BEGIN { printf "%.6f", f + s }')

# A wakeup: a wait that could block (not a poll with timeout 0, not a futex
# wake) and returned, counted when it returns.
awk -v seconds="$seconds" -v from="$from" -v to="$to" '
    function blocking(call) {
        if (call ~ /^futex\(/) return call ~ /FUTEX_WAIT/
        if (call ~ /^(poll|epoll_wait|epoll_pwait)\(/) return call !~ /, 0\)/
        if (call ~ /^(ppoll|select|pselect6)\(/) return call !~ /tv_sec=0, tv_nsec=0/
        return 1
    }
    {
        pid = $1; time = $2; call = $0; sub(/^[0-9]+ +[0-9.]+ +/, "", call)
        if (call ~ /unfinished \.\.\.>$/) { waiting[pid] = blocking(call); next }
        if (call ~ /^<\.\.\. /) { woke = waiting[pid]; delete waiting[pid] } else woke = blocking(call)
        if (woke && time >= from && time < to) { count[pid]++; total++ }
    }
    END {
        printf "%-10s %8s\n", "thread", "wakeups"
        for (tid in count) printf "%-10s %8d\n", tid, count[tid]
        printf "total %d wakeups in %d s: one every %.1f s\n", total, seconds,
               total ? seconds / total : seconds
    }' "$work/trace"
