#!/usr/bin/env bash
# Keeps the source folders layered one way. A file may include headers of its
# own folder and of the folders below it, never of one above or beside it:
#
#   main.cpp  ->  controller  ->  app  ->  engine, tray  ->  platform  ->  core
#                                  platform/win32  ->  platform, core
#
# and only main.cpp and platform/win32 may include <windows.h> or any other
# Windows header. Prints each offending line and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"

# The folders each folder may include from (besides its own).
declare -A allowed=(
  [core]=""
  [platform]="core"
  [platform/win32]="platform core"
  [engine]="platform core"
  [tray]="platform core"
  [app]="engine tray platform core"
  [controller]="app engine tray platform core"
  [.]="controller app engine tray platform platform/win32 core"
)
windows_headers='windows\.h|win[a-z0-9]*\.h|shellapi\.h|shlobj\.h|shlwapi\.h|commctrl\.h|objbase\.h|ole2\.h|psapi\.h|knownfolders\.h|dwmapi\.h|uxtheme\.h'

bad=0
while IFS= read -r file; do
  folder=$(dirname "$file")
  folder=${folder#./}
  [ -n "${allowed[$folder]+set}" ] || { echo "$file: folder '$folder' has no place in the layers"; bad=1; continue; }
  while IFS=: read -r line include; do
    target=$(sed -E 's/.*#include[[:space:]]*"([^"]+)".*/\1/' <<<"$include")
    # The resource ids are shared with res/GlanceRefresher.rc, the one header
    # outside src/; any other way out of src/ goes around the layers.
    if [[ "$target" == *../* ]]; then
      [[ "$target" == */res/resource.h ]] || { echo "src/$file:$line: $target leaves src/"; bad=1; }
      continue
    fi
    target_folder=$(dirname "$target")
    [ "$target_folder" = "$folder" ] && continue
    ok=0
    for f in ${allowed[$folder]}; do [ "$target_folder" = "$f" ] && ok=1; done
    if [ $ok = 0 ]; then echo "src/$file:$line: $folder may not include $target"; bad=1; fi
  done < <(grep -n -E '^[[:space:]]*#include[[:space:]]*"' "$file" || true)
  if [ "$folder" != platform/win32 ] && [ "$folder" != . ]; then
    if grep -n -E "^[[:space:]]*#include[[:space:]]*<($windows_headers)>" "$file"; then
      echo "src/$file: only main.cpp and platform/win32 may include Windows headers"; bad=1
    fi
  fi
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's#^\./##' | sort)

# In the exe the library's errors are all one LibraryError (StdLibHooks.cpp):
# a handler for one standard error type would match in the tests only.
if grep -rn -E 'catch[[:space:]]*\([^)]*std::(logic_error|out_of_range|invalid_argument|length_error|domain_error|runtime_error|range_error|overflow_error|underflow_error)' .; then
  echo "src: catch std::exception there: the exe throws the library's errors as one type"; bad=1
fi

# Every handle has an owner (platform/win32/UniqueHandle.h): a raw release
# elsewhere is a path on which it leaks or closes twice. The close request's
# two LocalFree calls move to UniqueLocalMemory with that file's own change.
releases='\b(CloseHandle|LocalFree|DestroyEnvironmentBlock|WTSFreeMemory|RegCloseKey|FindClose)[[:space:]]*\('
if grep -rn -E "$releases" . | grep -v -E '^\./platform/win32/(UniqueHandle\.h|Win32CloseRequest\.cpp):'; then
  echo "src: a raw release outside platform/win32/UniqueHandle.h: give the handle an owner"; bad=1
fi

if [ $bad = 0 ]; then echo "layers: every include points down, every handle has an owner"; fi
exit $bad
