#!/bin/bash
# The two ways into the project:
#   scripts/setup.sh demo   installs what is missing, builds, runs halvane-overview --demo
#   scripts/setup.sh test   installs what is missing, builds, runs every test
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${HALVANE_BUILD_DIR:-$here/build}"
jobs=$(nproc 2>/dev/null || echo 2)

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
cmake --build "$build" --parallel "$jobs"

case "$1" in
    demo)
        exec "$build/bin/halvane-overview" --demo
        ;;
    test)
        cd "$build"
        exec ctest --output-on-failure --parallel "$jobs" --timeout 600
        ;;
esac
