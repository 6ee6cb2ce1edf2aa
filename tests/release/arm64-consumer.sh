#!/usr/bin/env bash
# The archive's arm64/ as a developer for Windows on ARM uses it (run.sh
# calls this): find_package from a clang-14 ARM64 build picks arm64/, and
# arm64/ alone refuses an x86_64 consumer; msvc_consumer.c, compiled for
# aarch64-pc-windows-msvc without a C runtime, links by lld-link against
# arm64/lib/OrvekPORT.lib and, where the ARM64 Wine runs here
# (tests/arm/arm64-wine.sh), runs against the scripted ARM64 host of the
# call table (HOST, from the winarm64 build; the archive's emulator is an
# x64 program, which an ARM64 prefix can't run). The host answers as the
# emulator would (arm64-replies.txt), so the program prints what the x64
# consumers print, and its requests must be arm64-requests.txt byte for
# byte. The DLL starts the host itself, through Path_EXE.
# Each check passed prints a line beginning "ok:".
#
#   arm64-consumer.sh SDK_FOLDER WORK_DIR [HOST]
set -euo pipefail
sdk="$1" work="$2" host="${3:-}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
fail() {
  echo "release test (arm64): $*" >&2
  exit 1
}
rm -rf "$work"
mkdir -p "$work"

toolchain="$repo/cmake/clang-aarch64.cmake"
cmake -S "$repo/tests/package/consumer" -B "$work/package" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$sdk" >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; fail "find_package (ARM64) failed"; }
grep -q "$sdk/arm64/lib/libOrvekPORT.dll.a" "$work/package/build.ninja" ||
  fail "find_package (ARM64) did not pick arm64/"
echo "ok: an ARM64 consumer's find_package picks arm64/"
if cmake -S "$repo/tests/package/consumer" -B "$work/mismatch" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-x86_64.cmake" \
    -DCMAKE_PREFIX_PATH="$sdk/arm64" >"$work/mismatch.log" 2>&1 ||
   ! grep -q 'built for ARM64, not for the consumer' "$work/mismatch.log"; then
  cat "$work/mismatch.log"
  fail "arm64/ did not refuse an x86_64 consumer with its reason"
fi
echo "ok: arm64/ refuses an x86_64 consumer"

msvc="$work/msvc"
mkdir -p "$msvc"
sed 's/@[0-9]*$//' "$here/kernel32.def" >"$msvc/kernel32.def"
llvm-dlltool-14 -m arm64 -D kernel32.dll -d "$msvc/kernel32.def" -l "$msvc/kernel32.lib"
clang-14 --target=aarch64-pc-windows-msvc -ffreestanding -fno-builtin -O1 \
  -Wall -Wextra -Werror -I "$sdk/include" -c "$here/msvc_consumer.c" -o "$msvc/consumer.obj"
lld-link-14 /nologo /nodefaultlib /subsystem:console /entry:start /machine:arm64 \
  "$msvc/consumer.obj" "$sdk/arm64/lib/OrvekPORT.lib" "$msvc/kernel32.lib" \
  /out:"$msvc/consumer.exe" || fail "the MSVC-ABI consumer did not link against arm64/lib/OrvekPORT.lib"
echo "ok: MSVC-ABI arm64 consumer linked by lld-link against OrvekPORT.lib"

[[ -n $host ]] || { echo "arm64 consumer not run: no ARM64 host given"; exit 0; }
# shellcheck source=../arm/arm64-wine.sh
. "$repo/tests/arm/arm64-wine.sh"
arm64_wine_enter || exit "$ARM64_WINE_SKIP"
trap arm64_wine_leave EXIT
trap 'exit 143' INT TERM
wine="$ARM64_WINE_ROOT/usr/lib/wine/wine64"
folder="$WINEPREFIX/drive_c/orvek-release-arm64"
rm -rf "$folder"
mkdir -p "$folder/host"
cp "$msvc/consumer.exe" "$sdk/arm64/bin/OrvekPORT.dll" "$folder/"
cp "$host" "$here/arm64-replies.txt" "$folder/host/"
mv "$folder/host/arm64-replies.txt" "$folder/host/replies.txt"
timeout 120 "$wine" reg add 'HKLM\SOFTWARE\OrvekGPS\General' /v Path_EXE \
  /d 'C:\orvek-release-arm64\host\script-host.exe' /f >/dev/null 2>&1 ||
  fail "Path_EXE could not be set in the ARM64 prefix"
set +e
timeout 180 "$wine" 'C:\orvek-release-arm64\consumer.exe' >"$msvc/output.txt" 2>"$msvc/wine.txt"
code=$?
set -e
if ((code != 0)) || ! diff -u "$here/expected-msvc.txt" "$msvc/output.txt"; then
  cat "$msvc/output.txt"
  fail "the MSVC-ABI arm64 consumer exited with $code"
fi
cmp "$here/arm64-requests.txt" "$folder/host/requests.log" ||
  { diff -a -u "$here/arm64-requests.txt" "$folder/host/requests.log" || true
    fail "the arm64 consumer's requests differ"; }
echo "ok: MSVC-ABI arm64 consumer ran under the ARM64 Wine: $(grep -c ': 0' "$msvc/output.txt") calls, requests as expected"
