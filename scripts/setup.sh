#!/bin/bash
# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: BSD-3-Clause

# The two ways into the project:
#   scripts/setup.sh demo   installs what is missing, builds what the demo runs (target
#                           halvane-demo), runs halvane-overview --demo, says how to start the app
#   scripts/setup.sh test   installs what is missing, builds, runs every test: the suite,
#                           the suite again under AddressSanitizer + UndefinedBehaviorSanitizer,
#                           the fuzz targets for a minute each, and the threaded tests under
#                           ThreadSanitizer; and builds the Debian packages and checks
#                           them (scripts/package.sh, into build-deb/)
# HALVANE_BUILD_DIR moves the plain build (default: build/); the sanitizer builds go
# beside it (build-asan/, build-tsan/). HALVANE_FUZZ_SECONDS shortens the fuzz runs.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${HALVANE_BUILD_DIR:-$here/build}"
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds="${HALVANE_FUZZ_SECONDS:-60}"

usage() {
    echo "usage: $0 demo|test" >&2
    exit 2
}

[ $# -eq 1 ] || usage
case "$1" in
    demo|test) ;;
    *) usage ;;
esac

bash "$here/scripts/install-deps.sh"

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ "$1" = demo ]; then
    # Only what the demo runs; the test command builds the rest in the same tree.
    cmake --build "$build" --parallel "$jobs" --target halvane-demo
    status=0
    "$build/bin/halvane-overview" --demo || status=$?
    echo
    echo "The app on the same sample data (needs a display):"
    echo "    cmake --build $build --target halvane && $build/bin/halvane --demo"
    echo "Without a display, a picture of it: QT_QPA_PLATFORM=offscreen $build/bin/halvane --demo --screenshot today.png"
    exit $status
fi
cmake --build "$build" --parallel "$jobs"

failed=()
phase() {
    echo
    echo "==== $* ===="
}

phase "licences"
(cd "$here" && reuse lint) || failed+=("licences")

phase "the suite"
(cd "$build" && ctest --output-on-failure --parallel "$jobs" --timeout 600) || failed+=("suite")

phase "the Debian packages: build, lintian, the demo from the unpacked packages"
HALVANE_DEB_DIR="$build-deb" bash "$here/scripts/package.sh" || failed+=("packages")

# The sanitizer builds use clang, whose libFuzzer the fuzz targets need too.
sanitizers="$here/tests/sanitizers"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:suppressions=$sanitizers/ubsan.supp"
# Debian's libraries are not instrumented: their own accesses (and the ordering
# their futex-based locks give) are invisible, so only our code is judged.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$sanitizers/tsan.supp"

asan="$build-asan"
phase "AddressSanitizer + UndefinedBehaviorSanitizer build"
if CC=clang-14 CXX=clang++-14 cmake -S "$here" -B "$asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DHALVANE_SANITIZE="address;undefined" -DHALVANE_BUILD_FUZZERS=ON -DHALVANE_BUILD_BENCHMARKS=OFF \
    && cmake --build "$asan" --parallel "$jobs"; then
    phase "the suite under AddressSanitizer + UndefinedBehaviorSanitizer"
    # Debian's libraries have no frame pointers: fast unwinding stops at their
    # first frame, and LeakSanitizer then took sphinxbase's list nodes for
    # leaked in one build of the voice test and not in the next (with the same
    # decodes); with full unwinding it found none in either. Full unwinding
    # makes the whole suite three times slower, too slow for the IMAP test's
    # waits, so only the voice test gets it.
    (cd "$asan" && ctest --output-on-failure --parallel "$jobs" --timeout 900 -E '^tst_hvsphinxvoice$' \
        && ASAN_OPTIONS="$ASAN_OPTIONS:fast_unwind_on_malloc=0" \
            ctest --output-on-failure --timeout 900 -R '^tst_hvsphinxvoice$') || failed+=("asan suite")
    if [ -x "$here/tests/fuzz/run-fuzzers.sh" ] || [ -f "$here/tests/fuzz/run-fuzzers.sh" ]; then
        phase "fuzz targets, ${fuzz_seconds} s each"
        # Kept for the end: a long run's log may be cut in the middle.
        bash "$here/tests/fuzz/run-fuzzers.sh" "$asan" "$fuzz_seconds" 2>&1 | tee "$asan/fuzzing.log" \
            || failed+=("fuzzing")
    fi
else
    failed+=("asan build")
fi

tsan="$build-tsan"
phase "ThreadSanitizer build of the threaded tests"
if CC=clang-14 CXX=clang++-14 cmake -S "$here" -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DHALVANE_SANITIZE=thread -DHALVANE_BUILD_BENCHMARKS=OFF \
    && cmake --build "$tsan" --parallel "$jobs" --target halvane_threaded_tests; then
    phase "the threaded tests under ThreadSanitizer"
    (cd "$tsan" && ctest --output-on-failure --parallel "$jobs" --timeout 900 -L threaded) || failed+=("tsan tests")
else
    failed+=("tsan build")
fi

echo
if [ ${#failed[@]} -ne 0 ]; then
    if [[ " ${failed[*]} " == *" fuzzing "* ]]; then
        echo "---- what the fuzzing found ----"
        cat "$asan/fuzzing.log"
    fi
    echo "setup: FAILED: ${failed[*]}" >&2
    exit 1
fi
echo "setup: every test passed"
