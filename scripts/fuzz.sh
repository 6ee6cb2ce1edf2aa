#!/usr/bin/env bash
# Runs every libFuzzer harness in fuzz/ for SECONDS each (default 15), over
# a working copy of its seed corpus, and prints for each the executions and
# the findings. Exits non-zero when any harness found something; the
# inputs that failed are kept in build/fuzz/findings/<harness>/.
#
#   bash scripts/fuzz.sh          # the smoke that test-all runs
#   bash scripts/fuzz.sh 600      # ten minutes each
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
seconds="${1:-15}"
build="${ORVEK_BUILD_ROOT:-$repo/build}/fuzz"

cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "${ORVEK_JOBS:-2}"

found=0
for seeds in fuzz/corpus/*/; do
  name="$(basename "$seeds")"
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  rm -rf "$findings"
  mkdir -p "$work" "$findings"
  cp -n "$seeds"* "$work/" 2>/dev/null || true
  log="$build/$name.log"
  set +e
  "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work" >"$log" 2>&1
  rc=$?
  set -e
  runs="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)"
  count="$(find "$findings" -type f | wc -l)"
  # A harness that failed without leaving an input (it did not start, or
  # crashed outside an input) still counts as a finding.
  ((rc != 0 && count == 0)) && count=1
  printf '%-20s %10s executions  %d findings  (%s s)\n' "$name" "$runs" "$count" "$seconds"
  if ((rc != 0 || count > 0)); then
    found=1
    grep -E 'FUZZ CHECK|ERROR|runtime error|SUMMARY' "$log" | head -n 5 || true
  fi
done
exit "$found"
