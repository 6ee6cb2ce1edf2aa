#!/usr/bin/env bash
# Builds the API reference from the public header and fails on any doxygen
# warning (an undocumented export, parameter or return value, a parameter
# name the comment gets wrong). The status tables come from the header's
# X-macros as the compiler expands them: a page with every status's number,
# constant and meaning, the same words on each constant, and the table the
# release archive's README shows (status-table.md in the output directory).
# Then checks in doxygen's XML and HTML that every export of OrvekPORT.def
# has an entry with a request line and its statuses, that every status
# shows with its number and meaning, and that the main page holds the
# quick-start program.
#   check-api-reference.sh <repository root> [output directory]
set -euo pipefail
repo="$1"
out="${2:-}"
if [[ -z $out ]]; then
  out="$(mktemp -d)"
  trap 'rm -rf "$out"' EXIT
fi
mkdir -p "$out"
out="$(cd "$out" && pwd)"
cd "$repo"

# The quick-start program that the main page shows compiles warning-free
# as the oldest C a user's compiler may take.
cc -std=c89 -pedantic-errors -Wall -Wextra -Wconversion -Werror -fsyntax-only \
  -I include examples/quickstart.c

printf '%s\n' '#include "OrvekPORT/OrvekPORT.h"' \
  '#define ORVEK_STATUS_ROW(name, value, meaning) @row status name value meaning' \
  '#define ORVEK_PARSE_ROW(name, value, meaning) @row parse name value meaning' \
  'ORVEKPORT_STATUS_MAP(ORVEK_STATUS_ROW)' \
  'ORVEKPORT_PARSE_STATUS_MAP(ORVEK_PARSE_ROW)' |
  cc -E -P -I include -x c - >"$out/status-rows.txt"

python3 - "$out" <<'PY'
import ast
import re
import sys

out = sys.argv[1]
rows = []
for chunk in open(f"{out}/status-rows.txt").read().split("@row ")[1:]:
    table, name, value, meaning = chunk.split(None, 3)
    rows.append((table, "ORVEKPORT_" + name, int(value),
                 ast.literal_eval(meaning.strip())))

def doxygen_text(text):
    return re.sub(r"([\\@<>&#%|$])", r"\\\1", text)

def table(kind, constant, escape):
    lines = ["| Code | Constant | Meaning |", "|---:|---|---|"]
    lines += [f"| {value} | {constant(name)} | {escape(meaning)} |"
              for kind_of, name, value, meaning in rows if kind_of == kind]
    return "\n".join(lines)

with open(f"{out}/status-codes.dox", "w") as page:
    page.write(f"""/**
@page status_codes Status codes

The exports' results, 0 for success, from ORVEKPORT_STATUS_MAP: each row
becomes a constant of #orvekport_status.

{table("status", str, doxygen_text)}

The record readers, OrvekGPSPort_GetMovingMapPosition and
OrvekGPSPort_Get_Waypoint, also return these, from
ORVEKPORT_PARSE_STATUS_MAP, with the numbers 5 to 9 of the table above:

{table("parse", str, doxygen_text)}
*/
""")
    for kind, name, value, meaning in rows:
        page.write(f"/** @var {name}\n * {doxygen_text(meaning)} */\n")
with open(f"{out}/status-rows.tsv", "w") as decoded:
    decoded.writelines(f"{kind}\t{name}\t{value}\t{meaning}\n"
                       for kind, name, value, meaning in rows)
with open(f"{out}/status-table.md", "w") as readme_table:
    readme_table.write(table("status", lambda name: f"`{name}`",
                             lambda text: text.replace("|", "\\|")) + "\n")
PY

if ! (cat docs/Doxyfile
      echo "INPUT += $out/status-codes.dox"
      echo "STRIP_FROM_PATH = $repo $out"
      echo "OUTPUT_DIRECTORY = $out") | doxygen - >"$out/doxygen.log" 2>&1; then
  echo "FAIL: doxygen found gaps in the header's documentation:"
  cat "$out/doxygen.log"
  exit 1
fi
python3 - "$repo/OrvekPORT/OrvekPORT.def" "$out" <<'PY'
import html
import re
import sys
import xml.etree.ElementTree as ET

out = sys.argv[2]
lines = open(sys.argv[1]).read().split("EXPORTS", 1)[1].split("\n")
exports = [line.split()[0] for line in lines if line.strip()]
members = list(ET.parse(f"{out}/xml/OrvekPORT_8h.xml").iter("memberdef"))
functions = {m.findtext("name"): m for m in members
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

def words(element):
    return " ".join("".join(element.itertext()).split())

def page_text(name):
    text = re.sub(r"<[^>]+>", " ", open(f"{out}/html/{name}").read())
    return " ".join(html.unescape(text).split())

# Every constant of the enum, whether a table made it or not, says what it
# means; every row of the tables shows with its number and meaning.
constants = {v.findtext("name"): v for m in members if m.get("kind") == "enum"
             for v in m.iter("enumvalue")}
for name, value in constants.items():
    if not words(value.find("briefdescription")) + \
            words(value.find("detaileddescription")):
        problems.append(f"{name}: undocumented status")
rows = [line.rstrip("\n").split("\t") for line in open(f"{out}/status-rows.tsv")]
status_page = page_text("status_codes.html")
header_page = page_text("OrvekPORT_8h.html")
for table, name, value, meaning in rows:
    meaning = " ".join(meaning.split())
    constant = constants.get(name)
    if constant is None:
        problems.append(f"{name}: no constant in the reference")
        continue
    if constant.findtext("initializer", "").lstrip("= ").strip() != value:
        problems.append(f"{name}: not shown as {value}")
    if not meaning.strip():
        problems.append(f"{name}: undocumented status (no meaning in its table)")
    elif f"{value} {name} {meaning}" not in status_page:
        problems.append(f"{name}: the status page lacks '{value} {name} {meaning}'")
    if f"{name} {meaning}" not in header_page:
        problems.append(f"{name}: the header's page lacks its meaning")

main_page = open(f"{out}/html/index.html").read()
if '<div class="fragment">' not in main_page or \
        "OrvekGPSPort_NewPoint" not in main_page:
    problems.append("the main page holds no quick-start program")

for problem in problems:
    print("FAIL:", problem)
if problems:
    sys.exit(1)
print(f"ok: the reference documents all {len(exports)} exports, each "
      f"parameter, request line and status, and all {len(rows)} status "
      "codes with their numbers and meanings")
PY
