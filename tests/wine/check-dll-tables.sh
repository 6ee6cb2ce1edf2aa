#!/usr/bin/env bash
# Checks a built OrvekPORT.dll: its export table holds exactly the names of
# OrvekPORT.def, undecorated (no @N on i686), and it imports only Windows
# system DLLs, no compiler runtime (libstdc++, libgcc, libwinpthread), and
# that the file is no larger than its limit. With "no-sse", also that the
# code uses no SSE register, so that it runs on x86 CPUs without SSE2.
#   check-dll-tables.sh <objdump> <OrvekPORT.dll> <OrvekPORT.def> <limit KiB> [no-sse]
set -euo pipefail
objdump="$1" dll="$2" def="$3" limit_kib="$4" sse="${5:-}"

dump="$("$objdump" -p "$dll")"
failed=0

expected="$(sed -n '/^EXPORTS/,$p' "$def" | tail -n +2 | awk 'NF {print $1}' | sort)"
# Lines of the export name table look like "	[   3] OrvekGPSPort_Init".
exported="$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next}
                 on && /^\t\[ *[0-9]+\]/ {print $NF; next}
                 on && NF == 0 {on=0}' <<<"$dump" | sort)"
if [[ "$exported" != "$expected" ]]; then
  echo "FAIL: exports differ from $(basename "$def") (< expected, > exported):"
  diff <(echo "$expected") <(echo "$exported") || true
  failed=1
else
  echo "ok: $(wc -l <<<"$exported") exports, plain names as in $(basename "$def")"
fi

allowed='^(kernel32|user32|advapi32|shell32|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
imports="$(awk '/DLL Name:/ {print $3}' <<<"$dump")"
while read -r name; do
  [[ -z "$name" ]] && continue
  if [[ ! "${name,,}" =~ $allowed ]]; then
    echo "FAIL: imports $name"
    failed=1
  fi
done <<<"$imports"
[[ $failed -eq 0 ]] && echo "ok: imports only system DLLs:" $imports
functions="$(awk '/DLL Name:/ {on=1; next} on && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ {n++} END {print n+0}' <<<"$dump")"
echo "ok: imports $functions functions"

bytes="$(stat -c %s "$dll")"
size="$(awk -v b="$bytes" 'BEGIN {printf "%.1f KiB (%d bytes)", b / 1024, b}')"
if ((bytes > limit_kib * 1024)); then
  echo "FAIL: $(basename "$dll") is $size, above $limit_kib KiB"
  failed=1
else
  echo "ok: $(basename "$dll") is $size, limit $limit_kib KiB"
fi
if [[ "$sse" == no-sse ]]; then
  sse_lines="$("$objdump" -d "$dll" | grep -c '%xmm' || true)"
  if ((sse_lines > 0)); then
    echo "FAIL: $sse_lines instructions use SSE registers"
    failed=1
  else
    echo "ok: no SSE instruction"
  fi
fi
exit $failed
