#!/usr/bin/env bash
# The main demonstration: builds OrvekPORT.dll for x86_64, installs the host
# emulator into the build tree, registers it where the library looks for the
# host application, and runs orvek-demo.exe under Wine. The DLL finds the
# emulator not running and starts it through the shell. Afterwards it shows
# the emulator's log (every byte that crossed) and stops Wine.
#
#   bash scripts/demo.sh
#
# ORVEK_BUILD_DIR (default build/win64) and WINEPREFIX (default
# build/wineprefix) may be set to keep apart from other builds.
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
build="${ORVEK_BUILD_DIR:-$repo/build/win64}"

step() { printf '\n### %s\n' "$*"; }

step "Dependencies"
bash scripts/install-deps.sh

step "Build (win64 preset)"
cmake --preset win64 -B "$build" >/dev/null
cmake --build "$build" -j 2 --target OrvekPORT orvek-host orvek-demo

step "Wine prefix"
# shellcheck source=wine-env.sh
. scripts/wine-env.sh
echo "WINEPREFIX=$WINEPREFIX"
# No emulator may be running: the DLL is to start it itself. Ending this
# prefix's wineserver ends every Wine program that a previous run left.
wine_stop
trap wine_stop EXIT

step "Install the host emulator"
# shellcheck source=host-emulator.sh
. scripts/host-emulator.sh
install_host_emulator "$build" demo-host
# Moving-map entries the host knows from the start, one per receiver log:
# latitude,longitude,altitude,name,description.
cat >"$HOST_DIR/orvek-host.mobiles" <<'EOF'
# Seed mobiles of the demo (positions from the gpsd project's receiver logs)
-37.784788,175.314897,59.9,KIWI1,BU-353S4 at Hamilton (bu353s4.log)
20.628799,-87.068080,-30.4,PLAYA1,AC12 at Playa del Carmen (ac12.log)
EOF
echo "Path_EXE = $HOST_PATH"

step "Run orvek-demo.exe"
demo_status=0
timeout 120 wine "$build/tools/orvek-demo/orvek-demo.exe" || demo_status=$?

step "Stop the host emulator"
stop_host_emulator

step "What the host emulator saw ($HOST_DIR/orvek-host.log)"
cat "$HOST_DIR/orvek-host.log" 2>/dev/null || echo "(no log: the emulator never ran)"

wine_stop
trap - EXIT
if (( demo_status == 0 )); then
  step "Demo finished: every step succeeded"
else
  step "Demo finished with exit code $demo_status"
fi
exit "$demo_status"
