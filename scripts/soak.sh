#!/usr/bin/env bash
# Soak test on demand (not part of test-all): FIXES position fixes and CALLS
# mixed calls (default 10000 and 1000) through the real DLL and the host
# emulator, first by one client, then by two client processes at once.
# For each run it prints what was sent, what the host received (from the
# emulator's log), lost, duplicated and mismatched answers, non-zero
# statuses, fixes/s, each client's memory, and the Wine server's open files
# before and after. Exits non-zero when anything was lost, duplicated,
# mismatched or failed.
#
#   bash scripts/soak.sh [FIXES] [CALLS]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
fixes="${1:-10000}"
calls="${2:-1000}"
build="${ORVEK_BUILD_ROOT:-$repo/build}/win64"

cmake --preset win64 -B "$build" >/dev/null
cmake --build "$build" -j "${ORVEK_JOBS:-2}" --target orvek-soak orvek-host >/dev/null
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
# shellcheck source=host-emulator.sh
. scripts/host-emulator.sh
trap wine_stop EXIT
install_host_emulator "$build" soak-host
cp "$build/tests/wine/orvek-soak.exe" "$build/OrvekPORT/OrvekPORT.dll" "$HOST_DIR/"
log="$HOST_DIR/orvek-host.log"

# Open files of this prefix's Wine server: the one whose directory belongs
# to this prefix (other prefixes on the machine have their own).
server_files() {
  local dir pid
  dir="$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
  for pid in $(pgrep wineserver || true); do
    if [[ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" == */"$dir" ]]; then
      ls "/proc/$pid/fd" | wc -l
      return
    fi
  done
  echo "?"
}

run() {
  local clients="$1" mark files_before started pids=() rc=0 c
  mark=$(cat "$log" 2>/dev/null | wc -l)
  files_before="$(server_files)"
  started=$SECONDS
  for ((c = 1; c <= clients; c++)); do
    wine "$HOST_DIR/orvek-soak.exe" "$c" "$fixes" "$calls" >"$HOST_DIR/client$c.out" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || rc=1; done
  cat "$HOST_DIR"/client*.out
  local nonzero mismatched
  nonzero="$(grep -ho 'non-zero [0-9]*' "$HOST_DIR"/client*.out | awk '{s += $2} END {print s + 0}')"
  mismatched="$(grep -ho 'mismatched [0-9]*' "$HOST_DIR"/client*.out | awk '{s += $2} END {print s + 0}')"
  rm -f "$HOST_DIR"/client*.out
  local received unique sent=$((clients * fixes))
  received="$(tail -n +"$((mark + 1))" "$log" | grep ' recv E|' | grep -oE ',S[0-9]+-[0-9]+,' | sort)"
  unique="$(uniq <<<"$received" | grep -c . || true)"
  local total lost duplicated
  total="$(grep -c . <<<"$received" || true)"
  lost=$((sent - unique))
  duplicated=$((total - unique))
  printf '%d client(s): sent %d fixes + %d calls; received by the host %d fixes; lost %d, duplicated %d, mismatched %d, non-zero statuses %d; %d s; wine server open files %s -> %s\n' \
    "$clients" "$sent" "$((clients * calls))" "$total" "$lost" "$duplicated" \
    "$mismatched" "$nonzero" "$((SECONDS - started))" "$files_before" "$(server_files)"
  ((lost == 0 && duplicated == 0 && rc == 0))
}

# Starts the emulator through the DLL first, so that the open-file counts
# compare like with like.
wine "$HOST_DIR/orvek-soak.exe" 0 0 0 >/dev/null
status=0
echo "== one client"
run 1 || status=1
echo "== two clients at once"
run 2 || status=1
stop_host_emulator
exit "$status"
