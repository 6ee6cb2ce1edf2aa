#!/usr/bin/env bash
# Runs every command of the release archive's README as written, from the
# unpacked archive, and checks that they do what the README says.
#
# A ```bat block is a command-prompt session that starts in the unpacked
# folder. Its lines run in order in one batch file under Wine (cmd.exe);
# "cd DIR" is followed here, and the two compilers a Windows developer
# brings run here on the same files with the same arguments: cl is
# clang-cl-14 linking with lld-link against msvc-crt/, a stand-in for
# Visual Studio's C runtime made of msvcrt.dll's functions, and
# x86_64-w64-mingw32-gcc is the cross compiler. Each line must end with
# exit code 0, or N when its comment begins "rem exit N". Blocks of code
# (```cmake) are not commands; a block of any other kind fails the test,
# so no command goes unrun. Each check passed prints a line beginning "ok:".
#
# Needs the Wine environment (scripts/wine-env.sh) and no host running.
#   readme-commands.sh SDK_DIR WORK_DIR
set -euo pipefail

sdk="$(cd "$1" && pwd)"
work="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
rm -rf "$work"
mkdir -p "$work/out" "$work/crt"
work="$(cd "$work" && pwd)"
readme="$sdk/README.md"

fail() {
  echo "README commands: $*" >&2
  exit 1
}

# Visual Studio's libcmt.lib, oldnames.lib and msvcrt.lib as the stand-in
# has them; cl finds them and the headers through LIB and INCLUDE, as in a
# developer prompt.
clang-14 --target=x86_64-pc-windows-msvc -fno-stack-protector -O1 -Wall \
  -Wextra -Werror -c "$here/msvc-crt/crt_start.c" -o "$work/crt/crt_start.obj"
llvm-lib-14 /nologo /out:"$work/crt/libcmt.lib" "$work/crt/crt_start.obj"
printf '!<arch>\n' >"$work/crt/oldnames.lib"
llvm-dlltool-14 -m i386:x86-64 -D msvcrt.dll -d "$here/msvc-crt/msvcrt.def" \
  -l "$work/crt/msvcrt.lib"

# The commands: README line number, block number and text.
numbers=() blocks=() texts=()
block=0 language="" line_number=0
while IFS= read -r line || [[ -n $line ]]; do
  line_number=$((line_number + 1))
  line="${line%$'\r'}"
  if [[ -z $language && $line =~ ^\`\`\`(.*)$ ]]; then
    language="${BASH_REMATCH[1]:-none}"
    block=$((block + 1))
    [[ $language == bat || $language == cmake ]] ||
      fail "line $line_number: a block of '$language' is neither commands (bat) nor code (cmake)"
    continue
  fi
  if [[ -n $language && $line == '```' ]]; then
    language=""
    continue
  fi
  [[ $language == bat && -n ${line// /} ]] || continue
  # A batch file reads % where a prompt does not.
  [[ $line != *%* ]] || fail "line $line_number: '%' reads otherwise in a batch file"
  numbers+=("$line_number") blocks+=("$block") texts+=("$line")
done <"$readme"
[[ -z $language ]] || fail "a block is not closed"
((${#texts[@]} > 0)) || fail "no commands found in $readme"

# The compilers' lines, which run here.
compiler_line='^(cl|x86_64-w64-mingw32-gcc) '

# The exit code a line's comment announces ("& rem exit 8: ..."), else 0.
expected_exit() {
  if [[ $1 =~ \&\ *rem\ exit\ ([0-9]+) ]]; then echo "${BASH_REMATCH[1]}"; else echo 0; fi
}

# Runs the collected prompt lines under Wine in one batch file, each line
# between markers that give its output and exit code.
pending=()
cwd=""
flush() {
  ((${#pending[@]} > 0)) || return 0
  local batch="$work/batch-${pending[0]}.cmd" index
  {
    printf '@echo off\r\n'
    for index in "${pending[@]}"; do
      # (call ) clears the exit code a previous line left to built-ins.
      printf '(call )\r\necho @@start %s\r\n%s\r\necho @@exit %s %%errorlevel%%\r\n' \
        "${numbers[index]}" "${texts[index]}" "${numbers[index]}"
    done
  } >"$batch"
  # A file, not a pipe: the emulator that a line starts keeps what it got.
  (cd "$cwd" && timeout 120 wine cmd /c "$(winepath -w "$batch")" \
    >"$batch.txt" 2>&1) || true
  awk -v out="$work/out" '
    { sub(/\r$/, "") }
    /^@@start / { file = out "/" $2 ".txt"; printf "" > file; next }
    /^@@exit / { print $3 > (out "/" $2 ".code"); file = ""; next }
    file != "" { print > file }' "$batch.txt"
  pending=()
}

# A compiler's line, run here: backslashes become slashes, nothing else.
run_native() {
  local index="$1" words
  read -r -a words <<<"${texts[index]//\\//}"
  [[ ${texts[index]} != *'"'* && ${texts[index]} != *'&'* ]] ||
    fail "line ${numbers[index]}: a compiler's line here takes plain words"
  set +e
  case "${words[0]}" in
    cl)
      (cd "$cwd" && INCLUDE="$here/msvc-crt/include" LIB="$work/crt" \
        clang-cl-14 -fuse-ld=lld "${words[@]:1}") ;;
    x86_64-w64-mingw32-gcc)
      (cd "$cwd" && "${words[@]}") ;;
  esac >"$work/out/${numbers[index]}.txt" 2>&1
  echo $? >"$work/out/${numbers[index]}.code"
  set -e
}

for index in "${!texts[@]}"; do
  text="${texts[index]}"
  if ((index == 0)) || [[ ${blocks[index]} != "${blocks[index - 1]}" ]]; then
    flush
    cwd="$sdk"
  fi
  if [[ $text =~ ^cd\ +([^\&]+[^\&\ ])\ *$ ]]; then
    flush
    cwd="$cwd/${BASH_REMATCH[1]//\\//}"
    [[ -d $cwd ]] || fail "line ${numbers[index]}: no folder $cwd"
    cwd="$(cd "$cwd" && pwd)"
  elif [[ $text =~ $compiler_line ]]; then
    flush
    run_native "$index"
  else
    pending+=("$index")
  fi
done
flush

# Every line ran, with the exit code the README gives it.
for index in "${!texts[@]}"; do
  number="${numbers[index]}" text="${texts[index]}"
  [[ $text =~ ^cd\  ]] && continue
  [[ -f $work/out/$number.code ]] || {
    cat "$work"/batch-*.txt
    fail "line $number did not run: $text"
  }
  code="$(cat "$work/out/$number.code")"
  if [[ $code != "$(expected_exit "$text")" ]]; then
    cat "$work/out/$number.txt"
    fail "line $number exited with $code: $text"
  fi
  if [[ $text =~ $compiler_line ]] && grep -qi warning "$work/out/$number.txt"; then
    cat "$work/out/$number.txt"
    fail "line $number warned: $text"
  fi
done
echo "ok: the README's ${#texts[@]} command lines ran as written, each with the exit code it states"

# The output of the first command line that matches a pattern.
output_of() {
  local index
  for index in "${!texts[@]}"; do
    if [[ ${texts[index]} =~ $1 ]]; then
      cat "$work/out/${numbers[index]}.txt"
      return 0
    fi
  done
  fail "the README has no command matching '$1'"
}
expect() {  # PATTERN TEXT...: the first such command printed each TEXT
  local pattern="$1" output text
  shift
  output="$(output_of "$pattern")"
  for text in "$@"; do
    [[ $output == *"$text"* ]] || {
      printf '%s\n' "$output"
      fail "'$pattern' did not print '$text'"
    }
  done
}

expect '^orvekport query 0' 'orvek-host 3'
expect '^orvek-feed ' 'fixes sent: 7, delivered 7, failed 0'
expect '^orvekport mobiles list' 'BOAT1' 'TRUCK7'
expect '^quickstart ' 'the host shows QUICKSTART at latitude 32.648567, longitude -108.374100, 1577 m'
expect '^quickstart-mingw *$' 'the host shows QUICKSTART at'
expect '^quickstart-mingw .*exit 1' 'OrvekGPSPort_Init failed' 'ORVEKPORT_E_OPEN_REPLY (8)'
echo "ok: the client, the feed and the quick start (cl and mingw-w64) printed what the README says"

host_folder="$WINEPREFIX/drive_c/orvek-host"
[[ $(head -c 8 "$host_folder/map.png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] ||
  fail "export-view left no PNG in C:\\orvek-host"
echo "ok: the emulator drew map.png"

# The sample waypoints came back from the host, in its GPX export, with the
# same names, descriptions, positions and icons.
python3 - "$sdk/examples/waypoints.gpx" "$sdk/x64/bin/waypoints.gpx" <<'PY' ||
import sys
import xml.etree.ElementTree as ET

def waypoints(path):
    found = {}
    for wpt in ET.parse(path).getroot():
        if not wpt.tag.endswith("}wpt"):
            continue
        text = {child.tag.split("}")[1]: (child.text or "") for child in wpt}
        found[text["name"]] = (text.get("desc", ""), float(wpt.get("lat")),
                               float(wpt.get("lon")),
                               float(text.get("ele", "0")), text.get("sym", ""))
    return found

sample, exported = waypoints(sys.argv[1]), waypoints(sys.argv[2])
wrong = [f"{name}: sent {value}, exported {exported.get(name)}"
         for name, value in sample.items() if exported.get(name) != value]
for line in wrong:
    print(line)
sys.exit(1 if wrong or not sample else 0)
PY
  fail "the sample waypoints did not come back as they were imported"
echo "ok: the sample waypoints came back in the host's GPX export unchanged"
