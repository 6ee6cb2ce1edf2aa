#!/usr/bin/env bash
# Checks the include graph of the whole tree. The library's layers include
# only themselves and the layers below them (exports -> api, device;
# api -> hostlink -> platform; device -> platform; the wire facts of
# protocol/ under all of them), and each may see the public header, which
# includes nothing of ours. The tools see only the public header, the
# protocol and tools/common besides their own folder, and of the platform
# layer its one handle-owner template, which depends on nothing; the tests see what
# their kind tests. No file of the core or the public header sees a Windows
# header, and no two files include each other, directly or round about (a
# header and its source count as one unit).
#   check-layers.sh <repository root>
set -euo pipefail
cd "$1"
failed=0

public=include/OrvekPORT/OrvekPORT.h
# What each folder may include besides itself: folders (by path prefix) or
# the public header ("public"). An include without a folder is the file's
# own folder or a header its target generates.
declare -A allowed=(
  [include]=""
  [protocol]="public"
  [platform]=""
  [hostlink]="public protocol platform"
  [api]="public protocol hostlink platform"
  [device]="public platform"
  [OrvekPORT]="public protocol api device hostlink platform"
  [tools/common]="public platform/unique_owner.h"
  [tools]="public protocol tools/common platform/unique_owner.h"
  # The native benchmark measures the core's own number and sentence code.
  [tools/orvek-bench/sentence_bench.cpp]="public api platform tests/support/coordinate_cases.h"
  # Unit tests, fuzz harnesses and their support test the core from inside.
  [tests/unit]="public protocol hostlink api device platform tests/support"
  [tests/support]="public protocol hostlink api device platform"
  [fuzz]="public protocol hostlink api device platform tests/support"
  [tests/checks]="public api tests/support"
  # The Wine tests drive the DLL through the public header and the
  # emulator's files; the Win32 backend's contract test and the asset
  # file's layout are the two pieces of the core they see.
  [tests/wine]="public protocol tools/common tools/orvek-host platform tests/support/platform_contract.h device/device_sources.h"
  [tests/feed]="tools/orvek-feed tools/common"
  [tests/emulator]="tools/orvek-host tools/common"
  # Natively the client runs on the core and the fake platform, the
  # emulator's model answering.
  [tests/client]="public protocol tools/common tools/orvekport hostlink api device platform tests/support"
  [tests/gpx]="tools/common tools/orvekport tools/orvek-feed"
  [tests/release]="public"
  # The ARM runs: the call table through the public header against a host
  # made of the wire facts; the helpers' run on the DLL's own number writer
  # and division code, held to the unit tests' texts.
  [tests/arm]="public protocol api tests/support/fixed_text_cases.h"
  [tests/package]="public"
  # The release archive's example program is a user of the DLL.
  [examples]="public"
)
# The folder rule for a file: the longest key that is the file or a folder
# above it; a tool's own folder is part of its rule.
rule_of() {
  local path="$1" key
  while [[ "$path" == */* ]]; do
    [[ -n "${allowed[$path]+set}" ]] && { echo "$path"; return; }
    path="${path%/*}"
  done
  [[ -n "${allowed[$path]+set}" ]] && echo "$path"
  return 0
}
own_folder() {  # tools/<tool>, tests/<kind>, or the layer
  case "$1" in
    tools/*/*|tests/*/*) echo "$1" | cut -d/ -f1-2 ;;
    *) echo "${1%%/*}" ;;
  esac
}

edges="$(mktemp)"
trap 'rm -f "$edges"' EXIT
while read -r file; do
  rule="$(rule_of "$file")"
  [[ -z "$rule" ]] && { echo "FAIL: $file is in no folder this check knows"; failed=1; continue; }
  own="$(own_folder "$file")"
  while read -r included; do
    [[ -z "$included" || "$included" != */* ]] && continue
    unit="${included%.*}"
    [[ "$included" == OrvekPORT/OrvekPORT.h ]] && unit="${public%.*}"
    # A unit is a header and its source: x.cpp including x.h is no edge.
    [[ "${file%.*}" != "$unit" ]] && echo "${file%.*} $unit" >>"$edges"
    [[ "$included" == "$own"/* ]] && continue
    ok=0
    for permitted in ${allowed[$rule]}; do
      if [[ "$permitted" == public ]]; then
        [[ "$included" == OrvekPORT/OrvekPORT.h ]] && ok=1
      elif [[ "$included" == "$permitted" || "$included" == "$permitted"/* ]]; then
        ok=1
      fi
    done
    if ((ok == 0)); then
      echo "FAIL: $file includes $included ($rule may include: ${allowed[$rule]:-nothing but itself})"
      failed=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -- '*.h' '*.cpp' '*.c')

# Only the Win32 backend and the DLL's entry point see Win32.
windows_headers='^#include <(windows|winver|shellapi|winbase|windef|winuser|winreg)\.h>'
while read -r file; do
  if grep -Eiq "$windows_headers" "$file"; then
    echo "FAIL: $file includes a Windows header"
    failed=1
  fi
done < <(git ls-files -- 'protocol/*' 'hostlink/*' 'api/*' 'device/*' 'platform/*.h' "$public")

# tsort names a loop on stderr when the graph has one.
if ! loops="$(tsort "$edges" 2>&1 >/dev/null)" || [[ -n "$loops" ]]; then
  echo "FAIL: include cycle:"
  echo "$loops"
  failed=1
fi

echo "arrows between the library's layers:"
awk '{split($1, a, "/"); split($2, b, "/");
      if (a[1] != b[1] && a[1] ~ /^(OrvekPORT|api|device|hostlink|platform|protocol|include)$/)
        print a[1] " -> " (b[1] == "include" ? "public header" : b[1])}' "$edges" |
  sort -u | sed 's/^/  /'
((failed == 0)) && echo "ok: $(wc -l <"$edges") includes between units, each allowed, none in a cycle, no Windows header in the core"
exit "$failed"
