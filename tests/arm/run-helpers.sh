#!/usr/bin/env bash
# Runs helpers_run.cpp on ARMv7 or ARM64 under qemu-user, no Wine needed:
# the program, the DLL's "%f" writer (api/number_format.cpp) and, for ARMv7,
# the division helpers are compiled for Windows on ARM as the DLL is, to
# assembly, whose COFF directives are rewritten for ELF; ld.lld links them
# with the helpers' assembly into a static Linux program. So the
# instructions are the Windows ones, and the helpers are called as on
# Windows. For ARMv7 it
# also checks that a helper traps on a zero divisor (qemu ends the program
# with SIGILL).
#   run-helpers.sh <repository root> armv7|aarch64 <work folder>
set -euo pipefail
repo="$1" arch="$2" work="$3"
mkdir -p "$work"
case "$arch" in
  # Windows on ARMv7 always has NEON, which the Linux target must be told.
  armv7) windows=armv7-w64-windows-gnu linux=(--target=armv7-linux-gnueabihf -mfpu=neon)
         qemu=qemu-arm-static
         emulation=armelf_linux_eabi
         sources=(OrvekPORT/arm/division.cpp)
         assembly=(OrvekPORT/arm/division_armv7.S OrvekPORT/arm/chkstk_armv7.S) ;;
  aarch64) windows=aarch64-w64-windows-gnu linux=(--target=aarch64-linux-gnu)
           qemu=qemu-aarch64-static
           emulation=aarch64linux sources=() assembly=(OrvekPORT/arm/chkstk_arm64.S) ;;
  *) echo "run-helpers: unknown architecture $arch" >&2; exit 2 ;;
esac
if ! command -v "$qemu" >/dev/null; then
  echo "run-helpers: $qemu is missing (package qemu-user-static)" >&2
  exit 1
fi

gcc_include="$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ | tail -n 1)"
flags=(-std=c++20 -Os -Wall -Wextra -Wpedantic -Wshadow -Werror -fno-exceptions
       -fno-rtti -I "$repo" -I "$repo/include" -nostdinc++ -isystem "$gcc_include"
       -isystem "$gcc_include/x86_64-w64-mingw32" -isystem /usr/share/mingw-w64/include)
objects=()
# clang's COFF assembly to the same instructions in ELF syntax: a function's
# symbol definition becomes its ELF type (which tells Thumb code to the
# linker), unwind directives and COMDATs go (the link then allows an inline
# function twice), sections keep their kind, __brkdiv0 is spelled as the
# instruction it is.
to_elf() {
  awk '
    /^[ \t]*\.def[ \t]/ { name = $2; sub(/;$/, "", name); next }
    /^[ \t]*\.type[ \t]+32;/ { print "\t.type\t" name ",%function"; next }
    /^[ \t]*\.(scl|type|endef|addrsig|addrsig_sym|seh_[a-z_]*)([ \t]|$)/ { next }
    /@feat\.00/ { next }
    /^[ \t]*__brkdiv0/ { print "\tudf\t#249"; next }
    /^[ \t]*\.section[ \t]/ {
      split($0, part, "\"")
      name = $2; sub(/,.*/, "", name); gsub(/\$/, ".", name)
      kind = part[2] ~ /x/ ? "ax" : part[2] ~ /w/ ? "aw" : part[2] ~ /r/ ? "a" : ""
      print "\t.section\t" name ",\"" kind "\",%progbits"; next
    }
    { print }' "$1"
}
compile() {  # source [extra flags]: Windows code in an ELF object
  local source="$1" base
  base="$work/$(basename "${source%.*}")"
  shift
  clang++-14 --target="$windows" "${flags[@]}" "$@" -S -o "$base.s" "$repo/$source"
  to_elf "$base.s" >"$base.elf.s"
  clang-14 "${linux[@]}" -c -o "$base.o" "$base.elf.s"
  objects+=("$base.o")
}
compile api/number_format.cpp
# The program brings its own memcpy: nothing may turn its loops into calls.
compile tests/arm/helpers_run.cpp -ffreestanding
for source in "${sources[@]}"; do compile "$source"; done
for source in "${assembly[@]}"; do
  objects+=("$work/$(basename "$source").o")
  clang-14 "${linux[@]}" -c -o "${objects[-1]}" "$repo/$source"
done
ld.lld-14 -m "$emulation" -static -e _start --allow-multiple-definition -o "$work/helpers-run" "${objects[@]}"

label=ARMv7
[[ $arch == aarch64 ]] && label=ARM64
output="$("$qemu" "$work/helpers-run" 2>&1)" || { echo "$label: $output"; echo "FAIL: the $label helpers run"; exit 1; }
echo "$label: $output"
if [[ $arch == armv7 ]]; then
  set +e
  trapped="$("$qemu" "$work/helpers-run" divide-by-zero 2>&1)"
  code=$?
  set -e
  if ((code != 128 + 4)); then
    echo "FAIL: $label: __rt_udiv64 with a zero divisor ended with $code, not SIGILL: $trapped"
    exit 1
  fi
  echo "$label: ok: __rt_udiv64 traps on a zero divisor (udf #249, SIGILL under qemu)"
fi
