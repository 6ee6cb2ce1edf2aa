#!/usr/bin/env bash
# Replays every receiver log with --fast into one host emulator and checks
# what the emulator received against gpsd's decoding of the log (.chk).
# A log without a .chk (hp58534a) must still give fixes and exit 0.
#   tests/feed/replay-logs.sh BUILD_DIR
# Needs scripts/wine-env.sh and scripts/host-emulator.sh sourced.
set -uo pipefail
build="$1"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
feed="$build/tools/orvek-feed/orvek-feed.exe"
failures=0
for log in "$here"/nmea/*.log; do
  name="$(basename "$log" .log)"
  first=$(( $(wc -l < "$HOST_DIR/orvek-host.log" 2>/dev/null || echo 0) + 1 ))
  out="$(timeout 60 wine "$feed" --fast --quiet --name REPLAY "$log")"
  rc=$?
  if (( rc != 0 )); then
    echo "FAIL $name: orvek-feed exit $rc"; echo "$out"; failures=$((failures + 1)); continue
  fi
  if [[ -f "$log.chk" ]]; then
    python3 "$here/check_fixes.py" "$HOST_DIR/orvek-host.log" "$first" "$log.chk" REPLAY ||
      failures=$((failures + 1))
  else
    sent="$(sed -n 's/.*fixes sent: \([0-9]*\).*/\1/p' <<<"$out")"
    echo "$name.log: no gpsd decoding; $sent fixes delivered"
    [[ "${sent:-0}" -gt 0 ]] || failures=$((failures + 1))
  fi
done
exit $(( failures > 0 ))
