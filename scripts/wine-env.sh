#!/usr/bin/env bash
# The Wine environment of the tests: source it to get a ready prefix, or run
# it with a command to run that command inside the environment:
#   . scripts/wine-env.sh            # exports, prefix ready, wine_stop defined
#   scripts/wine-env.sh wine foo.exe # the same, then runs the command
#
# WINEPREFIX defaults to <repo>/build/wineprefix unless already set. The
# prefix is made once (wineboot -i) with the null graphics driver, so that
# windows exist without a display, and without a working crash debugger, so
# that a crashing program ends instead of waiting in winedbg. Later calls only
# check a marker file and return at once. The marker records whether 32-bit
# Wine (wine32:i386) was installed when the prefix was made: a prefix made
# without it can't run 32-bit programs ("could not load kernel32.dll") and is
# made again once wine32 is there.

_orvek_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$_orvek_repo/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to install Mono or Gecko: the tests need neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# A 64-bit prefix; with wine32 installed it runs 32-bit programs too (WoW64).
export WINEARCH=win64

# Ends the wineserver of this prefix (and every Wine process in it).
wine_stop() {
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  WINEPREFIX="$WINEPREFIX" wineserver -w 2>/dev/null || true
}

_orvek_wine32_state() {
  local status
  status="$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null || true)"
  local wine32=no
  [[ "$status" == "install ok installed" ]] && wine32=yes
  # The settings' version follows: a prefix made with older settings is made
  # again.
  echo "wine32=$wine32 settings=2"
}

_orvek_wine_prefix_ready() {
  local marker="$WINEPREFIX/.orvek-prefix-ready" state
  state="$(_orvek_wine32_state)"
  [[ -f "$marker" && "$(cat "$marker")" == "$state" ]] && return 0
  if [[ -d "$WINEPREFIX" ]]; then
    echo "wine-env: prefix $WINEPREFIX was made with another Wine ($state now); making it again" >&2
    wine_stop
    rm -rf "$WINEPREFIX"
  fi
  echo "wine-env: creating prefix $WINEPREFIX ($state)" >&2
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 300 wineboot -i >/dev/null 2>&1 || {
    echo "wine-env: wineboot -i failed" >&2
    return 1
  }
  # The crash debugger is a program that does not exist, started without
  # asking (Auto 1), in the 64-bit and the 32-bit view: a crash then ends the
  # process at once. An empty Debugger value is not enough: 64-bit programs
  # fall back to winedbg --auto, which hangs here.
  local aedebug='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' view
  timeout 120 wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || {
    echo "wine-env: registry settings failed" >&2
    return 1
  }
  for view in 64 32; do
    timeout 120 wine reg add "$aedebug" /v Debugger /d 'no-crash-debugger.exe %ld %ld' \
      /reg:$view /f >/dev/null 2>&1 &&
      timeout 120 wine reg add "$aedebug" /v Auto /d 1 /reg:$view /f >/dev/null 2>&1 || {
      echo "wine-env: registry settings failed" >&2
      return 1
    }
  done
  # Let the wineserver write the registry out before anyone else starts.
  WINEPREFIX="$WINEPREFIX" timeout 120 wineserver -w || true
  echo "$state" >"$marker"
}

if [[ "${BASH_SOURCE[0]}" != "$0" ]]; then
  _orvek_wine_prefix_ready
else
  set -euo pipefail
  _orvek_wine_prefix_ready
  [[ $# -gt 0 ]] && exec "$@"
fi
