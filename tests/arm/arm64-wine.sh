#!/usr/bin/env bash
# The ARM64 Wine of Debian's arm64 packages, run on this x86_64 machine by
# qemu-user-static. Source it and call arm64_wine_enter (then run
# "$ARM64_WINE_ROOT/usr/lib/wine/wine64" PROGRAM) and arm64_wine_leave, or
# run it as "arm64-wine.sh prepare" to only make everything ready (test-all
# does that in the background early on).
#
# - The packages (wine64, libwine and the few libraries they load) are
#   fetched with a private apt configuration for arm64, never adding an
#   architecture to the machine, and unpacked into a root folder. Both stay
#   in a machine-wide cache, $ORVEK_ARM64_WINE_CACHE (default
#   /var/cache/orvekport/arm64-wine), so that later runs and checkouts
#   download nothing; an empty cache is filled again.
# - binfmt_misc runs ARM64 programs through qemu-aarch64-static with that
#   root as their library root. The registration is machine-wide: it has a
#   name of this process's own (orvekport-aarch64-PID) and goes again on
#   every way out; one left by a run that was killed is removed by the next.
# - The prefix, $ORVEK_ARM64_WINEPREFIX (default build/wineprefix-arm64), is
#   made once with the null graphics driver and without a crash debugger.
#
# When this machine can't do it (not root, binfmt_misc can't be mounted, the
# packages can't be had), arm64_wine_enter prints one line saying why and
# returns 1 with ARM64_WINE_SKIP=0: the caller skips. Other failures are
# failures (ARM64_WINE_SKIP=1).
_arm64_repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
ARM64_WINE_CACHE="${ORVEK_ARM64_WINE_CACHE:-/var/cache/orvekport/arm64-wine}"
ARM64_WINE_ROOT="$ARM64_WINE_CACHE/root"
ARM64_WINE_SKIP=1
_arm64_binfmt=/proc/sys/fs/binfmt_misc
_arm64_entry="orvekport-aarch64-$$"
_arm64_packages=(wine64 libwine libc6 libgcc-s1 libunwind8 liblzma5)
# aarch64 ELF programs: the ELF header's class, data, version and machine.
_arm64_magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
_arm64_mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

_arm64_cannot() {
  echo "ARM64: not run: $*"
  ARM64_WINE_SKIP=0
  return 1
}

_arm64_binfmt_register() {
  [[ $(id -u) -eq 0 ]] || { _arm64_cannot "registering qemu with binfmt_misc needs root"; return 1; }
  command -v qemu-aarch64-static >/dev/null ||
    { _arm64_cannot "qemu-aarch64-static is missing (package qemu-user-static)"; return 1; }
  if [[ ! -e $_arm64_binfmt/register ]] &&
     ! mount -t binfmt_misc binfmt_misc "$_arm64_binfmt" 2>/dev/null; then
    _arm64_cannot "binfmt_misc can't be mounted here"
    return 1
  fi
  local entry
  for entry in "$_arm64_binfmt"/orvekport-aarch64-*; do
    [[ -e $entry ]] && ! kill -0 "${entry##*-}" 2>/dev/null && echo -1 >"$entry"
  done
  # F: qemu is opened now, so it serves in every mount namespace.
  printf ':%s:M::%s:%s:%s:F\n' "$_arm64_entry" "$_arm64_magic" "$_arm64_mask" \
    "$(command -v qemu-aarch64-static)" >"$_arm64_binfmt/register" 2>/dev/null ||
    { _arm64_cannot "binfmt_misc refused the registration"; return 1; }
}

_arm64_binfmt_remove() {
  [[ -e $_arm64_binfmt/$_arm64_entry ]] && echo -1 >"$_arm64_binfmt/$_arm64_entry"
  return 0
}

# Fetches and unpacks the packages into the cache's root, unless it is there.
_arm64_root() {
  [[ -f $ARM64_WINE_ROOT/.orvek-root-ready ]] && return 0
  local cache="$ARM64_WINE_CACHE" apt="$ARM64_WINE_CACHE/apt" source
  mkdir -p "$apt/lists/partial" "$apt/archives/partial" "$apt/sources.list.d" \
    "$apt/preferences.d" "$cache/debs"
  if ! ls "$cache"/debs/*.deb >/dev/null 2>&1 || [[ ! -f $cache/debs/.complete ]]; then
    : >"$apt/status"
    : >"$apt/sources.list"
    # The machine's own Debian sources, read for arm64.
    for source in /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
                  /etc/apt/sources.list.d/*.sources; do
      [[ -f $source ]] && grep -qi debian "$source" && cp "$source" "$apt/sources.list.d/"
    done
    cat >"$apt/apt.conf" <<EOF
Dir::State "$apt";
Dir::State::status "$apt/status";
Dir::Cache "$apt";
Dir::Etc::SourceList "$apt/sources.list";
Dir::Etc::SourceParts "$apt/sources.list.d";
Dir::Etc::Preferences "$apt/preferences";
Dir::Etc::PreferencesParts "$apt/preferences.d";
APT::Architecture "arm64";
APT::Architectures { "arm64"; };
APT::Sandbox::User "root";
EOF
    rm -f "$cache"/debs/*.deb "$cache/debs/.complete"
    APT_CONFIG="$apt/apt.conf" apt-get -q update >"$cache/apt.log" 2>&1 &&
      (cd "$cache/debs" && APT_CONFIG="$apt/apt.conf" apt-get -q download \
         "${_arm64_packages[@]}" >>"$cache/apt.log" 2>&1) ||
      { _arm64_cannot "the arm64 Wine packages can't be had: $(grep -E '^(E|W):' "$cache/apt.log" | head -n 1)"; return 1; }
    touch "$cache/debs/.complete"
  fi
  rm -rf "$ARM64_WINE_ROOT.new"
  local deb
  for deb in "$cache"/debs/*.deb; do dpkg-deb -x "$deb" "$ARM64_WINE_ROOT.new"; done
  # The root's wineserver is a script that starts the machine's own x86_64
  # server, which refuses ARM64 clients: the ARM64 one takes its place.
  cp "$ARM64_WINE_ROOT.new/usr/lib/wine/wineserver64" "$ARM64_WINE_ROOT.new/usr/lib/wine/wineserver"
  ls "$cache"/debs/*.deb | xargs -n 1 basename >"$ARM64_WINE_ROOT.new/.orvek-root-ready"
  rm -rf "$ARM64_WINE_ROOT"
  mv "$ARM64_WINE_ROOT.new" "$ARM64_WINE_ROOT"
}

_arm64_prefix() {
  local marker="$WINEPREFIX/.orvek-prefix-ready" wine="$ARM64_WINE_ROOT/usr/lib/wine/wine64"
  cmp -s "$marker" "$ARM64_WINE_ROOT/.orvek-root-ready" && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 300 "$wine" wineboot -i >"$WINEPREFIX.log" 2>&1 ||
    { echo "FAIL: ARM64: wineboot -i: $(tail -n 3 "$WINEPREFIX.log")"; return 1; }
  # Windows without a display, and a crash that ends the program instead of
  # waiting in winedbg.
  printf '%s\r\n' 'REGEDIT4' '' '[HKEY_CURRENT_USER\Software\Wine\Drivers]' \
    '"Graphics"="null"' '' \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
    '"Debugger"="no-crash-debugger.exe %ld %ld"' '"Auto"="1"' \
    >"$WINEPREFIX/drive_c/orvek-settings.reg"
  timeout 120 "$wine" regedit /S 'C:\orvek-settings.reg' >>"$WINEPREFIX.log" 2>&1 ||
    { echo "FAIL: ARM64: the prefix's settings: $(tail -n 3 "$WINEPREFIX.log")"; return 1; }
  timeout 60 "$ARM64_WINE_ROOT/usr/lib/wine/wineserver" -w || true
  cp "$ARM64_WINE_ROOT/.orvek-root-ready" "$marker"
}

# Everything ready and registered; on failure, nothing left registered.
arm64_wine_enter() {
  export WINEPREFIX="${ORVEK_ARM64_WINEPREFIX:-$_arm64_repo/build/wineprefix-arm64}"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" QEMU_LD_PREFIX="$ARM64_WINE_ROOT"
  unset DISPLAY WINESERVER WINELOADER WINEARCH
  _arm64_binfmt_register || return 1
  mkdir -p "$ARM64_WINE_CACHE"
  # One run at a time fills the machine-wide cache.
  { flock 9 && _arm64_root; } 9>"$ARM64_WINE_CACHE/.lock" && _arm64_prefix ||
    { arm64_wine_leave; return 1; }
}

# Ends this prefix's Wine processes, then the registration.
arm64_wine_leave() {
  if [[ -x $ARM64_WINE_ROOT/usr/lib/wine/wineserver && -d ${WINEPREFIX:-} ]]; then
    timeout 30 "$ARM64_WINE_ROOT/usr/lib/wine/wineserver" -k 2>/dev/null || true
    timeout 30 "$ARM64_WINE_ROOT/usr/lib/wine/wineserver" -w 2>/dev/null || true
  fi
  _arm64_binfmt_remove
}

if [[ "${BASH_SOURCE[0]}" == "$0" ]]; then
  set -euo pipefail
  [[ ${1:-} == prepare ]] || { echo "usage: arm64-wine.sh prepare" >&2; exit 2; }
  trap arm64_wine_leave EXIT
  trap 'exit 143' INT TERM
  root_state="from the cache"
  [[ -f $ARM64_WINE_ROOT/.orvek-root-ready ]] || root_state="downloaded and unpacked"
  arm64_wine_enter || exit "$ARM64_WINE_SKIP"
  echo "ARM64: Wine ready in $SECONDS s (packages $root_state; prefix $WINEPREFIX)"
fi
