#!/usr/bin/env bash
# Runs the call table (call_table.cpp) of one build under Wine: its folder
# (call-table.exe, OrvekPORT.dll, host/script-host.exe) is copied to
# C:\orvek-call-table of the prefix (a short path for Path_EXE, and under
# qemu only C: resolves right) and run there; its transcript and the host's
# request log land in OUT. x86_64 runs in the tests' prefix (wine-env.sh),
# arm64 in the ARM64 Wine under qemu (arm64-wine.sh). Given the x86_64
# run's OUT as REFERENCE, the requests and the transcript must be
# byte-identical to it; then the last line says so:
#   ARM64: N calls, requests byte-identical to x86_64
#
#   call-table.sh x86_64|arm64 TABLE_FOLDER OUT [REFERENCE]
set -euo pipefail
arch="$1" table="$2" out="$3" reference="${4:-}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
rm -rf "$out"
mkdir -p "$out"

if [[ $arch == arm64 ]]; then
  # shellcheck source=arm64-wine.sh
  . "$here/arm64-wine.sh"
  arm64_wine_enter || exit "$ARM64_WINE_SKIP"
  wine=("$ARM64_WINE_ROOT/usr/lib/wine/wine64")
  stop() { arm64_wine_leave; }
else
  # shellcheck source=../../scripts/wine-env.sh
  . "$here/../../scripts/wine-env.sh"
  wine=(wine)
  stop() { wine_stop; }
fi
trap stop EXIT
trap 'exit 143' INT TERM

folder="$WINEPREFIX/drive_c/orvek-call-table"
rm -rf "$folder"
cp -r "$table" "$folder"
set +e
timeout 600 "${wine[@]}" 'C:\orvek-call-table\call-table.exe' >"$out/transcript.txt" 2>"$out/wine.txt"
code=$?
set -e
cp "$folder/host/requests.log" "$out/requests.log" 2>/dev/null || true
if ((code != 0)); then
  cat "$out/transcript.txt" "$out/wine.txt"
  echo "FAIL: the $arch call table exited with $code"
  exit 1
fi
calls="$(grep -c ': ' "$out/transcript.txt" || true)"
calls=$((calls - 1))  # the summary line
if [[ -z $reference ]]; then
  echo "ok: $arch: $calls calls as the table says"
  exit 0
fi
for file in requests.log transcript.txt; do
  if ! cmp -s "$reference/$file" "$out/$file"; then
    diff -a -u "$reference/$file" "$out/$file" | head -n 40
    echo "FAIL: ${arch^^}: $file differs from x86_64's"
    exit 1
  fi
done
echo "ARM64: $calls calls, requests byte-identical to x86_64"
