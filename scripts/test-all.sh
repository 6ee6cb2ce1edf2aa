#!/usr/bin/env bash
# Builds everything and runs every test. The Windows builds come first, and
# their Wine runs (x86_64, and i686 in a prefix of its own) go on in the
# background while the native builds, the sanitizers and the fuzz smoke use
# the cores. In all: the native unit tests (plain and
# under AddressSanitizer and UndefinedBehaviorSanitizer) and source checks
# (layers, public header, ARM compile), a short run of each fuzz harness,
# the x86_64 and i686 Windows builds, and for each of them (for i686 only
# where the machine runs 32-bit Wine: scripts/machine-32bit.sh) the Wine
# integration tests, the client's tests, the heap check, the DLL table
# checks and the package consumers (install, find_package and
# add_subdirectory, run under Wine), and for x86_64 the position feed's runs
# under Wine (feed_replay, feed_picture, feed_tcp, feed_serial, feed_gpsd,
# feed_failures, feed_bounds: tests/feed/feed-tests.sh), the tools in shell
# pipes (shell_pipes, shell_hints: tests/wine/shell-tests.sh), the GPX
# files checked with gpsbabel (gpx_files: tests/gpx/gpx-tests.sh) and a
# minute of the chaos soak (soak_chaos: scripts/soak.sh --chaos); the call
# table for x86_64 (call_table_x86_64: tests/arm); then Windows on ARM: the
# ARM64 and ARMv7 builds (made beside the fuzz smoke), their DLL tables,
# their compiler helpers and "%f" writer run under qemu-user
# (arm_helpers_run), and the call table under the ARM64 Wine, whose requests
# must be byte-identical to the x86_64 run's ("ARM64: N calls, requests
# byte-identical to x86_64", or one line why it could not run here); its
# Wine is made ready in the background from the start
# (tests/arm/arm64-wine.sh). Last the release archive (scripts/release.sh
# from these builds) and its consumers (tests/release/run.sh), ARM64 ones
# included. Exits non-zero on the first failure.
#
# Build directories are build/native, build/win64, build/win32,
# build/winarm64 and build/winarmv7 (the presets' own); ORVEK_BUILD_ROOT puts
# them elsewhere, and WINEPREFIX, when set, chooses the Wine prefix (default
# build/wineprefix; the ARM64 one is build/wineprefix-arm64, its packages in
# /var/cache/orvekport/arm64-wine or ORVEK_ARM64_WINE_CACHE).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
build_root="${ORVEK_BUILD_ROOT:-$repo/build}"
jobs="${ORVEK_JOBS:-2}"
started=$SECONDS

section() { printf '\n==== %s (at %d s) ====\n' "$*" "$((SECONDS - started))"; }

# Adds the counts of a ctest run (its log and exit code) to the totals, and
# stops the script on a failure after saying how far it got.
passed=0
failed=0
tally_ctest() {
  local log="$1" rc="$2" counts
  counts="$(grep -Eo '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  if [[ $counts =~ ^([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+)$ ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  if ((rc != 0)); then
    printf '\ntests: %d passed, %d failed\n' "$passed" "$((failed > 0 ? failed : 1))"
    exit "$rc"
  fi
}
run_ctest() {
  local log rc
  log="$(mktemp)"
  set +e
  ctest "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  set -e
  tally_ctest "$log" "$rc"
  rm -f "$log"
}

configure_and_build() {
  local preset="$1"
  section "configure and build: $preset"
  cmake --preset "$preset" -B "$build_root/$preset"
  cmake --build "$build_root/$preset" -j "$jobs"
}

# Jobs started in the background end with the script, whatever the way out,
# and so do the Wine processes of the prefix.
background=()
finish() {
  local pid
  for pid in "${background[@]}"; do kill "$pid" 2>/dev/null || true; done
  if declare -F wine_stop >/dev/null; then wine_stop; fi
  local prefix
  for prefix in "${WINEPREFIX:-$repo/build/wineprefix}" "$build_root/wineprefix-i686"; do
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  done
}
trap finish EXIT
# Waits for a background job; prints its log and stops the script when it
# failed.
join() {
  local pid="$1" log="$2" what="$3"
  if ! wait "$pid"; then
    cat "$log"
    printf '\n%s failed\ntests: %d passed, %d failed\n' "$what" "$passed" "$((failed + 1))"
    exit 1
  fi
}

section "dependencies"
wine32_error_file="$build_root/wine32-install-error.txt"
ORVEK_WINE32_ERROR_FILE="$wine32_error_file" bash scripts/install-deps.sh

# The ARM64 Wine's slow set-up (its packages into the machine's cache when
# they are not there yet, then its prefix: wineboot under qemu) runs in the
# background from here on; the ARM stage joins it.
mkdir -p "$build_root"
export ORVEK_ARM64_WINEPREFIX="$build_root/wineprefix-arm64"
arm64_log="$build_root/arm64-wine-prepare.log"
bash tests/arm/arm64-wine.sh prepare >"$arm64_log" 2>&1 &
arm64_pid=$!
background+=("$arm64_pid")

# The Windows builds come first: their Wine runs mostly wait on the
# emulator's time-outs, so they go on in the background while the native
# builds, the sanitizers and the fuzz smoke use the cores.
configure_and_build win64
configure_and_build win32

# Each Wine run has a prefix of its own, and with it a Wine server of its
# own: its own windows, named objects and registry, which the emulators'
# window class, event and Path_EXE would otherwise share. Its ctest output
# goes to build/wine-NAME.log and is shown when it is joined.
declare -A wine_pids=()
start_wine_run() {  # NAME PREFIX BUILD [CTEST ARGUMENTS]
  local name="$1" prefix="$2" build="$3"
  shift 3
  (
    export WINEPREFIX="$prefix"
    # shellcheck source=wine-env.sh
    . scripts/wine-env.sh
    set +e
    ctest --test-dir "$build" --output-on-failure "$@" >"$build_root/wine-$name.log" 2>&1
    echo $? >"$build_root/wine-$name.log.rc"
    wine_stop
  ) &
  wine_pids[$name]=$!
  background+=("$!")
}
join_wine_run() {  # NAME TITLE
  local log="$build_root/wine-$1.log"
  section "$2"
  wait "${wine_pids[$1]}" || true
  cat "$log"
  tally_ctest "$log" "$(cat "$log.rc" 2>/dev/null || echo 1)"
}

section "Wine runs started (x86_64; i686 beside it where 32-bit Wine runs)"
x64_prefix="${WINEPREFIX:-$repo/build/wineprefix}"
i686_prefix="$build_root/wineprefix-i686"
rm -f "$build_root"/wine-*.log.rc
start_wine_run x64 "$x64_prefix" "$build_root/win64"
note=""
# shellcheck source=machine-32bit.sh
. scripts/machine-32bit.sh
if orvek_wine32_usable; then
  start_wine_run i686 "$i686_prefix" "$build_root/win32"
else
  # Without 32-bit Wine the i686 build is checked but not run.
  note="NOTE: $(orvek_no_32bit_note)."
  [[ -f "$wine32_error_file" ]] && note+=" apt's words: $wine32_error_file"
fi
if [[ -z "$note" ]]; then
  echo "x86_64 in $x64_prefix; i686 in $i686_prefix"
else
  echo "x86_64 in $x64_prefix; i686 not run"
fi

configure_and_build native
section "unit tests and source checks (native)"
run_ctest --test-dir "$build_root/native" --output-on-failure -j "$jobs"

configure_and_build native-asan
section "unit tests (native, AddressSanitizer + UndefinedBehaviorSanitizer)"
run_ctest --test-dir "$build_root/native-asan" --output-on-failure -j "$jobs"

# The fuzz harnesses run one at a time, so the ARM builds take the other
# core meanwhile.
arm_build_log="$build_root/arm-builds.log"
(for preset in winarm64 winarmv7; do
   section "configure and build: $preset"
   cmake --preset "$preset" -B "$build_root/$preset" && cmake --build "$build_root/$preset" -j 1
 done) >"$arm_build_log" 2>&1 &
arm_build_pid=$!
background+=("$arm_build_pid")

section "fuzz smoke (each harness ${ORVEK_FUZZ_SECONDS:-10} s; the ARM builds beside it)"
fuzz_log="$(mktemp)"
set +e
bash scripts/fuzz.sh "${ORVEK_FUZZ_SECONDS:-10}" 2>&1 | tee "$fuzz_log"
fuzz_rc=${PIPESTATUS[0]}
set -e
fuzz_found="$(grep -cE ' [1-9][0-9]* findings' "$fuzz_log" || true)"
fuzz_clean="$(grep -cE ' 0 findings' "$fuzz_log" || true)"
rm -f "$fuzz_log"
passed=$((passed + fuzz_clean))
failed=$((failed + fuzz_found))
if ((fuzz_rc != 0)); then
  printf '\ntests: %d passed, %d failed\n' "$passed" "$((failed > 0 ? failed : 1))"
  exit "$fuzz_rc"
fi

join "$arm_build_pid" "$arm_build_log" "the ARM builds (winarm64, winarmv7)"
cat "$arm_build_log"

join_wine_run x64 "Wine integration, client, feed runs, chaos soak, heap check, DLL tables and package (win64, prefix $x64_prefix)"
if [[ -z "$note" ]]; then
  join_wine_run i686 "Wine integration, client, heap check, DLL tables and package (win32, WoW64, prefix $i686_prefix)"
else
  section "DLL tables (win32); its Wine tests skipped: $ORVEK_32BIT_REASON"
  run_ctest --test-dir "$build_root/win32" --output-on-failure -R '^dll_tables_'
fi
# The release stage below runs in the x86_64 prefix.
# shellcheck source=wine-env.sh
. scripts/wine-env.sh

# Windows on ARM: both DLLs' tables, the compiler helpers and the "%f"
# writer run as ARM code under qemu-user, and the call table under the
# ARM64 Wine, whose requests must be those of the x86_64 run above (or one
# line saying why it could not run here).
section "ARM: DLL tables, helpers under qemu, the call table under ARM64 Wine"
run_ctest --test-dir "$build_root/winarmv7" --output-on-failure
run_ctest --test-dir "$build_root/winarm64" --output-on-failure
join "$arm64_pid" "$arm64_log" "the ARM64 Wine's set-up"
cat "$arm64_log"
if ! grep -q '^ARM64: not run:' "$arm64_log"; then
  arm64_table_log="$build_root/arm64-call-table.log"
  set +e
  timeout 300 bash tests/arm/call-table.sh arm64 "$build_root/winarm64/tests/arm/table" \
    "$build_root/winarm64/tests/arm/run" "$build_root/win64/tests/arm/run" 2>&1 |
    tee "$arm64_table_log"
  arm64_rc=${PIPESTATUS[0]}
  set -e
  if ((arm64_rc != 0)); then
    printf '\ntests: %d passed, %d failed\n' "$passed" "$((failed + 1))"
    exit "$arm64_rc"
  fi
  passed=$((passed + $(grep -c 'requests byte-identical' "$arm64_table_log" || true)))
fi

# The SDK archive from these two builds (their DLLs, unchanged), unpacked
# into an empty folder and used as a developer would: mingw-w64 consumers
# through find_package and MSVC-ABI ones through OrvekPORT.lib, for both
# architectures, against the archive's emulator and client.
section "release archive and its consumers"
release_log="$(mktemp)"
ORVEK_BUILD_ROOT="$build_root" ORVEK_DEPS_CHECKED=1 bash scripts/release.sh |
  tee "$release_log"
# release.sh prints the archive's path last.
archive="$(tail -n 1 "$release_log")"
set +e
# The x86_64 consumers run on any machine; the i686 ones where 32-bit Wine
# runs (run.sh asks the same question); the ARM64 one where the ARM64 Wine
# does, against the call table's scripted ARM64 host.
timeout 300 bash tests/release/run.sh "$archive" "$build_root/release-test" \
  "$build_root/winarm64/tests/arm/table/host/script-host.exe" 2>&1 |
  tee "$release_log"
release_rc=${PIPESTATUS[0]}
set -e
passed=$((passed + $(grep -c '^ok:' "$release_log" || true)))
rm -f "$release_log"
if ((release_rc != 0)); then
  printf '\ntests: %d passed, %d failed\n' "$passed" "$((failed + 1))"
  exit "$release_rc"
fi

section "all tests passed in $((SECONDS - started)) s"
[[ -n "$note" ]] && printf '%s\n' "$note"
printf 'tests: %d passed, %d failed\n' "$passed" "$failed"
