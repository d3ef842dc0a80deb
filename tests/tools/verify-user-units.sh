#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Halvane developers
# SPDX-License-Identifier: GPL-2.0-or-later

# Checks systemd user units with "systemd-analyze --user verify": their syntax,
# that the programs they start exist, and that each timer's service is there.
# systemd-analyze only warns about lines it cannot parse, so anything it says
# about one of these units is a failure too. The user manager need not run;
# systemd-analyze only needs a runtime directory, a private one here.
set -u
[ $# -gt 0 ] || { echo "verify-user-units: no units given" >&2; exit 1; }

runtime=$(mktemp -d) || exit 1
trap 'rm -rf "$runtime"' EXIT
output=$(XDG_RUNTIME_DIR=$runtime SYSTEMD_LOG_COLOR=0 \
    "${SYSTEMD_ANALYZE:-systemd-analyze}" --user --man=no --recursive-errors=no verify "$@" 2>&1)
status=$?
[ -z "$output" ] || printf '%s\n' "$output"

failed=0
[ $status -eq 0 ] || { echo "verify-user-units: systemd-analyze failed ($status)" >&2; failed=1; }
for unit in "$@"; do
    name=$(basename "$unit")
    if printf '%s\n' "$output" | grep -qF "$name"; then
        echo "verify-user-units: $name has problems" >&2
        failed=1
    fi
    case $name in
    *.timer)
        service=$(sed -n 's/^Unit=//p' "$unit")
        [ -n "$service" ] || service=${name%.timer}.service
        [ -f "$(dirname "$unit")/$service" ] || { echo "verify-user-units: $name starts $service, which is not installed" >&2; failed=1; }
        ;;
    esac
done
[ $failed -eq 0 ] && echo "verify-user-units: $# units verified"
exit $failed
