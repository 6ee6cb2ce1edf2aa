#!/usr/bin/env bash
# The tools as a shell script uses them, under Wine:
#   shell-tests.sh BUILD_DIR pipes   the client, the feed and the demo inside
#                                    $(...) and before "| tail", each starting
#                                    the emulator through the DLL: the shell
#                                    must get its pipe back when the program
#                                    ends, not when the emulator does
#   shell-tests.sh BUILD_DIR hints   the client's registry hint, run as the
#                                    user would copy it, makes init succeed
# Every run has a hard time bound; the emulators started here are closed.
set -uo pipefail
build="$(cd "$1" && pwd)"
step="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
# shellcheck source=../../scripts/wine-env.sh
. "$repo/scripts/wine-env.sh"
# shellcheck source=../../scripts/host-emulator.sh
. "$repo/scripts/host-emulator.sh"

client="$build/tools/orvekport/orvekport.exe"
feed="$build/tools/orvek-feed/orvek-feed.exe"
demo="$build/tools/orvek-demo/orvek-demo.exe"
work="$(mktemp -d)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Closes whatever emulator runs, through its window, and waits for it.
stop_host() { timeout 30 wine "$client" host stop >/dev/null 2>&1; }
trap 'stop_host; exec 5>&-; rm -rf "$work"' EXIT

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The wineserver that the first Wine program of a prefix starts keeps that
# program's error stream open as long as it runs, and it runs as long as the
# emulator does: it must not start inside a measured pipe. A cmd.exe reading
# commands from fd 5 keeps one running, started out here, until fd 5 closes.
keep_wineserver() {
  exec 5> >(exec timeout 150 wine cmd >/dev/null 2>&1)
  timeout 30 wine "$client" statuses >/dev/null 2>&1
}

# Runs "$@" (a Wine program) the way a script would, in SHAPE "subst"
# (x=$(... 2>&1)) or "pipe" (... 2>&1 | tail -n 1), and checks that the
# shell got the pipe back within 3 s of the program's end and that the
# program itself succeeded. The measured shell runs in the background so
# that a pipe held open can't hang this script: 30 s bound it.
measure() {
  local label="$1" shape="$2"
  shift 2
  rm -f "$work/ended" "$work/back" "$work/rc"
  if [[ $shape == subst ]]; then
    (
      out=$(timeout 20 "$@" 2>&1; echo $? >"$work/rc"; now_ms >"$work/ended")
      now_ms >"$work/back"
      printf '%s\n' "$out" >"$work/out"
    ) &
  else
    (
      { timeout 20 "$@" 2>&1; echo $? >"$work/rc"; now_ms >"$work/ended"; } |
        tail -n 1 >"$work/out"
      now_ms >"$work/back"
    ) &
  fi
  local shell_pid=$! _
  for _ in $(seq 300); do
    [[ -s "$work/back" ]] && break
    sleep 0.1
  done
  if [[ ! -s "$work/back" ]]; then
    kill "$shell_pid" 2>/dev/null
    fail "$label ($shape): the shell still waited for the pipe 30 s on"
  else
    local late=$(( $(cat "$work/back") - $(cat "$work/ended") ))
    echo "$label ($shape): program exit $(cat "$work/rc"), pipe back ${late} ms after its end"
    (( late <= 3000 )) || fail "$label ($shape): the pipe came back ${late} ms late"
    [[ "$(cat "$work/rc")" == 0 ]] || { cat "$work/out"; fail "$label ($shape): exit $(cat "$work/rc")"; }
  fi
  wait "$shell_pid" 2>/dev/null
  grep -q ' start pid ' "$HOST_DIR/orvek-host.log" ||
    fail "$label ($shape): the DLL did not start the emulator"
  stop_host
  rm -f "$HOST_DIR/orvek-host.log"
}

case "$step" in
pipes)
  keep_wineserver
  install_host_emulator "$build" shell-pipes
  stop_host
  for shape in subst pipe; do
    measure client "$shape" wine "$client" init
    measure feed "$shape" wine "$feed" --fast --quiet "$repo/tests/feed/nmea/garmin15x.log"
    measure demo "$shape" wine "$demo"
  done
  ;;
hints)
  # The registry view of this build's DLL: WOW6432Node for i686.
  view=64
  [[ "$(basename "$build")" == win32 ]] && view=32
  stop_host
  timeout 60 wine reg delete 'HKLM\SOFTWARE\OrvekGPS\General' /v Path_EXE /reg:$view /f \
    >/dev/null 2>&1
  timeout 30 wine "$client" init >"$work/out" 2>&1
  rc=$?
  hint="$(grep -o "[^ ]*wine[^ ]* reg add .*" "$work/out" | head -n 1)"
  [[ $rc == 4 && -n "$hint" ]] || { cat "$work/out"; fail "init without Path_EXE: exit $rc, no hint"; }
  # The hint names a placeholder path: the emulator goes there, and the hint
  # runs exactly as printed, through a shell.
  hint_dir="$WINEPREFIX/drive_c/path/to"
  mkdir -p "$hint_dir"
  cp "$build/tools/orvek-host/orvek-host.exe" "$hint_dir/host.exe"
  echo "running the hint: $hint"
  # As a user's shell would, without the 64-bit `wine` that wine-env.sh puts
  # on PATH where 32-bit Wine can't run.
  user_path="${PATH//$repo\/scripts\/wine64:/}"
  PATH="$user_path" timeout 60 bash -c "$hint" >/dev/null 2>&1 || fail "the hint failed: $hint"
  timeout 30 wine "$client" init >"$work/out" 2>&1 || { cat "$work/out"; fail "init after the hint"; }
  stop_host
  timeout 60 wine reg delete 'HKLM\SOFTWARE\OrvekGPS\General' /v Path_EXE /reg:$view /f \
    >/dev/null 2>&1
  rm -rf "$WINEPREFIX/drive_c/path"
  ;;
*)
  echo "unknown step $step" >&2
  exit 2
  ;;
esac
((failures == 0)) && echo "$step: passed"
((failures == 0))
