#!/usr/bin/env bash
# Prints the figures of the shipped DLLs (a benchmark, not a test): for each architecture that
# Wine runs here, the cost of a right-click through the DLL beside the floor of the platform
# calls it cannot avoid, and the first level's questions beside the shell's own item calls;
# then the stripped size and imports of both product DLLs.
# Usage: scripts/bench.sh [REPETITIONS, default 1001] [WORK FOLDER, default /tmp/nivra-bench]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
repetitions=${1:-1001}
work=${2:-/tmp/nivra-bench}
mkdir -p "$work"

bash "$root/scripts/setup.sh" >/dev/null || exit 1

build_tree() {  # DIR TARGET CMAKE-ARGS...
  local dir=$1 target=$2
  shift 2
  if ! { cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" &&
         cmake --build "$dir" -j 2 --target "$target"; } >"$dir.log" 2>&1; then
    tail -30 "$dir.log"
    exit 1
  fi
}

status=0
for arch in x86 x64; do
  triple=$([ $arch = x86 ] && echo i686 || echo x86_64)
  build_tree "$work/product-$arch" NivraShellExt -DNIVRA_BUILD=product \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple-product.cmake"
  if ! bash "$root/scripts/wine-arch-works.sh" $arch; then
    echo "== $arch: not measured: this machine cannot run $arch Windows programs"
    continue
  fi
  build_tree "$work/tools-$arch" right_click_bench -DNIVRA_BUILD=wine-tests -DNIVRA_ARCH=$arch \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$triple-tests.cmake" \
    -DNIVRA_PRODUCT_DIR="$work/product-$arch"

  # The DLL as installed: beside it the settings file it reads on the first right-click.
  run=$work/run-$arch
  mkdir -p "$run/configuration"
  dll=$(cat "$work/product-$arch/dll-name.txt")
  cp "$work/product-$arch/bin/$dll" "$run/"
  printf '[SetupSettings]\r\nosgi.nl=en\r\n' >"$run/configuration/config.ini"

  echo "== right-click through the $arch DLL under Wine"
  echo "pinned to CPU 0 with the wine server: its calls are several times slower across cores"
  prefix=$work/prefix-$arch
  # taskset pins the server that wine-prefix.sh starts, and everything the program starts.
  taskset -c 0 bash "$root/scripts/wine-prefix.sh" "$prefix" $arch
  taskset -c 0 bash "$root/scripts/wine-run.sh" "$prefix" $arch \
    "$work/tools-$arch/bin/right_click_bench.exe" "Z:${run//\//\\}\\$dll" "$repetitions" ||
    status=$?
  bash "$root/scripts/wine-prefix.sh" "$prefix" $arch stop
done

echo "== product DLLs (stripped size, imports)"
for arch in x86 x64; do
  triple=$([ $arch = x86 ] && echo i686 || echo x86_64)
  stripped=$work/stripped-$arch.dll
  "$triple-w64-mingw32-strip" -o "$stripped" \
    "$work/product-$arch/bin/$(cat "$work/product-$arch/dll-name.txt")"
  size=$(stat -c %s "$stripped")
  awk -v a=$arch -v s="$size" 'BEGIN { printf "%s: %d bytes stripped (%.1f KB; goal for x86: <= 65536)\n", a, s, s / 1024 }'
  "$triple-w64-mingw32-objdump" -p "$stripped" | awk '
    /DLL Name:/ { if (dll != "") print "  " dll " (" n "): " names; dll = $3; n = 0; names = ""; next }
    dll != "" && /^\t[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ { n++; names = names (n > 1 ? " " : "") $3 }
    dll != "" && /^$/ { if (n > 0) { print "  " dll " (" n "): " names; dll = ""; } }
    END { if (dll != "") print "  " dll " (" n "): " names }'
done
exit $status
