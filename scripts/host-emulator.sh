#!/usr/bin/env bash
# Installs the host emulator for the demo and the benchmark; source it after
# scripts/wine-env.sh.
#
#   install_host_emulator BUILD_DIR NAME   # sets HOST_DIR and HOST_PATH
#   stop_host_emulator                     # closes it; it logs its stop
#   host_log COMMAND LOG ...               # reads its log (tools/common/host_log.py)
#   host_log_has LOG EVENT [PREFIX...]     # true when the log has such a line

_orvek_host_log_py="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tools/common/host_log.py"
host_log() { python3 "$_orvek_host_log_py" "$@"; }
host_log_has() { (( $(host_log count "$@") > 0 )); }

# Copies BUILD_DIR's orvek-host.exe into a fresh BUILD_DIR/NAME and points
# Path_EXE at it. The library reads at most ORVEKPORT_HOST_PATH_MAX
# characters of Path_EXE, so a long checkout path falls back to a short
# folder on the prefix's drive C:.
install_host_emulator() {
  local build="$1" name="$2"
  HOST_DIR="$build/$name"
  HOST_PATH="$(winepath -w "$HOST_DIR/orvek-host.exe" 2>/dev/null)"
  local max_path
  max_path="$(sed -n 's/^#define ORVEKPORT_HOST_PATH_MAX \([0-9]*\)$/\1/p' \
    "$(dirname "${BASH_SOURCE[0]}")/../include/OrvekPORT/OrvekPORT.h")"
  if (( ${#HOST_PATH} > max_path )); then
    HOST_DIR="$WINEPREFIX/drive_c/$name"
    HOST_PATH="C:\\$name\\orvek-host.exe"
  fi
  rm -rf "$HOST_DIR"
  mkdir -p "$HOST_DIR"
  cp "$build/tools/orvek-host/orvek-host.exe" "$HOST_DIR/"
  # /reg:64: the 64-bit view the DLL reads, whichever reg.exe Wine runs.
  timeout 120 wine reg add 'HKLM\SOFTWARE\OrvekGPS\General' /v Path_EXE \
    /d "$HOST_PATH" /reg:64 /f >/dev/null
  export HOST_DIR HOST_PATH
}

# Closes the emulator that HOST_DIR's log last saw start (taskkill without
# /f sends WM_CLOSE), by its Windows process id: in a WoW64 prefix `wine
# taskkill` is the 32-bit one, which can't find a 64-bit program by its
# name. Then waits up to 5 s for that process's stop line. Nothing to do
# when no emulator started there.
stop_host_emulator() {
  local log="$HOST_DIR/orvek-host.log" pid _
  pid="$(host_log last-start "$log" || true)"
  [[ -n "$pid" ]] || return 0
  # Callers may run under set -e: an emulator already gone is no failure.
  timeout 30 wine taskkill /pid "$pid" >/dev/null 2>&1 || true
  for _ in $(seq 50); do
    host_log stopped "$log" "$pid" && return 0
    sleep 0.1
  done
  return 0
}
