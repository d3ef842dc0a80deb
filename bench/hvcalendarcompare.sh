#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: LGPL-2.1-or-later

# hvcalendarbench of two builds (say, before and after a change) side by side
# in one run, alternating, on the same calendar databases: each build keeps
# its own copy in DIR/<name> (filled by the first run, so that a later run
# measures the retrievals only). Prints both tables and, per size, the ratio
# of the second build's first retrieval to the first build's, on the clock
# and, where both benches print it, in processor time (steadier on a busy
# machine).
#
#   bench/hvcalendarcompare.sh BEFORE_BUILD AFTER_BUILD [DIR] [ROUNDS]
set -euo pipefail

before=$(cd "$1" && pwd)
after=$(cd "$2" && pwd)
dir=${3:-$(mktemp -d)}
rounds=${4:-2}
mkdir -p "$dir/before" "$dir/after"

declare -A best
for round in $(seq "$rounds"); do
    for name in before after; do
        build=${!name}
        echo "== $name, round $round ($build)"
        HVCALENDARBENCH_DIR="$dir/$name" "$build/bench/hvcalendarbench" | tee "$dir/$name.out"
        # The best first retrieval per size over the rounds.
        while read -r entries _ first _ _ cpu; do
            key="$name-$entries"
            if [ -z "${best[$key]:-}" ] || awk -v a="$first" -v b="${best[$key]}" 'BEGIN { exit !(a < b) }'; then
                best[$key]=$first
            fi
            [ -n "$cpu" ] || continue
            key="$name-cpu-$entries"
            if [ -z "${best[$key]:-}" ] || awk -v a="$cpu" -v b="${best[$key]}" 'BEGIN { exit !(a < b) }'; then
                best[$key]=$cpu
            fi
        done < <(awk '$1 ~ /^[0-9]+$/ { print $1, $2, $3, $4, $5, $6 }' "$dir/$name.out")
    done
done

printf '\n%10s %14s %14s %10s\n' entries "before (ms)" "after (ms)" "after/before"
for entries in 1000 10000 100000; do
    b=${best[before-$entries]:-}
    a=${best[after-$entries]:-}
    [ -n "$b" ] && [ -n "$a" ] || continue
    awk -v e="$entries" -v b="$b" -v a="$a" 'BEGIN { printf "%10d %14.2f %14.2f %10.3f\n", e, b, a, a / b }'
done
if [ -n "${best[before-cpu-1000]:-}" ] && [ -n "${best[after-cpu-1000]:-}" ]; then
    printf '\n%10s %14s %14s %10s\n' entries "before cpu" "after cpu" "after/before"
    for entries in 1000 10000 100000; do
        b=${best[before-cpu-$entries]:-}
        a=${best[after-cpu-$entries]:-}
        [ -n "$b" ] && [ -n "$a" ] || continue
        awk -v e="$entries" -v b="$b" -v a="$a" 'BEGIN { printf "%10d %14.2f %14.2f %10.3f\n", e, b, a, a / b }'
    done
fi
for name in before after; do
    awk -v n="$name" -v s="${best[$name-1000]:-0}" -v l="${best[$name-100000]:-0}" \
        'BEGIN { if (s > 0) printf "%s: 100,000 : 1,000 first %.1f\n", n, l / s }'
    awk -v n="$name" -v s="${best[$name-cpu-1000]:-0}" -v l="${best[$name-cpu-100000]:-0}" \
        'BEGIN { if (s > 0) printf "%s: 100,000 : 1,000 first cpu %.1f\n", n, l / s }'
done
