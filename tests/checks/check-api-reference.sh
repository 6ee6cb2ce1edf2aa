#!/usr/bin/env bash
# Builds the API reference from the public header and fails on any doxygen
# warning (an undocumented export, parameter or return value, a parameter
# name the comment gets wrong), then checks in doxygen's XML that every
# export of OrvekPORT.def has a page entry with a request line and its
# statuses.
#   check-api-reference.sh <repository root> [output directory]
set -euo pipefail
repo="$1"
out="${2:-}"
if [[ -z $out ]]; then
  out="$(mktemp -d)"
  trap 'rm -rf "$out"' EXIT
fi
mkdir -p "$out"
cd "$repo"
if ! (cat docs/Doxyfile; echo "OUTPUT_DIRECTORY=$out") | doxygen - >"$out/doxygen.log" 2>&1; then
  echo "FAIL: doxygen found gaps in the header's documentation:"
  cat "$out/doxygen.log"
  exit 1
fi
python3 - "$repo/OrvekPORT/OrvekPORT.def" "$out/xml/OrvekPORT_8h.xml" <<'PY'
import sys
import xml.etree.ElementTree as ET

lines = open(sys.argv[1]).read().split("EXPORTS", 1)[1].split("\n")
exports = [line.split()[0] for line in lines if line.strip()]
functions = {m.findtext("name"): m for m in
             ET.parse(sys.argv[2]).iter("memberdef")
             if m.get("kind") == "function"}
problems = []
for name in exports:
    member = functions.get(name)
    if member is None:
        problems.append(f"{name}: not in the reference")
        continue
    text = ET.tostring(member.find("detaileddescription"), "unicode")
    if "Request line" not in text:
        problems.append(f"{name}: no request line")
    if 'kind="retval"' not in text and 'kind="return"' not in text:
        problems.append(f"{name}: no statuses or return value")
for problem in problems:
    print("FAIL:", problem)
if problems:
    sys.exit(1)
print(f"ok: the reference documents all {len(exports)} exports, each "
      "parameter, request line and status")
PY
