#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when any
# is missing; does nothing when all are present. Run as root.
set -euo pipefail

# wine32:i386 runs the i686 DLL and its tests in the 64-bit prefix (WoW64);
# clang-14 compiles the DLL's sources for ARM, and with libclang-rt-14-dev
# builds the fuzz harnesses.
packages=(cmake ninja-build g++ mingw-w64 wine wine64 wine32:i386 googletest
          libgtest-dev libbenchmark-dev clang-14 libclang-rt-14-dev
          # The position feed: its JSON reader, zlib for the emulator's PNG
          # (Windows and native), and the receivers of its live tests.
          nlohmann-json3-dev libz-mingw-w64-dev zlib1g-dev python3 gpsd
          gpsd-clients socat)

missing=()
for package in "${packages[@]}"; do
  status="$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)"
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
if [[ ${#missing[@]} -eq 0 ]]; then
  echo "install-deps: all packages present"
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "install-deps: missing ${missing[*]}; run as root to install them" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# wine32 comes from the i386 architecture, which must be known to dpkg.
if [[ " ${missing[*]} " == *":i386 "* ]] &&
    ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
apt-get install -y -q "${missing[@]}"
