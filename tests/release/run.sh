#!/usr/bin/env bash
# The release archive as a Windows developer gets it: unpacked into an empty
# folder, it alone must build and run four consumers under Wine, against the
# host emulator and with the client from the archive:
#   - tests/package/consumer through find_package, for x86_64 and i686
#     (mingw-w64, CMAKE_PREFIX_PATH = the unpacked folder), and refused with
#     a message when pointed at the other architecture's folder;
#   - msvc_consumer.c for each architecture, compiled for the MSVC ABI by
#     clang without a C runtime and linked by lld-link against the archive's
#     OrvekPORT.lib and a kernel32 import library made here;
#   - arm64/ through find_package and msvc_consumer.c for ARM64, run under
#     the ARM64 Wine against ARM64_HOST where it runs here
#     (arm64-consumer.sh).
# All are built; the i686 ones run only where 32-bit Wine runs
# (scripts/machine-32bit.sh), and a line says why when they don't.
# Then every command of the archive's README runs as written
# (readme-commands.sh): the client and the feed on the samples, the quick
# start built with cl and with mingw-w64 and run against the emulator.
# Each check passed prints a line beginning "ok:".
#
#   run.sh ARCHIVE WORK_DIR [ARM64_HOST]
set -euo pipefail

archive="$1" work="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
rm -rf "$work"
mkdir -p "$work/unpacked"
work="$(cd "$work" && pwd)"

fail() {
  echo "release test: $*" >&2
  exit 1
}

unzip -q "$archive" -d "$work/unpacked"
sdk="$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)"
[[ -d $sdk/x64 && -d $sdk/x86 && -d $sdk/arm64 && -f $sdk/include/OrvekPORT/OrvekPORT.h ]] ||
  fail "the archive has no OrvekPORT-<version>/ with x64/, x86/, arm64/ and include/"
[[ -f $sdk/doc/reference/index.html && -f $sdk/README.md && -f $sdk/LICENSE ]] ||
  fail "the archive lacks the reference, its README or the licence"
echo "ok: unpacked $(find "$sdk" -type f | wc -l) files"

declare -A triplet=([x64]=x86_64 [x86]=i686)
declare -A msvc_target=([x64]=x86_64-pc-windows-msvc [x86]=i686-pc-windows-msvc)
declare -A dlltool_machine=([x64]=i386:x86-64 [x86]=i386)

for arch in x64 x86; do
  toolchain="$repo/cmake/mingw-${triplet[$arch]}.cmake"
  build="$work/mingw-$arch"
  cmake -S "$repo/tests/package/consumer" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$sdk" \
    >"$build.log" 2>&1 || { cat "$build.log"; fail "find_package ($arch) failed"; }
  cmake --build "$build" >>"$build.log" 2>&1 || { cat "$build.log"; fail "mingw consumer ($arch) did not build"; }
  cmp "$build/OrvekPORT.dll" "$sdk/$arch/bin/OrvekPORT.dll" ||
    fail "the mingw consumer ($arch) did not take the archive's DLL"
  echo "ok: mingw-w64 ${triplet[$arch]} consumer built through find_package"

  # The other architecture's folder alone is refused, with its reason.
  other=x86
  [[ $arch == x86 ]] && other=x64
  if cmake -S "$repo/tests/package/consumer" -B "$work/mismatch-$arch" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$sdk/$other" \
      >"$work/mismatch-$arch.log" 2>&1; then
    fail "the ${triplet[$arch]} consumer accepted $other/"
  fi
  grep -q 'not accepted' "$work/mismatch-$arch.log" &&
    grep -Eq '\((32|64)bit\)' "$work/mismatch-$arch.log" ||
    { cat "$work/mismatch-$arch.log"; fail "the refusal of $other/ does not say why"; }
  echo "ok: the ${triplet[$arch]} consumer refuses $other/ for its pointer size"

  # No SDK headers or libraries: the three kernel32 functions the program
  # calls get an import library of their own (plain names on x86_64).
  msvc="$work/msvc-$arch"
  mkdir -p "$msvc"
  if [[ $arch == x86 ]]; then
    cp "$here/kernel32.def" "$msvc/kernel32.def"
    kill_at=(-k)
  else
    sed 's/@[0-9]*$//' "$here/kernel32.def" >"$msvc/kernel32.def"
    kill_at=()
  fi
  llvm-dlltool-14 -m "${dlltool_machine[$arch]}" "${kill_at[@]}" \
    -D kernel32.dll -d "$msvc/kernel32.def" -l "$msvc/kernel32.lib"
  clang-14 --target="${msvc_target[$arch]}" -ffreestanding -fno-builtin -O1 \
    -Wall -Wextra -Werror -I "$sdk/include" \
    -c "$here/msvc_consumer.c" -o "$msvc/consumer.obj"
  lld-link-14 /nologo /nodefaultlib /subsystem:console /entry:start \
    /machine:"$arch" "$msvc/consumer.obj" "$sdk/$arch/lib/OrvekPORT.lib" \
    "$msvc/kernel32.lib" /out:"$msvc/consumer.exe" ||
    fail "the MSVC-ABI consumer ($arch) did not link against OrvekPORT.lib"
  cp "$sdk/$arch/bin/OrvekPORT.dll" "$msvc/"
  echo "ok: MSVC-ABI $arch consumer linked by lld-link against OrvekPORT.lib"
done

# shellcheck source=../../scripts/wine-env.sh
. "$repo/scripts/wine-env.sh"
trap wine_stop EXIT
run_archs=(x64)
if orvek_wine32_usable; then
  run_archs+=(x86)
else
  echo "release test: the x86 consumers were built, not run: $ORVEK_32BIT_REASON"
fi
host_folder='C:\orvek-release-host'
client="$sdk/x64/bin/orvekport.exe"
# The emulator holds on to the stderr of its starter: a file, not a pipe.
timeout 60 wine "$client" host start "$host_folder" >"$work/host-start.txt" 2>&1 ||
  { cat "$work/host-start.txt"; fail "the archive's client could not start its emulator"; }
trap 'timeout 60 wine "$client" host stop >/dev/null 2>&1 || true; wine_stop' EXIT
answer="$(timeout 60 wine "$client" query 0 2>&1)" || fail "query 0: $answer"
[[ $answer == *"orvek-host 3"* ]] || fail "query 0 answered: $answer"
echo "ok: the archive's client and emulator exchanged the handshake"
# A 32-bit program in a 64-bit Windows reads the registry's 32-bit view.
timeout 60 wine reg add 'HKLM\SOFTWARE\OrvekGPS\General' /v Path_EXE \
  /d "$host_folder\\orvek-host.exe" /reg:32 /f >/dev/null

for arch in "${run_archs[@]}"; do
  output="$(timeout 60 wine "$work/mingw-$arch/consumer.exe" 2>&1)" ||
    fail "the mingw $arch consumer exited with $?: $output"
  [[ $output == *"result orvek-host 3"* ]] || fail "mingw $arch consumer: $output"
  echo "ok: mingw-w64 $arch consumer ran: $output"

  set +e
  timeout 60 wine "$work/msvc-$arch/consumer.exe" >"$work/msvc-$arch/output.txt" 2>&1
  code=$?
  set -e
  if ((code != 0)) || ! diff -u "$here/expected-msvc.txt" "$work/msvc-$arch/output.txt"; then
    cat "$work/msvc-$arch/output.txt"
    fail "the MSVC-ABI $arch consumer exited with $code"
  fi
  echo "ok: MSVC-ABI $arch consumer ran $(grep -c ': 0' "$work/msvc-$arch/output.txt") calls with arguments"
done
bash "$here/arm64-consumer.sh" "$sdk" "$work/arm64" "${3:-}" || fail "arm64/ failed"

# The README's session starts its own emulator, as on a fresh machine.
timeout 60 wine "$client" host stop >/dev/null 2>&1 || fail "the emulator did not stop"
rm -rf "$WINEPREFIX/drive_c/orvek-host"
bash "$here/readme-commands.sh" "$sdk" "$work/readme"
echo "release test: passed"
