#!/usr/bin/env bash
# Prints the figures of the shipped DLL (a benchmark, not a test): the cost of a right-click
# through it under Wine beside the floor of the platform calls it cannot avoid, and the
# stripped size and imports of both product DLLs.
# Usage: scripts/bench.sh [REPETITIONS, default 1001] [WORK FOLDER, default /tmp/nivra-bench]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repetitions=${1:-1001}
work=${2:-/tmp/nivra-bench}
mkdir -p "$work"

bash "$root/scripts/setup.sh" >/dev/null || exit 1

for arch in x86 x64; do
  triple=$([ $arch = x86 ] && echo i686 || echo x86_64)
  dir=$work/product-$arch
  if ! { cmake -S "$root" -B "$dir" -DNIVRA_BUILD=product -DCMAKE_BUILD_TYPE=Release \
           -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple-product.cmake" &&
         cmake --build "$dir" -j 2; } >"$dir.log" 2>&1; then
    tail -30 "$dir.log"
    exit 1
  fi
done

bench=$work/right_click_bench.exe
x86_64-w64-mingw32-g++-win32 -std=c++17 -O2 -Wall -Wextra -municode -DUNICODE -D_UNICODE \
  -static -o "$bench" "$root/tools/right_click_bench/main.cpp" -lole32 -luuid -lshell32 \
  -lgdi32 -luser32

# The DLL as installed: beside it the settings file it reads on the first right-click.
run=$work/run
mkdir -p "$run/configuration"
cp "$work/product-x64/bin/NivraShellExt.dll" "$run/"
printf '[SetupSettings]\r\nosgi.nl=en\r\n' >"$run/configuration/config.ini"

echo "== right-click through the x64 DLL under Wine (the DLL 64-bit Explorer loads)"
echo "pinned to CPU 0 with the wine server: its calls are several times slower across cores"
prefix=$work/prefix
# taskset pins the server that wine-prefix.sh starts, and everything the program starts.
taskset -c 0 bash "$root/scripts/wine-prefix.sh" "$prefix" x64
status=0
taskset -c 0 bash "$root/scripts/wine-run.sh" "$prefix" x64 "$bench" \
  "Z:${run//\//\\}\\NivraShellExt.dll" "$repetitions" || status=$?
bash "$root/scripts/wine-prefix.sh" "$prefix" x64 stop

echo "== product DLLs (stripped size, imports)"
for arch in x86 x64; do
  triple=$([ $arch = x86 ] && echo i686 || echo x86_64)
  stripped=$work/NivraShellExt-$arch.dll
  "$triple-w64-mingw32-strip" -o "$stripped" "$work/product-$arch/bin/NivraShellExt.dll"
  size=$(stat -c %s "$stripped")
  awk -v a=$arch -v s="$size" 'BEGIN { printf "%s: %d bytes stripped (%.1f KB; goal for x86: <= 65536)\n", a, s, s / 1024 }'
  "$triple-w64-mingw32-objdump" -p "$stripped" | awk '
    /DLL Name:/ { if (dll != "") print "  " dll " (" n "): " names; dll = $3; n = 0; names = ""; next }
    dll != "" && /^\t[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ { n++; names = names (n > 1 ? " " : "") $3 }
    dll != "" && /^$/ { if (n > 0) { print "  " dll " (" n "): " names; dll = ""; } }
    END { if (dll != "") print "  " dll " (" n "): " names }'
done
exit $status
