#!/bin/sh
# Builds the handler's fuzz targets outside the main build, each with libFuzzer and as a plain
# replay of files and folders.
#   tests/fuzz/handler/build.sh [output folder]     (default /tmp/handler-fuzz)
# Then, e.g.:
#   <out>/string_block_fuzzer -max_total_time=60 <out>/corpus-string_block \
#       tests/fuzz/handler/corpus/string_block
#   <out>/file_type_filter_replay tests/fuzz/handler/corpus/file_type_filter
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=${1:-/tmp/handler-fuzz}
mkdir -p "$out"
cxx=${CXX:-clang++}
flags="-std=c++17 -g -O1 -Wall -Wextra -I$root"
filter="$root/handler/file_type_filter.cpp $root/handler/ordinal_table.cpp"
filter="$filter $root/common/wide_string.cpp $root/common/heap_native.cpp"
for target in string_block file_type_filter; do
    case $target in
        string_block) sources="$root/handler/string_block.cpp" ;;
        file_type_filter) sources=$filter ;;
    esac
    mkdir -p "$out/corpus-$target"
    $cxx $flags -DNIVRA_LIBFUZZER -fsanitize=fuzzer,address,undefined $sources \
        "$here/${target}_fuzzer.cpp" -o "$out/${target}_fuzzer"
    $cxx $flags -fsanitize=address,undefined $sources "$here/${target}_fuzzer.cpp" \
        -o "$out/${target}_replay"
done
echo "built in $out"
