#!/usr/bin/env bash
# The emulator ctest uses for the Windows test programs: runs one under Wine
# in the shared, isolated test environment. With --end (the test run's last
# step), ends that environment's Wine processes and Xvfb instead.
set -u
export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-${TMPDIR:-/tmp}/glance-wine-tests}
if [ "${1:-}" = --end ]; then
  source "$(dirname "$0")/../scripts/wine-env.sh" --end
  exit 0
fi
source "$(dirname "$0")/../scripts/wine-env.sh"
# The shared environment ends with ctest (wine.end), or, if ctest is killed, after it.
glance_wine_end_with "$PPID"
# Wine's own long-lived processes (services, the desktop) inherit the output
# of the program that first needs them. Through a file, they cannot hold
# ctest's pipe open after the test program has ended.
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
