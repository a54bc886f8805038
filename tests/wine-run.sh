#!/usr/bin/env bash
# The emulator ctest uses for the Windows test programs: runs one under Wine
# in the shared, isolated test environment.
set -eu
export GLANCE_WINE_ROOT=${GLANCE_WINE_ROOT:-${TMPDIR:-/tmp}/glance-wine-tests}
source "$(dirname "$0")/../scripts/wine-env.sh"
exec wine "$@"
