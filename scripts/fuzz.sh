#!/usr/bin/env bash
# Fuzzes the registry script interpreter (libFuzzer, AddressSanitizer, UBSan, leak checks) and
# prints executions, coverage and findings. Exits non-zero on any crash, report or leak.
# Usage: scripts/fuzz.sh [SECONDS (default 600)] [WORK_FOLDER (default /tmp/registrar-fuzz)]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
out=${2:-/tmp/registrar-fuzz}
sh "$root/tests/fuzz/registrar/build.sh" "$out" >"$out.build.log" 2>&1 || { cat "$out.build.log"; exit 1; }
mkdir -p "$out/findings"
log=$out/fuzz.log
"$out/script_fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
  -artifact_prefix="$out/findings/" "$out/corpus" "$root/tests/fuzz/registrar/corpus" >"$log" 2>&1
status=$?
grep -E '^#[0-9]+ +DONE' "$log" | tail -1
grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log"
findings=$(ls "$out/findings" | wc -l)
echo "findings: $findings (in $out/findings)"
if [ $status -ne 0 ] || [ "$findings" -ne 0 ]; then
  grep -E -A20 'ERROR|runtime error|invariant broken' "$log" | head -60
  exit 1
fi
