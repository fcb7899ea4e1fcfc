#!/usr/bin/env bash
# Fuzzes the registry script interpreter, the string-table block lookup and the file-type filter
# (libFuzzer, AddressSanitizer, UBSan, leak checks) and prints executions (and per second),
# coverage and findings per target. Exits non-zero on any crash, report or leak.
# Usage: scripts/fuzz.sh [--build-only | --no-build] [SECONDS PER TARGET (default 600)]
#                        [WORK_FOLDER (default /tmp/registrar-fuzz)] [TARGET...]
# Targets: script_interpreter, string_block, file_type_filter (default: all, one after another).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=yes
case ${1:-} in
  --build-only) build=only; shift ;;
  --no-build) build=no; shift ;;
esac
seconds=${1:-600}
out=${2:-/tmp/registrar-fuzz}
shift $(($# < 2 ? $# : 2))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(script_interpreter string_block file_type_filter)

if [ $build != no ]; then
  mkdir -p "$out"
  # The two builds share nothing but the output folder: one per core.
  sh "$root/tests/fuzz/registrar/build.sh" "$out" >"$out.build.log" 2>&1 &
  registrar_build=$!
  sh "$root/tests/fuzz/handler/build.sh" "$out" >"$out.handler-build.log" 2>&1 ||
    { cat "$out.handler-build.log"; wait "$registrar_build"; exit 1; }
  wait "$registrar_build" || { cat "$out.build.log"; exit 1; }
  [ $build = only ] && exit 0
fi

failed=0
for target in "${targets[@]}"; do
  case $target in
    script_interpreter)
      binary=script_fuzzer work=$out/corpus seeds=$root/tests/fuzz/registrar/corpus
      # The harness skips longer inputs; libFuzzer should not make them.
      options=(-max_len="$(sed -n 's/.*kMaxInputBytes = \([0-9]*\);.*/\1/p' \
        "$root/tests/fuzz/registrar/script_input.h")") ;;
    string_block | file_type_filter)
      binary=${target}_fuzzer work=$out/corpus-$target seeds=$root/tests/fuzz/handler/corpus/$target
      options=() ;;
    *) echo "unknown target: $target"; exit 2 ;;
  esac
  findings=$out/findings/$target
  mkdir -p "$findings" "$work"
  log=$out/$target.log
  "$out/$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 "${options[@]}" \
    -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1
  status=$?
  echo "== $target"
  grep -E '^#[0-9]+[[:space:]].*cov:' "$log" | tail -1
  stat() { sed -n "s/^stat::$1:[[:space:]]*//p" "$log" | tail -1; }
  echo "executions: $(stat number_of_executed_units), $(stat average_exec_per_sec) per second;" \
    "peak RSS $(stat peak_rss_mb) MB"
  count=$(ls "$findings" | wc -l)
  echo "findings: $count (in $findings)"
  if [ $status -ne 0 ] || [ "$count" -ne 0 ]; then
    grep -E -A20 'ERROR|runtime error|invariant broken|filter says' "$log" | head -60
    failed=1
  fi
done
exit $failed
