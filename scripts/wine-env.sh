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
# check a marker file and return at once.
#
# Where 32-bit Wine can't run (scripts/machine-32bit.sh asks the machine;
# ORVEK_NO_32BIT=1 says so anywhere), `wine`, `wineboot`, `winepath` and
# `wine reg` run through the 64-bit loader: scripts/wine64 comes first on
# PATH and WINELOADER names that loader. The marker records whether 32-bit
# Wine ran when the prefix was made: a prefix made without it can't run
# 32-bit programs ("could not load kernel32.dll") and is made again once it
# can; one made with it serves the 64-bit loader alone as well.

_orvek_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$_orvek_repo/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No prompts to install Mono or Gecko: the tests need neither.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# A 64-bit prefix; with 32-bit Wine it runs 32-bit programs too (WoW64).
export WINEARCH=win64

# shellcheck source=machine-32bit.sh
. "$_orvek_repo/scripts/machine-32bit.sh"
if orvek_wine32_usable; then
  _orvek_wine32=yes
else
  _orvek_wine32=no
  export ORVEK_WINE64_LOADER="${ORVEK_WINE64_LOADER:-/usr/lib/wine/wine64}"
  export WINELOADER="$ORVEK_WINE64_LOADER"
  case ":$PATH:" in
    *":$_orvek_repo/scripts/wine64:"*) ;;
    *) export PATH="$_orvek_repo/scripts/wine64:$PATH" ;;
  esac
fi

# Ends the wineserver of this prefix (and every Wine process in it).
wine_stop() {
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  WINEPREFIX="$WINEPREFIX" wineserver -w 2>/dev/null || true
}

_orvek_wine32_state() {
  # The settings' version follows: a prefix made with older settings is made
  # again.
  echo "wine32=$_orvek_wine32 settings=2"
}

_orvek_wine_prefix_ready() {
  local marker="$WINEPREFIX/.orvek-prefix-ready" state
  state="$(_orvek_wine32_state)"
  if [[ -f "$marker" ]]; then
    local made
    made="$(cat "$marker")"
    [[ "$made" == "$state" || ( "$made" == "wine32=yes settings=2" &&
       "$state" == "wine32=no settings=2" ) ]] && return 0
  fi
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
