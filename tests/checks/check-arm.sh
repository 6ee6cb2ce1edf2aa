#!/usr/bin/env bash
# Checks that every source of OrvekPORT.dll compiles for Windows on ARM
# (32-bit armv7 and 64-bit aarch64) with clang, warnings as errors, against
# the mingw-w64 headers. A syntax-only compile: nothing is linked. Clang
# also refuses here any global that needs a constructor or an exit-time
# destructor: the DLL has no start-up code that would run them.
#   check-arm.sh <repository root> [clang++]
set -euo pipefail
repo="$1"
clang="${2:-clang++-14}"
cd "$repo"

# The mingw-w64 C headers and g++'s C++ library headers; the x86_64 copies
# serve every target for a syntax check.
gcc_include="$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ | tail -n 1)"
flags=(-fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic -Wshadow -Werror
       -Wglobal-constructors -Wexit-time-destructors
       -fno-exceptions -fno-rtti -I "$repo" -I "$repo/include" -nostdinc++
       -isystem "$gcc_include" -isystem "$gcc_include/x86_64-w64-mingw32"
       -isystem /usr/x86_64-w64-mingw32/include)

sources=(OrvekPORT/*.cpp hostlink/*.cpp api/*.cpp device/*.cpp platform/win32/*.cpp)
failed=0
for target in armv7-w64-windows-gnu aarch64-w64-windows-gnu; do
  for source in "${sources[@]}"; do
    if ! output="$("$clang" --target="$target" "${flags[@]}" "$source" 2>&1)"; then
      echo "FAIL: $target $source"
      echo "$output"
      failed=1
    fi
  done
  ((failed == 0)) && echo "ok: $target: ${#sources[@]} sources compile warning-free"
done
exit "$failed"
