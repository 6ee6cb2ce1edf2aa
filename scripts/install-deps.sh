#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when any
# is missing; does nothing when all are present. Run as root.
#
# 32-bit Wine (wine32:i386, through dpkg's i386 architecture) is installed
# on its own, and only where the machine executes 32-bit programs
# (scripts/machine-32bit.sh; never with ORVEK_NO_32BIT=1): elsewhere it
# could not start, and Debian's `wine` would pick it all the same. When its
# install fails, the failure and apt's words go to $ORVEK_WINE32_ERROR_FILE
# (default build/wine32-install-error.txt) and the script still succeeds,
# so that everything else, the 64-bit Wine run included, goes ahead;
# test-all.sh then says so in its closing note.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=machine-32bit.sh
. "$repo/scripts/machine-32bit.sh"
wine32_error_file="${ORVEK_WINE32_ERROR_FILE:-$repo/build/wine32-install-error.txt}"

# clang-14 compiles the DLL's sources for ARM, and with libclang-rt-14-dev
# builds the fuzz harnesses.
packages=(cmake ninja-build g++ mingw-w64 wine wine64 googletest
          libgtest-dev libbenchmark-dev clang-14 libclang-rt-14-dev
          # The position feed: its JSON reader, zlib for the emulator's PNG
          # (Windows and native), and the receivers of its live tests.
          nlohmann-json3-dev libz-mingw-w64-dev zlib1g-dev python3 gpsd
          gpsd-clients socat
          # The release archive: MSVC import libraries (llvm-dlltool), the
          # MSVC-ABI consumers (lld-link), the API reference, unpacking.
          llvm-14 lld-14 doxygen unzip
          # The independent reader and writer of the GPX tests.
          gpsbabel)
wine32=wine32:i386

installed() {
  [[ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" == "install ok installed" ]]
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
need_wine32=0
rm -f "$wine32_error_file"
if ! installed "$wine32"; then
  if orvek_runs_32bit; then
    need_wine32=1
  else
    echo "install-deps: $ORVEK_32BIT_REASON: $wine32 is left out"
  fi
fi
if [[ ${#missing[@]} -eq 0 && $need_wine32 -eq 0 ]]; then
  echo "install-deps: all packages present"
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing ${missing[*]} $( ((need_wine32)) && echo "$wine32"); run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "install-deps: installing ${missing[*]}"
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi

if ((need_wine32)); then
  echo "install-deps: installing $wine32"
  log="$(mktemp)"
  if ! { dpkg --print-foreign-architectures | grep -qx i386 ||
           dpkg --add-architecture i386; } >"$log" 2>&1 ||
     ! apt-get update -q >>"$log" 2>&1 ||
     ! apt-get install -y -q "$wine32" >>"$log" 2>&1; then
    mkdir -p "$(dirname "$wine32_error_file")"
    { echo "$wine32 could not be installed; apt said:"; tail -n 15 "$log"; } >"$wine32_error_file"
    cat "$wine32_error_file" >&2
  fi
  rm -f "$log"
fi
