#!/usr/bin/env bash
# Soak test on demand: FIXES position fixes and CALLS
# mixed calls (default 10000 and 1000) through the real DLL and the host
# emulator, first by one client, then by two client processes at once.
# For each run it prints what was sent, what the host received (from the
# emulator's log), lost, duplicated and mismatched answers, non-zero
# statuses, fixes/s, each client's memory, and the Wine server's open files
# before and after. Exits non-zero when anything was lost, duplicated,
# mismatched or failed.
#
# Chaos mode: CLIENTS client processes (default 4) run for SECONDS (default
# 300) like feeds (a named fix, a raw request naming it, now and then the
# handshake query, Init when the feed would: tools/common/relink_policy.h)
# while the script, every 3 to 10 s (mostly counted from the host's first
# answer after the last fault), makes the host stall 3 to 15 s, kills it, or
# kills and at once restarts it. From the clients' counts and files and the
# emulator's log (the witness of what the host read) it prints the calls made,
# answers returned with 0 that were not the call's own, fixes (and raw
# requests) the host read more than once, fixes reported 0 that the host never
# read, the faults done, and the recovery times (first failure of a streak to
# the next success). Exits non-zero when any of the first three is not 0 or a
# client failed. The whole run is bounded by `timeout` (SECONDS + 240 s after
# the build). Kills go through this prefix's own Wine server only, by the
# process id in the emulator's log. The test command runs it for 45 s with
# three clients (ctest soak_chaos, win64), on its own build: ORVEK_SOAK_BUILD
# names a built win64 tree to use as it is.
#
#   bash scripts/soak.sh [FIXES] [CALLS]
#   bash scripts/soak.sh --chaos [CLIENTS] [SECONDS]
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
mode=counts
if [[ "${1:-}" == --chaos ]]; then
  mode=chaos
  clients="${2:-4}"
  seconds="${3:-300}"
else
  fixes="${1:-10000}"
  calls="${2:-1000}"
fi
build="${ORVEK_SOAK_BUILD:-${ORVEK_BUILD_ROOT:-$repo/build}/win64}"

if [[ -z "${ORVEK_SOAK_BUILD:-}" ]]; then
  cmake --preset win64 -B "$build" >/dev/null
  cmake --build "$build" -j "${ORVEK_JOBS:-2}" --target orvek-soak orvek-host >/dev/null
fi
# The chaos run goes on under a time limit of its own, built already.
if [[ "$mode" == chaos && -z "${ORVEK_CHAOS_BOUNDED:-}" ]]; then
  exec timeout --kill-after=30 "$((seconds + 240))" \
    env ORVEK_CHAOS_BOUNDED=1 bash "$0" --chaos "$clients" "$seconds"
fi
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
# shellcheck source=host-emulator.sh
. scripts/host-emulator.sh
trap wine_stop EXIT
# A time-out's TERM still ends this prefix's Wine processes.
trap 'exit 143' TERM
trap 'exit 130' INT
install_host_emulator "$build" soak-host
cp "$build/tools/orvek-soak/orvek-soak.exe" "$build/OrvekPORT/OrvekPORT.dll" "$HOST_DIR/"
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
  mark="$(host_log lines "$log")"
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
  received="$(host_log details "$log" recv --from "$((mark + 1))" | grep '^E|' |
    grep -oE ',S[0-9]+-[0-9]+,' | sort)"
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

# Ends the emulator at once, without its stop line; 0 when one was running.
# By the process id of its last start line: this Wine's taskkill is 32-bit
# and finds no 64-bit program by name. A start already killed is not
# killed again, since Wine may have given its id to another process of
# this prefix.
killed_starts=0
kill_host() {
  local starts pid
  starts="$(host_log count orvek-host.log start)"
  ((starts > killed_starts)) || return 1
  killed_starts=$starts
  pid="$(host_log last-start orvek-host.log)"
  timeout 30 wine taskkill /f /pid "$pid" >/dev/null 2>&1
}

# Starts the emulator as Path_EXE names it, without waiting for its window.
start_host() {
  wine "$HOST_DIR/orvek-host.exe" >/dev/null 2>&1 &
}

# The median and the maximum of the numbers on standard input, one a line.
median_max() {
  sort -n | awk '{v[NR] = $1} END {
    if (NR == 0) { print "none"; exit }
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "median %d ms, max %d ms over %d streaks\n", m, v[NR], NR }'
}

chaos() {
  local clients="$1" seconds="$2" pids=() rc=0 c
  cd "$HOST_DIR"  # the clients write their files into their working directory
  rm -f chaos-K* orvek-host.faults
  wine ./orvek-soak.exe 0 0 0 >/dev/null  # starts the emulator through Init
  local started=$SECONDS
  for ((c = 1; c <= clients; c++)); do
    timeout --kill-after=10 "$((seconds + 90))" \
      wine ./orvek-soak.exe chaos "$c" "$seconds" >"chaos-K$c.out" 2>&1 &
    pids+=($!)
  done

  # After a kill every process's calls to the gone window wait out their
  # 3 s in turn before its Init, so recovery takes longer than the pause.
  # Three faults in four therefore wait (up to 60 s) for the host to answer
  # a fix or raw request after the last fault, then pause; the fourth comes
  # during the recovery.
  local stalls=0 kills=0 restarts=0 ms pause mark=0 waited=0 when
  while :; do
    when=""
    if ((mark == 0 || RANDOM % 4)); then
      waited=$SECONDS
      while ((SECONDS - waited < 60 && SECONDS < started + seconds)) &&
        ! host_log_has orvek-host.log send 'A|' 'R|' --from-byte "$mark"; do
        sleep 0.5
      done
    else
      when=" (during recovery)"
    fi
    pause=$((3 + RANDOM % 8))
    ((SECONDS + pause < started + seconds - 2)) || break
    sleep "$pause"
    mark="$(stat -c %s orvek-host.log)"
    case $((RANDOM % 3)) in
      0)
        # Read before the next request; a stall not yet taken is replaced.
        ms=$((3000 + RANDOM % 12001))
        echo "once stall $ms" >orvek-host.faults
        stalls=$((stalls + 1))
        echo "$((SECONDS - started)) s: stall $ms ms$when" ;;
      1)
        if kill_host; then
          kills=$((kills + 1))
          echo "$((SECONDS - started)) s: kill (the clients' Init restarts it)$when"
        fi ;;
      *)
        if kill_host; then
          start_host
          restarts=$((restarts + 1))
          echo "$((SECONDS - started)) s: kill and restart$when"
        fi ;;
    esac
  done
  for pid in "${pids[@]}"; do wait "$pid" || rc=1; done
  cat chaos-K*.out

  # The host's log: every fix name and raw request it read, once a read.
  local received raw
  received="$(host_log details orvek-host.log recv | grep '^E|' |
    grep -oE ',K[0-9]+-[0-9]+,' | tr -d , | sort || true)"
  raw="$(host_log details orvek-host.log recv | grep -oE '^chaos K[0-9]+-[0-9]+' | sort || true)"
  local calls wrong twice raw_twice lost applied_failed
  calls="$(grep -ho 'calls [0-9]*' chaos-K*.out | awk '{s += $2} END {print s + 0}')"
  wrong="$(grep -ho 'wrong answers [0-9]*' chaos-K*.out | awk '{s += $3} END {print s + 0}')"
  twice="$(uniq -d <<<"$received" | grep -c . || true)"
  raw_twice="$(uniq -d <<<"$raw" | grep -c . || true)"
  lost="$(sort chaos-K*.fixes | comm -23 - <(uniq <<<"$received") | grep -c . || true)"
  applied_failed="$(uniq <<<"$received" | comm -23 - <(sort chaos-K*.fixes) | grep -c . || true)"
  echo "== chaos: $clients clients, $((SECONDS - started)) s"
  echo "calls in all $calls; wrong answers with status 0: $wrong"
  echo "fixes applied twice: $twice (raw requests read twice: $raw_twice)"
  echo "fixes reported 0 but never received: $lost"
  echo "fixes received though reported failed: $applied_failed (allowed: a time-out after the host read it)"
  echo "stalls asked $stalls, stalls the host did $(host_log count orvek-host.log stall); kills $kills; kills with restart $restarts; emulator starts $(host_log count orvek-host.log start)"
  echo "recovery: $(cat chaos-K*.recovery | median_max); clients still failing at their end: $(grep -c 'unrecovered at the end yes' chaos-K*.out | awk -F: '{s += $2} END {print s + 0}')"
  echo "each client's failed calls and Inits, timed: $HOST_DIR/chaos-K*.failures"
  if ((twice + raw_twice > 0)); then
    echo "read more than once:"
    { uniq -d <<<"$received"; uniq -d <<<"$raw"; } | head -20
  fi
  if ((lost > 0)); then
    echo "reported 0, never read:"
    sort chaos-K*.fixes | comm -23 - <(uniq <<<"$received") | head -20
  fi
  ((wrong == 0 && twice == 0 && raw_twice == 0 && lost == 0 && rc == 0))
}

if [[ "$mode" == chaos ]]; then
  status=0
  chaos "$clients" "$seconds" || status=1
  stop_host_emulator
  exit "$status"
fi

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
