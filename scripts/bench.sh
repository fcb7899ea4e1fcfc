#!/usr/bin/env bash
# Prints the figures of the shipped DLLs (a benchmark, not a test): for each architecture that
# Wine runs here, the cost of a right-click through the DLL beside the floor of the platform
# calls it cannot avoid, and the first level's questions beside the shell's own item calls;
# then the size and imports of the x86, x64 and ARM64 product DLLs.
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

# The ARM64 DLL for its size alone: no Wine here times it.
build_tree "$work/product-arm64" NivraShellExt -DNIVRA_BUILD=product \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/zig-aarch64-product.cmake"

echo "== product DLLs (size, code and data outside resources, imports)"
declare -A size
for arch in x86 x64 arm64; do
  dll=$work/product-$arch/bin/$(cat "$work/product-$arch/dll-name.txt")
  size[$arch]=$(stat -c %s "$dll")
  # Every section but the resources (.rsrc) as stored in the file: code, data, imports,
  # relocations and unwind tables.
  code=$(llvm-readobj-14 --sections "$dll" |
    awk '$1 == "Name:" {name = $2} $1 == "RawDataSize:" && name != ".rsrc" {s += $2} END {print s}')
  case $arch in
    x86) goal=$(awk -v c="$code" 'BEGIN { printf "goal outside resources <= 40960: %s", c <= 40960 ? "holds" : "MISSED" }') ;;
    x64) goal="" ;;
    arm64) goal=$(awk -v a="${size[arm64]}" -v x="${size[x64]}" 'BEGIN {
             printf "%+.1f %% of x64; goal within 30 %%: %s", (a / x - 1) * 100, a <= 1.3 * x ? "holds" : "MISSED" }') ;;
  esac
  awk -v a=$arch -v s="${size[$arch]}" -v c="$code" -v g="$goal" 'BEGIN {
    printf "%s: %d bytes (%.1f KB), %d outside resources (%.1f KB)%s\n", a, s, s / 1024, c, c / 1024, g == "" ? "" : "; " g }'
  llvm-objdump-14 -p "$dll" | awk '
    /DLL Name:/ { if (dll != "") print "  " dll " (" n "): " names; dll = $3; n = 0; names = ""; next }
    dll != "" && /^ +[0-9]+ +[A-Za-z_]/ { n++; names = names (n > 1 ? " " : "") $2 }
    dll != "" && /^$/ { if (n > 0) { print "  " dll " (" n "): " names; dll = ""; } }
    END { if (dll != "") print "  " dll " (" n "): " names }'
done
exit $status
