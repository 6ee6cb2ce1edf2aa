#!/usr/bin/env bash
# Checks the library's include graph: each layer includes only itself and
# the layers below it (exports -> api, device; api -> hostlink -> platform;
# device -> platform; the wire facts of protocol/ under all of them), no file of the core or the public header sees a
# Windows header, and no two files include each other, directly or round
# about (a header and its source count as one unit).
#   check-layers.sh <repository root>
set -euo pipefail
cd "$1"
failed=0

# The layers a directory may include, besides itself.
declare -A allowed=(
  [protocol]=""
  [platform]=""
  [hostlink]="protocol platform OrvekPORT/OrvekPORT.h"
  [api]="hostlink protocol platform OrvekPORT/OrvekPORT.h"
  [device]="platform OrvekPORT/OrvekPORT.h"
  [OrvekPORT]="api device hostlink protocol platform"
)
sources() { find "$1" -maxdepth 2 \( -name '*.h' -o -name '*.cpp' \) -not -path '*/fake/*' | sort; }

edges="$(mktemp)"
trap 'rm -f "$edges"' EXIT
for layer in "${!allowed[@]}"; do
  while read -r file; do
    while read -r included; do
      [[ -z "$included" ]] && continue
      # A unit is a header and its source: x.cpp including x.h is no edge.
      [[ "${file%.*}" != "${included%.*}" ]] && echo "${file%.*} ${included%.*}" >>"$edges"
      target_layer="${included%%/*}"
      [[ "$target_layer" == "$layer" && "$included" != OrvekPORT/OrvekPORT.h ]] && continue
      ok=0
      for permitted in ${allowed[$layer]} "$layer"; do
        [[ "$target_layer" == "$permitted" || "$included" == "$permitted" ]] && ok=1
      done
      if ((ok == 0)); then
        echo "FAIL: $file includes $included (layer $layer may include: ${allowed[$layer]:-nothing below it})"
        failed=1
      fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done < <(sources "$layer")
done

# Only the Win32 backend and the DLL's entry point see Win32.
windows_headers='^#include <(windows|winver|shellapi|winbase|windef|winuser|winreg)\.h>'
while read -r file; do
  if grep -Eiq "$windows_headers" "$file"; then
    echo "FAIL: $file includes a Windows header"
    failed=1
  fi
done < <( (sources protocol; sources hostlink; sources api; sources device
           find platform -maxdepth 1 -name '*.h'; echo OrvekPORT/OrvekPORT.h))

# tsort names a loop on stderr when the graph has one.
if ! loops="$(tsort "$edges" 2>&1 >/dev/null)" || [[ -n "$loops" ]]; then
  echo "FAIL: include cycle:"
  echo "$loops"
  failed=1
fi

echo "arrows between layers:"
awk '{split($1, a, "/"); split($2, b, "/"); if (a[1] != b[1]) print a[1] " -> " b[1] (b[1] == "OrvekPORT" ? " (public header)" : "")}' "$edges" |
  sort -u | sed 's/^/  /'
((failed == 0)) && echo "ok: $(wc -l <"$edges") includes between units point down, none in a cycle, no Windows header in the core"
exit "$failed"
