#!/usr/bin/env bash
# Builds and runs the benchmarks and prints their figures:
# - orvek-exchange-bench.exe under Wine against the host emulator: one
#   exchange through OrvekPORT.dll against the same system calls by hand;
# - natively, the sentence benchmark (when built) and the coordinate check
#   over 20 million values.
#
#   bash scripts/bench.sh [--blocks N] [--per-block N] [--pair NAME]
#
# The arguments go to orvek-exchange-bench. ORVEK_BUILD_DIR (default
# build/win64), ORVEK_NATIVE_BUILD_DIR (default build/native) and WINEPREFIX
# (default build/wineprefix) may be set to keep apart from other builds.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
build="${ORVEK_BUILD_DIR:-$repo/build/win64}"
native="${ORVEK_NATIVE_BUILD_DIR:-$repo/build/native}"

step() { printf '\n### %s\n' "$*"; }

bash scripts/install-deps.sh

step "Build (win64 preset)"
cmake --preset win64 -B "$build" >/dev/null
cmake --build "$build" -j 2 --target OrvekPORT orvek-host orvek-exchange-bench

. scripts/wine-env.sh
. scripts/host-emulator.sh
# The benchmark's Init starts the emulator; nothing else may be running.
wine_stop
trap wine_stop EXIT
install_host_emulator "$build" bench-host

step "orvek-exchange-bench.exe under Wine (host: $HOST_PATH)"
timeout 900 wine "$build/tools/orvek-bench/orvek-exchange-bench.exe" "$@"
stop_host_emulator
wine_stop
trap - EXIT

step "Native benchmarks (native preset)"
cmake --preset native -B "$native" >/dev/null
cmake --build "$native" -j 2
ran=0
for bench in "$native"/tools/orvek-bench/orvek-sentence-bench \
             "$native"/tests/checks/orvek-coordinate-check; do
  [[ -f "$bench" && -x "$bench" ]] || continue
  echo "--- ${bench#"$repo"/}"
  timeout 600 "$bench"
  ran=1
done
(( ran )) || echo "(none built)"
