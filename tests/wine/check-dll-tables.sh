#!/usr/bin/env bash
# Checks a built OrvekPORT.dll: its export table holds exactly the names of
# OrvekPORT.def, undecorated (no @N on i686), and it imports only Windows
# system DLLs, no compiler runtime (libstdc++, libgcc, libwinpthread), has
# no constructor or TLS sections (nothing would run them), and the file is
# no larger than its limit. With "machine=M", also that the PE header names
# that processor (x86_64, i686, ARM64, ARM); with "no-sse", that the code
# uses no SSE register, so that it runs on x86 CPUs without SSE2. Reads
# the tables as mingw-w64's objdump or llvm-objdump prints them.
#   check-dll-tables.sh <objdump> <OrvekPORT.dll> <OrvekPORT.def> <limit KiB> [machine=M] [no-sse]
set -euo pipefail
objdump="$1" dll="$2" def="$3" limit_kib="$4"
shift 4
machine="" sse=""
for option in "$@"; do
  case "$option" in
    machine=*) machine="${option#machine=}" ;;
    no-sse) sse=no-sse ;;
  esac
done

dump="$("$objdump" -p "$dll")"
failed=0

expected="$(sed -n '/^EXPORTS/,$p' "$def" | tail -n +2 | awk 'NF {print $1}' | sort)"
# Lines of the export name table look like "	[   3] OrvekGPSPort_Init"
# (objdump) or "       3   0x1100  OrvekGPSPort_Init" (llvm-objdump).
exported="$(awk '/\[Ordinal\/Name Pointer\] Table|^Export Table:/ {on=1; next}
                 on && /^\t\[ *[0-9]+\]/ {print $NF; next}
                 on && /^ +[0-9]+ +0x[0-9a-f]+ +[A-Za-z_]/ {print $3; next}
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
functions="$(awk '/DLL Name:/ {on=1; next} /^Export Table:/ {on=0}
                  on && /^(\t[0-9a-f]+\t)? +[0-9]+ +[A-Za-z_][A-Za-z0-9_]*$/ {n++}
                  END {print n+0}' <<<"$dump")"
echo "ok: imports $functions functions"

startup="$("$objdump" -h "$dll" | awk '$2 ~ /^\.(ctors|dtors|tls|CRT)/ {print $2}')"
if [[ -n $startup ]]; then
  echo "FAIL: sections that need start-up code:" $startup
  failed=1
fi

if [[ -n $machine ]]; then
  declare -A machine_code=([x86_64]=8664 [i686]=014c [ARM64]=aa64 [ARM]=01c4)
  # The PE header's offset is at 0x3c; its machine field follows "PE\0\0".
  header="$(od -An -tu4 -j 60 -N 4 "$dll" | tr -d ' ')"
  found="$(od -An -tx2 -j $((header + 4)) -N 2 "$dll" | tr -d ' ')"
  if [[ $found != "${machine_code[$machine]:-none}" ]]; then
    echo "FAIL: the PE machine is 0x$found, not $machine's"
    failed=1
  else
    echo "ok: PE machine 0x$found ($machine)"
  fi
fi

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
