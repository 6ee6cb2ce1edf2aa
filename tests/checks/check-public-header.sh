#!/usr/bin/env bash
# Checks the public header as users' compilers see it: it compiles alone,
# warning-free and pedantic, as C89 to C2x and C++98 to C++20, natively and
# for both Windows targets, defines no Win32 macro, and on i686 its exports
# get the decorated names that the import library carries.
#   check-public-header.sh <repository root>
set -euo pipefail
repo="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0

names="$(sed -n '/^EXPORTS/,$p' "$repo/OrvekPORT/OrvekPORT.def" | tail -n +2 | awk 'NF {print $1}')"
{
  echo '#include "OrvekPORT/OrvekPORT.h"'
  # Users' code gets no Win32 macros from us.
  echo '#if defined(ERROR) || defined(WINAPI) || defined(MAX_PATH) || defined(min)'
  echo '#error the public header brought in a Windows header'
  echo '#endif'
  echo 'typedef void (*any_export)(void);'
  echo 'any_export orvekport_exports[] = {'
  sed 's/.*/  (any_export)&,/' <<<"$names"
  echo '  0};'
} >"$work/use.c"
cp "$work/use.c" "$work/use.cpp"

count=0
for compiler in gcc x86_64-w64-mingw32-gcc i686-w64-mingw32-gcc; do
  for std in c89 c99 c11 c17 c2x c++98 c++11 c++14 c++17 c++20; do
    source="$work/use.c" driver="$compiler"
    if [[ $std == c++* ]]; then source="$work/use.cpp" driver="${compiler%gcc}g++"; fi
    # Casting between function pointer types is the table's point.
    if ! "$driver" -std="$std" -pedantic-errors -Wall -Wextra -Werror \
        -Wno-cast-function-type -I "$repo/include" -c "$source" -o "$work/use.o" 2>"$work/errors"; then
      echo "FAIL: $driver -std=$std:"
      cat "$work/errors"
      failed=1
    fi
    count=$((count + 1))
  done
done
((failed == 0)) && echo "ok: header compiles as C89..C2x and C++98..C++20 with $count compiler runs"

# The i686 object refers to _Name@N, as the import library spells them.
i686-w64-mingw32-gcc -std=c89 -I "$repo/include" -Wno-cast-function-type -c "$work/use.c" -o "$work/use.o"
referenced="$(i686-w64-mingw32-nm -u "$work/use.o" | awk '{print $2}' | sed 's/^_//' | sort)"
expected="$(sed -n '/^EXPORTS/,$p' "$repo/OrvekPORT/OrvekPORT-i686.def" | tail -n +2 | awk 'NF {print $1}' | sort)"
if [[ "$referenced" != "$expected" ]]; then
  echo "FAIL: i686 names differ from OrvekPORT-i686.def (< import library, > header):"
  diff <(echo "$expected") <(echo "$referenced") || true
  failed=1
else
  echo "ok: i686 callers ask for the $(wc -l <<<"$referenced") decorated names of the import library"
fi
exit "$failed"
