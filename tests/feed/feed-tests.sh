#!/usr/bin/env bash
# Whole runs of orvek-feed.exe under Wine against the host emulator:
#   feed-tests.sh BUILD_DIR replay    every receiver log, --fast, checked
#                                     against gpsd's decoding (.chk), or
#                                     one by hand (hp58534a.expected)
#   feed-tests.sh BUILD_DIR picture   a replay, then export-view as PNG and
#                                     BMP, decoded and checked
#   feed-tests.sh BUILD_DIR tcp       a TCP receiver that drops once
#   feed-tests.sh BUILD_DIR serial    a socat pty pair as Wine's COM7
#   feed-tests.sh BUILD_DIR gpsd      gpsfake -> gpsd -> gpsd://127.0.0.1
#   feed-tests.sh BUILD_DIR failures  a host that times out and refuses
#   feed-tests.sh BUILD_DIR bounds    --version, --count and SIGTERM ending
#                                     an endless --loop with the summary
# Each step has a hard time bound, and ends every process it started (by
# its own pid) and the emulator. Loopback addresses only.
set -uo pipefail
build="$(cd "$1" && pwd)"
step="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
# shellcheck source=../../scripts/wine-env.sh
. "$repo/scripts/wine-env.sh"
# shellcheck source=../../scripts/host-emulator.sh
. "$repo/scripts/host-emulator.sh"

feed="$build/tools/orvek-feed/orvek-feed.exe"
client="$build/tools/orvekport/orvekport.exe"
garmin="$here/nmea/garmin15x.log"
work="$(mktemp -d)"
pids=()
groups=()
log=""

cleanup() {
  local pid
  exec 3>&- 2>/dev/null
  for pid in "${groups[@]}"; do kill -KILL -- "-$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}" "${groups[@]}"; do wait "$pid" 2>/dev/null; done
  [[ -n "${HOST_DIR:-}" ]] && stop_host_emulator
  rm -f "$WINEPREFIX/dosdevices/com7"
  rm -rf "$work"
}
trap cleanup EXIT

# A fresh emulator of its own for each step; the feed's Init starts it.
install_host_emulator "$build" "feed-$step"
log="$HOST_DIR/orvek-host.log"

# Line of the host log from which a run's requests are counted.
next_line() { echo $(( $(host_log lines "$log") + 1 )); }

# An unused loopback port.
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The feed's output, caught whole and then shown.
run_feed() {
  timeout 60 wine "$feed" "$@" > "$work/feed.out" 2>&1
  local rc=$?
  cat "$work/feed.out"
  return $rc
}

case "$step" in
replay)
  failures=0
  for nmea in "$here"/nmea/*.log; do
    name="$(basename "$nmea" .log)"
    first="$(next_line)"
    if ! run_feed --fast --quiet --name REPLAY "$nmea" > "$work/replay.out"; then
      echo "FAIL $name: orvek-feed failed"; cat "$work/replay.out"
      failures=$((failures + 1)); continue
    fi
    # gpsd ignores a log without checksums; its decoding is then written
    # by hand from the log in the same form.
    oracle="$nmea.chk"
    [[ -f "$oracle" ]] || oracle="$here/$name.expected"
    python3 "$here/check_fixes.py" "$log" "$first" "$oracle" REPLAY || failures=$((failures + 1))
  done
  exit $((failures > 0))
  ;;
picture)
  # tr737A+ wanders over some 30 m: 2 m to the pixel on 400 x 300.
  run_feed --fast --quiet --name TR737 "$here/nmea/tr737A+.log" >/dev/null || exit 1
  lon=-121.31430 lat=44.06875 scale=0.1
  for command in "viewport 400 300" "center $lon $lat $scale" "export-view map.png" \
                 "export-view map.bmp"; do
    # shellcheck disable=SC2086
    timeout 30 wine "$client" $command > "$work/client.out" 2>&1 || { cat "$work/client.out"; exit 1; }
  done
  python3 "$here/check_picture.py" "$HOST_DIR/map.png" "$log" TR737 "$lon" "$lat" "$scale" &&
    python3 "$here/check_picture.py" "$HOST_DIR/map.bmp" "$log" TR737 "$lon" "$lat" "$scale"
  ;;
tcp)
  python3 "$here/nmea_server.py" "$garmin" "$work/port" & pids+=($!)
  for _ in $(seq 50); do [[ -s "$work/port" ]] && break; sleep 0.1; done
  first="$(next_line)"
  run_feed --name TCP --max-connects 2 --idle-timeout 3 "tcp://127.0.0.1:$(cat "$work/port")" ||
    exit 1
  python3 "$here/check_fixes.py" "$log" "$first" "$garmin.chk" TCP
  ;;
serial)
  socat "PTY,link=$work/gps-in,raw,echo=0" "PTY,link=$work/gps-dev,raw,echo=0" & pids+=($!)
  for _ in $(seq 50); do [[ -e "$work/gps-dev" ]] && break; sleep 0.1; done
  ln -sfn "$work/gps-dev" "$WINEPREFIX/dosdevices/com7"
  first="$(next_line)"
  timeout 60 wine "$feed" --name SERIAL --baud 4800 --max-connects 1 --idle-timeout 3 COM7 \
    > "$work/serial.out" 2>&1 &
  feed_pid=$!
  # The receiver talks once the port is open: wait for the host's first
  # request (the feed's handshake), then send the log at line pace.
  for _ in $(seq 100); do host_log_has "$log" recv 'F|0' && break; sleep 0.1; done
  sleep 0.5
  python3 - "$garmin" "$work/gps-in" <<'PY'
import sys, time
with open(sys.argv[2], "w", encoding="latin-1") as port:
    for line in open(sys.argv[1], encoding="latin-1"):
        port.write(line.rstrip("\r\n") + "\r\n")
        port.flush()
        time.sleep(0.005)
PY
  wait "$feed_pid" || { cat "$work/serial.out"; exit 1; }
  cat "$work/serial.out"
  python3 "$here/check_fixes.py" "$log" "$first" "$garmin.chk" SERIAL
  ;;
gpsd)
  port="$(free_port)"
  # gpsfake starts its own gpsd (-N, in the foreground, on the port) and
  # serves it the log over a pty, once (-1). It does not wait for a client,
  # so it single-steps (-l -i) on a fifo that stays silent until the feed
  # is watching.
  mkfifo "$work/go"
  # In a session of its own, so that its gpsd ends with it.
  setsid timeout -s KILL 60 gpsfake -1 -l -i -q -P "$port" -c 0.05 "$garmin" \
    < "$work/go" > "$work/gpsfake.out" 2>&1 &
  groups+=($!)
  exec 3> "$work/go"
  # Listening yet? A bare connection is harmless: nothing plays before
  # the fifo speaks.
  for _ in $(seq 100); do
    (exec 4<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  first="$(next_line)"
  timeout 60 wine "$feed" --name GPSD --max-connects 1 --idle-timeout 3 \
    "gpsd://127.0.0.1:$port" > "$work/gpsd.out" 2>&1 &
  feed_pid=$!
  # The feed connects right after its handshake with the host.
  for _ in $(seq 100); do host_log_has "$log" recv 'F|0' && break; sleep 0.1; done
  sleep 1.5
  for _ in $(seq 200); do echo; done >&3
  exec 3>&-
  wait "$feed_pid" || { cat "$work/gpsd.out"; exit 1; }
  cat "$work/gpsd.out"
  python3 "$here/check_fixes.py" "$log" "$first" "$garmin.chk" GPSD
  ;;
failures)
  # The host stalls 10 s on fix 1, which times out, so fixes 2 and 3 find
  # its answer still owed (busy, nothing sent); the set-up after the third
  # silent call waits for that answer and shakes hands; fix 4 is refused.
  # The feed counts each by status, delivers the rest, and exits 1.
  cat > "$HOST_DIR/orvek-host.faults" <<'FAULTS'
when=E|$AAGGAM,,3238.914,N,10822.446, stall 10000
when=E|$AAGGAM,,3238.913,N,10822.451, reply E|refused
FAULTS
  run_feed --fast --name FAIL "$garmin" > "$work/failures.out"
  rc=$?
  cat "$work/failures.out"
  expect() {
    grep -qF -- "$1" "$work/failures.out" || { echo "MISSING: $1"; exit 1; }
  }
  [[ $rc -eq 1 ]] || { echo "exit $rc, expected 1"; exit 1; }
  expect "fixes sent: 7, delivered 3, failed 4"
  expect "failed with E_TIMEOUT (7): 1"
  expect "failed with E_READ_REPLY (9): 1"
  expect "failed with E_BUSY (14): 2"
  expect "host link set up again: 1 times"
  # Only fixes 1 and 4 to 7 reach the host, the new set-up's handshake
  # between them.
  host_log details "$log" recv | grep '^[EF]|' | cut -c1 | tr -d '\n' | grep -q 'FEFEEEE$' ||
    { echo "requests in the wrong order"; exit 1; }
  ;;
bounds)
  timeout 30 wine "$feed" -V > "$work/version.out" 2>&1 &&
    grep -q '^orvek-feed [0-9.]*, OrvekPORT interface 3$' "$work/version.out" ||
    { cat "$work/version.out"; echo "-V: no version"; exit 1; }
  # --count bounds a loop; the summary's lines end in LF alone.
  run_feed --fast --loop --count 10 --name BOUND "$garmin" > "$work/count.out" || exit 1
  grep -q "fixes sent: 10, delivered 10" "$work/count.out" || { cat "$work/count.out"; exit 1; }
  ! grep -q $'\r' "$work/count.out" || { echo "CR in the output"; exit 1; }
  # A log with no usable sentence, and one whose epochs have no fix: exit
  # 4, and why.
  printf '$GPGSV,3,1,09,07,38,351,00,08,60,306,31,11,73,114,35,17,36,265,46*7C\nnoise\n' \
    > "$work/none.log"
  # tr737A+'s first two GGA: quality 0, the receiver has no fix yet.
  grep -E '^\$GPGGA,07173[34]\.929,' "$here/nmea/tr737A+.log" > "$work/nofix.log"
  for case in "none.log|no usable sentence: none of its 2 lines" \
              "nofix.log|no position fix: none of its 2 epochs"; do
    timeout 30 wine "$feed" --fast --quiet "$work/${case%%|*}" > "$work/nofix.out" 2>&1
    rc=$?
    [[ $rc -eq 4 ]] && grep -qF "${case#*|}" "$work/nofix.out" ||
      { cat "$work/nofix.out"; echo "${case%%|*}: exit $rc, expected 4 and why"; exit 1; }
  done
  # SIGTERM (as kill and timeout send it) ends an endless replay like
  # Ctrl-C: the summary is printed.
  timeout 60 wine "$feed" --loop --speed 10 --name TERM "$garmin" > "$work/term.out" 2>&1 &
  pids+=($!)
  feed_pid=""
  for _ in $(seq 100); do
    feed_pid="$(pgrep -f "^Z:.*orvek-feed.exe --loop --speed 10 --name TERM" | head -n 1)"
    [[ -n "$feed_pid" ]] && host_log details "$log" recv | grep -q ',TERM,' && break
    sleep 0.1
  done
  kill -TERM "$feed_pid"
  wait "${pids[-1]}"
  grep -q "orvek-feed summary (interrupted)" "$work/term.out" ||
    { cat "$work/term.out"; echo "SIGTERM: no summary"; exit 1; }
  ;;
*)
  echo "unknown step $step" >&2
  exit 2
  ;;
esac
