#!/usr/bin/env bash
# Installs a Windows build of OrvekPORT into a fresh prefix, builds the
# consumer in tests/package/consumer against it (find_package) and against
# the source tree (add_subdirectory), checks that the latter built the
# library only, and runs both under Wine against the host emulator.
#
#   run.sh BUILD_DIR TOOLCHAIN_FILE WORK_DIR
set -euo pipefail

build="$1" toolchain="$2" work="$3"
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
consumer="$repo/tests/package/consumer"
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "package test: $*" >&2
  exit 1
}

echo "-- install into $work/prefix"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/OrvekPORT.dll lib/libOrvekPORT.dll.a \
            include/OrvekPORT/OrvekPORT.h \
            lib/cmake/OrvekPORT/OrvekPORTConfig.cmake \
            lib/cmake/OrvekPORT/OrvekPORTConfigVersion.cmake \
            share/doc/OrvekPORT/LICENSE; do
  [[ -f "$work/prefix/$file" ]] || fail "$file was not installed"
done

echo "-- consumer through find_package"
cmake -S "$consumer" -B "$work/package" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$work/prefix" \
  >/dev/null
cmake --build "$work/package" >/dev/null

echo "-- consumer through add_subdirectory"
cmake -S "$consumer" -B "$work/subdirectory" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCONSUMER_MODE=subdirectory \
  -DORVEKPORT_SOURCE_DIR="$repo" >/dev/null
cmake --build "$work/subdirectory" -j 2 >/dev/null
extra="$(find "$work/subdirectory" -path '*/CMakeFiles' -prune -o \
  -name '*.exe' ! -name consumer.exe -print)"
[[ -z $extra ]] || fail "add_subdirectory built more than the library: $extra"

# shellcheck source=../../scripts/wine-env.sh
. "$repo/scripts/wine-env.sh"
# shellcheck source=../../scripts/host-emulator.sh
. "$repo/scripts/host-emulator.sh"
install_host_emulator "$build" package-host
# The wineserver and the emulator the consumers start would hold ctest's
# output pipe open: nothing of this prefix outlives the test.
trap 'stop_host_emulator; wine_stop' EXIT
for kind in package subdirectory; do
  echo "-- run the $kind consumer"
  output="$(timeout 60 wine "$work/$kind/consumer.exe")" ||
    fail "the $kind consumer exited with $?: $output"
  echo "$output"
  [[ $output == *"result orvek-host 3"* ]] || fail "unexpected output: $output"
done
echo "package test: passed"
