#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: LGPL-2.1-or-later

# run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]
#
# Runs each libFuzzer target of BUILD_DIR (configured with
# -DHALVANE_BUILD_FUZZERS=ON) for SECONDS on a copy of its corpus, one target
# at a time, and prints the runs each one executed. Fails when a target finds
# a crash, a leak or a time-out; its reproducer is kept and its path printed:
# add it to tests/fuzz/<target>/ with the fix.
set -uo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS [TARGET...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd) || exit 2
seconds=$2
shift 2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for program in "$build"/tests/fuzz/fuzz_*; do
        [ -f "$program" ] && [ -x "$program" ] && targets+=("$(basename "$program" | sed 's/^fuzz_//')")
    done
fi
if [ ${#targets[@]} -eq 0 ]; then
    echo "$0: no fuzz targets in $build/tests/fuzz (configure with -DHALVANE_BUILD_FUZZERS=ON)" >&2
    exit 2
fi

# On tmpfs when there is one: the targets keep their stores in it.
if [ -n "${TMPDIR:-}" ]; then base=$TMPDIR; elif [ -d /dev/shm ]; then base=/dev/shm; else base=/tmp; fi
work=$(mktemp -d "$base/halvane-fuzzers-XXXXXX")
failed=()
for target in "${targets[@]}"; do
    program="$build/tests/fuzz/fuzz_$target"
    if [ ! -x "$program" ]; then
        echo "$target: no program $program" >&2
        failed+=("$target")
        continue
    fi
    # The repository's corpus stays as it is: the fuzzer grows a copy. Inputs
    # named slow-* are replayed by the tests but seed no fuzzing: their
    # mutations take seconds each, which left 80 runs a minute instead of 11,000.
    mkdir -p "$work/$target/corpus" "$work/$target/artifacts" "$work/$target/tmp"
    for input in "$here/$target"/*; do
        case "$(basename "$input")" in
            slow-*) ;;
            *) cp "$input" "$work/$target/corpus/" ;;
        esac
    done
    TMPDIR="$work/$target/tmp" "$program" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 -print_final_stats=1 \
        -artifact_prefix="$work/$target/artifacts/" "$work/$target/corpus" > "$work/$target/log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target/log" | tail -1)
    if [ $status -eq 0 ]; then
        printf '%-20s %ss  %s runs  ok\n' "$target" "$seconds" "${runs:-?}"
    else
        printf '%-20s %ss  %s runs  FAILED (exit %d)\n' "$target" "$seconds" "${runs:-?}" "$status"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fatal:|.*runtime error:|ALARM|    #[0-9]+ )' "$work/$target/log" | head -24
        for artifact in "$work/$target/artifacts"/*; do
            [ -f "$artifact" ] || continue
            echo "    reproducer: $artifact"
            # Small ones in full, so that a CI log is enough to reproduce.
            if [ "$(stat -c %s "$artifact")" -le 4096 ]; then
                echo "    base64:"
                base64 -w 76 "$artifact" | sed 's/^/      /'
            fi
        done
        echo "    log: $work/$target/log"
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing failed: ${failed[*]} (work directory $work kept)"
    exit 1
fi
rm -rf "$work"
echo "fuzzing passed: ${#targets[@]} targets, ${seconds}s each"
