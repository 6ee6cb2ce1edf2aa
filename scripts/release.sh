#!/usr/bin/env bash
# Builds the x86_64, i686 and ARM64 presets (win64, win32, winarm64:
# MinSizeRel, the builds whose DLL sizes the table checks measure) and
# writes the SDK archive dist/OrvekPORT-<version>.zip:
#
#   OrvekPORT-<version>/
#     README.md  LICENSE
#     include/OrvekPORT/OrvekPORT.h
#     cmake/                      package config: picks x64/, x86/ or arm64/
#     doc/reference/index.html    the API reference
#     doc/orvek-host.md           the emulator's manual
#     examples/                   the quick-start program, a sample GPX file
#                                 and a receiver log with its licence
#     x64/ and x86/
#       bin/  OrvekPORT.dll orvek-host.exe orvekport.exe orvek-feed.exe
#       lib/  OrvekPORT.lib (MSVC) libOrvekPORT.dll.a (mingw) OrvekPORT.def
#             cmake/OrvekPORT/
#     arm64/                      the same without the tools (Windows on
#                                 ARM runs the x64 ones emulated)
#
# ORVEK_BUILD_ROOT puts the build directories elsewhere (as for
# test-all.sh, which builds both presets and then calls this), ORVEK_DIST_DIR
# the archive (default dist/). Prints the archive's path last.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
build_root="${ORVEK_BUILD_ROOT:-$repo/build}"
dist="${ORVEK_DIST_DIR:-$repo/dist}"
jobs="${ORVEK_JOBS:-2}"

if [[ -z ${ORVEK_DEPS_CHECKED:-} ]]; then
  ORVEK_WINE32_ERROR_FILE="${ORVEK_WINE32_ERROR_FILE:-$build_root/wine32-install-error.txt}" \
    bash scripts/install-deps.sh
fi

# A build that is up to date is only checked, so the archive's DLLs are the
# very files the tests ran and measured.
for preset in win64 win32 winarm64; do
  if [[ ! -f $build_root/$preset/CMakeCache.txt ]]; then
    cmake --preset "$preset" -B "$build_root/$preset"
  fi
  cmake --build "$build_root/$preset" -j "$jobs"
done

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_root/win64/CMakeCache.txt")"
[[ -n $version ]] || { echo "release: no project version in $build_root/win64" >&2; exit 1; }
name="OrvekPORT-$version"
work="$build_root/release"
stage="$work/$name"
rm -rf "$work"
mkdir -p "$stage" "$dist"

echo "-- staging $name"
cmake --install "$build_root/win64" --prefix "$stage/x64" >/dev/null
cmake --install "$build_root/win32" --prefix "$stage/x86" >/dev/null
cmake --install "$build_root/winarm64" --prefix "$stage/arm64" >/dev/null
# One header and one licence for both: the package configs look for the
# header beside their architecture's folder.
mv "$stage/x64/include" "$stage/include"
for arch in x86 arm64; do
  cmp "$stage/include/OrvekPORT/OrvekPORT.h" "$stage/$arch/include/OrvekPORT/OrvekPORT.h"
done
mv "$stage/x64/share/doc/OrvekPORT/LICENSE" "$stage/LICENSE"
rm -r "$stage/x86/include" "$stage/arm64/include" "$stage/x64/share" \
  "$stage/x86/share" "$stage/arm64/share"
mkdir -p "$stage/cmake"
cp "$build_root/win64/release/OrvekPORTConfig.cmake" \
   "$build_root/win64/release/OrvekPORTConfigVersion.cmake" "$stage/cmake/"

echo "-- API reference"
bash tests/checks/check-api-reference.sh "$repo" "$work/reference"
mkdir -p "$stage/doc"
cp -r "$work/reference/html" "$stage/doc/reference"
cp tools/orvek-host/README.md "$stage/doc/orvek-host.md"
# The README's status table is the one the reference made from the header.
readme="$(sed "s/@VERSION@/$version/g" docs/release-README.md)"
printf '%s\n' "${readme/@STATUS_TABLE@/"$(cat "$work/reference/status-table.md")"}" \
  >"$stage/README.md"
mkdir -p "$stage/examples"
cp examples/quickstart.c examples/waypoints.gpx tests/feed/nmea/garmin15x.log \
  "$stage/examples/"
cp tests/feed/nmea/COPYING "$stage/examples/garmin15x.log.COPYING"

for arch in x64 x86; do
  for file in bin/OrvekPORT.dll bin/orvek-host.exe bin/orvekport.exe \
              bin/orvek-feed.exe lib/OrvekPORT.lib lib/libOrvekPORT.dll.a \
              lib/OrvekPORT.def lib/cmake/OrvekPORT/OrvekPORTConfig.cmake; do
    [[ -f $stage/$arch/$file ]] || { echo "release: $arch/$file missing" >&2; exit 1; }
  done
done
for file in bin/OrvekPORT.dll lib/OrvekPORT.lib lib/libOrvekPORT.dll.a \
            lib/OrvekPORT.def lib/cmake/OrvekPORT/OrvekPORTConfig.cmake; do
  [[ -f $stage/arm64/$file ]] || { echo "release: arm64/$file missing" >&2; exit 1; }
done
! grep -n '@[A-Z_]*@' "$stage/README.md" ||
  { echo "release: README.md has a placeholder left" >&2; exit 1; }
cmp "$stage/x64/bin/OrvekPORT.dll" "$build_root/win64/OrvekPORT/OrvekPORT.dll"
cmp "$stage/x86/bin/OrvekPORT.dll" "$build_root/win32/OrvekPORT/OrvekPORT.dll"
cmp "$stage/arm64/bin/OrvekPORT.dll" "$build_root/winarm64/OrvekPORT/OrvekPORT.dll"

archive="$dist/$name.zip"
# Every entry dated by the last commit, not by when this run copied it.
stamp="$(TZ=UTC git -C "$repo" log -1 --format=%cd \
  --date=format-local:'%Y-%m-%d %H:%M:%S' 2>/dev/null || date -u '+%F %T')"
(cd "$work" && find "$name" -type f | LC_ALL=C sort >files.txt &&
   cmake -E tar cf "$archive.part" --format=zip --mtime="$stamp" \
     --files-from=files.txt)
mv "$archive.part" "$archive"
printf -- '-- DLL sizes: x64 %s bytes, x86 %s bytes, arm64 %s bytes\n' \
  "$(stat -c %s "$stage/x64/bin/OrvekPORT.dll")" \
  "$(stat -c %s "$stage/x86/bin/OrvekPORT.dll")" \
  "$(stat -c %s "$stage/arm64/bin/OrvekPORT.dll")"
printf -- '-- %s files, %s bytes\n' "$(wc -l <"$work/files.txt")" "$(stat -c %s "$archive")"
echo "$archive"
