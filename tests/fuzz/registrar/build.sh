#!/bin/sh
# Builds the script fuzzer and the script benchmark outside the main build.
#   tests/fuzz/registrar/build.sh [output folder]     (default /tmp/registrar-fuzz)
# Then:
#   <out>/script_fuzzer -max_total_time=60 <out>/corpus tests/fuzz/registrar/corpus
#   <out>/script_replay tests/fuzz/registrar/corpus    (plain replay, no libFuzzer)
#   <out>/script_benchmark                             (time per key, 1,000 to 64,000 keys)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${1:-/tmp/registrar-fuzz}
mkdir -p "$out/corpus"
cxx=${CXX:-clang++}
core=$(ls "$root"/registrar/*.cpp | grep -v '_win32\.cpp$')
common="$root/common/wide_string.cpp $root/common/heap_native.cpp"
support="$root/tests/native/registrar/memory_registry.cpp"
flags="-std=c++17 -g -O1 -Wall -Wextra -DNIVRA_ALLOCATION_HOOKS -I$root -I$root/tests/native/registrar"
$cxx $flags -DNIVRA_LIBFUZZER -fsanitize=fuzzer,address,undefined \
    $core $common $support "$here/script_input.cpp" "$here/script_fuzzer.cpp" -o "$out/script_fuzzer"
$cxx $flags -fsanitize=address,undefined \
    $core $common $support "$here/script_input.cpp" "$here/script_fuzzer.cpp" -o "$out/script_replay"
$cxx -std=c++17 -O2 -Wall -Wextra -I"$root" -I"$root/tests/native/registrar" \
    $core $common $support "$here/script_benchmark.cpp" -o "$out/script_benchmark"
echo "built in $out"
