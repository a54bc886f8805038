#!/usr/bin/env bash
# GlanceRefresher.exe stays within 266 KB, and its link map shows none of the
# runtime parts that the build keeps out on purpose: each would take the exe
# back over the budget, and the map names the member that is back.
#   bash exe_size.test.sh <exe> <hosts dir> <artifacts dir>
set -euo pipefail
source "$(dirname "$0")/lib.sh"
E2E_NAME=exe_size
readonly BUDGET=272384  # 266 KB: the program with Group Policy, the event log and accessibility (262 KB)
exe=$1
map=$(dirname "$2")/GlanceRefresher.map
[ -f "$map" ] || e2e_fail "no link map at $map"

size=$(stat -c %s "$exe")
e2e_log "$size bytes"
[ "$size" -le "$BUDGET" ] || e2e_fail "the exe is $size bytes, over its budget of $BUDGET"

# member (as the map names it) and what brings it in.
while IFS='|' read -r member cause; do
    if grep -qF "$member" "$map"; then e2e_fail "$member is linked: $cause"; fi
done <<'LIST'
cp-demangle.o|the library's verbose terminate handler (src/StdLibHooks.cpp replaces it)
cow-string-inst.o|a std::runtime_error or another standard exception with a text (copy-on-write strings)
functexcept.o|the library's own throw points (src/StdLibHooks.cpp replaces them)
libpthread.a|the posix thread model (a build folder configured before cmake/mingw-i686.cmake picked win32 keeps it: configure it afresh)
mingw_pformat.o|the printf family (the C library's own formatter)
LIST
e2e_pass
