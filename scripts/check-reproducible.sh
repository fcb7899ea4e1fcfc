#!/usr/bin/env bash
# Builds the product a second time in another folder and fails unless both builds' DLLs are
# byte for byte the same and none names a folder of the build. The second folder is kept and
# reused: only what changed is compiled again, but its DLLs are always linked anew, later than
# the first, so a link time in the image would show.
# Usage: check-reproducible.sh PRODUCT-BUILD-DIR TOOLCHAIN-FILE
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
first=$(cd "$1" && pwd) toolchain=$2
second=$first-again
shopt -s nullglob
built=("$first"/bin/*.dll "$first"/bin/*.exe)
[ ${#built[@]} -gt 0 ] || { echo "no DLL in $first/bin" >&2; exit 1; }

cmake -S "$root" -B "$second" -DCMAKE_BUILD_TYPE=Release -DNIVRA_BUILD=product \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" >"$second.configure.log" 2>&1 ||
  { cat "$second.configure.log"; exit 1; }
rm -f "$second"/bin/*.dll "$second"/bin/*.exe
cmake --build "$second" -j 2 >"$second.build.log" 2>&1 || { tail -40 "$second.build.log"; exit 1; }

status=0 checked=()
for path in "${built[@]}"; do
  dll=bin/$(basename "$path")
  checked+=("$(basename "$first")/$dll ($(stat -c %s "$path") bytes)")
  if ! cmp "$first/$dll" "$second/$dll"; then
    echo "not reproducible: $first/$dll and $second/$dll differ" >&2
    status=1
  fi
  for one in "$first/$dll" "$second/$dll"; do
    # Paths as 8-bit text and as UTF-16 (resources).
    found=$( (strings -a "$one"; strings -a -el "$one") |
      grep -F -e "$root" -e "$first" -e "$second" || true)
    if [ -n "$found" ]; then
      echo "$one names a build folder:" >&2
      echo "$found" | head -5 >&2
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "reproducible: ${checked[*]}"
exit $status
