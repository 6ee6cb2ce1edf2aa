#!/usr/bin/env bash
# Builds everything and runs every test: the native unit tests (plain and
# under AddressSanitizer and UndefinedBehaviorSanitizer) and source checks
# (layers, public header, ARM compile), a short run of each fuzz harness,
# the x86_64 and i686 Windows builds, and for each of them (for i686 only
# where the machine runs 32-bit Wine: scripts/machine-32bit.sh) the Wine
# integration tests, the client's tests, the heap check, the DLL table
# checks and the package consumers (install, find_package and
# add_subdirectory, run under Wine), and for x86_64 the position feed's runs
# under Wine (feed_replay, feed_picture, feed_tcp, feed_serial, feed_gpsd,
# feed_failures, feed_bounds: tests/feed/feed-tests.sh), the tools in shell
# pipes (shell_pipes, shell_hints: tests/wine/shell-tests.sh) and the GPX
# files checked with gpsbabel (gpx_files: tests/gpx/gpx-tests.sh); then the
# release archive (scripts/release.sh from these builds) and its consumers
# (tests/release/run.sh). Exits non-zero on the first failure.
#
# Build directories are build/native, build/win64 and build/win32 (the
# presets' own); ORVEK_BUILD_ROOT puts them elsewhere, and WINEPREFIX, when
# set, chooses the Wine prefix (default build/wineprefix).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
build_root="${ORVEK_BUILD_ROOT:-$repo/build}"
jobs="${ORVEK_JOBS:-2}"
started=$SECONDS

section() { printf '\n==== %s (at %d s) ====\n' "$*" "$((SECONDS - started))"; }

# Runs ctest, adds its counts to the totals, and stops the script on a
# failure after saying how far it got.
passed=0
failed=0
run_ctest() {
  local log rc counts
  log="$(mktemp)"
  set +e
  ctest "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  set -e
  counts="$(grep -Eo '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  rm -f "$log"
  if [[ $counts =~ ^([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+)$ ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  if ((rc != 0)); then
    printf '\ntests: %d passed, %d failed\n' "$passed" "$((failed > 0 ? failed : 1))"
    exit "$rc"
  fi
}

configure_and_build() {
  local preset="$1"
  section "configure and build: $preset"
  cmake --preset "$preset" -B "$build_root/$preset"
  cmake --build "$build_root/$preset" -j "$jobs"
}

section "dependencies"
wine32_error_file="$build_root/wine32-install-error.txt"
ORVEK_WINE32_ERROR_FILE="$wine32_error_file" bash scripts/install-deps.sh

configure_and_build native
section "unit tests and source checks (native)"
run_ctest --test-dir "$build_root/native" --output-on-failure -j "$jobs"

configure_and_build native-asan
section "unit tests (native, AddressSanitizer + UndefinedBehaviorSanitizer)"
run_ctest --test-dir "$build_root/native-asan" --output-on-failure -j "$jobs"

section "fuzz smoke (each harness ${ORVEK_FUZZ_SECONDS:-10} s)"
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

configure_and_build win64
configure_and_build win32

section "Wine prefix"
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
# Whatever happens from here on, no Wine process of ours outlives the run.
trap wine_stop EXIT
echo "WINEPREFIX=$WINEPREFIX"

# The two builds share the prefix (WoW64) and with it the emulator's window
# class, event and registry value: one after the other, never together.
section "Wine integration, client, feed runs, heap check, DLL tables and package (win64)"
run_ctest --test-dir "$build_root/win64" --output-on-failure

note=""
# shellcheck source=machine-32bit.sh
. scripts/machine-32bit.sh
if orvek_wine32_usable; then
  section "Wine integration, client, heap check, DLL tables and package (win32, WoW64)"
  run_ctest --test-dir "$build_root/win32" --output-on-failure
else
  # Without 32-bit Wine the i686 build is checked but not run.
  note="NOTE: $(orvek_no_32bit_note)."
  [[ -f "$wine32_error_file" ]] && note+=" apt's words: $wine32_error_file"
  section "DLL tables (win32); its Wine tests skipped: $ORVEK_32BIT_REASON"
  run_ctest --test-dir "$build_root/win32" --output-on-failure -R '^dll_tables_'
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
# runs (run.sh asks the same question).
timeout 300 bash tests/release/run.sh "$archive" "$build_root/release-test" 2>&1 |
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
