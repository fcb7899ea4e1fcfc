#!/bin/sh
# Builds the filter benchmark optimised and without sanitizers, then runs it.
#   sh tools/bench/filter_benchmark.sh [output folder]     (default /tmp/filter-bench)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${1:-/tmp/filter-bench}
mkdir -p "$out"
${CXX:-g++} -std=c++17 -O2 -Wall -Wextra -I"$root" "$here/filter_benchmark.cpp" \
    "$root/handler/file_type_filter.cpp" "$root/handler/ordinal_table.cpp" \
    "$root/common/wide_string.cpp" "$root/common/heap_native.cpp" -o "$out/filter_benchmark"
"$out/filter_benchmark"
