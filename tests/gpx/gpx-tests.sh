#!/usr/bin/env bash
# GPX files through the client and the feed under Wine, against the host
# emulator, with gpsbabel as the independent reader and writer:
#   gpx-tests.sh BUILD_DIR
# 1. a list -> gpsbabel GPX 1.0 -> waypoint import -> host -> waypoint
#    export -> gpsbabel gives back the list, icons (named or numbered)
#    included; the same from GPX 1.1 with --replace; our own export imports
#    back to the same file;
# 2. files refused whole: exit 2, a clear message, nothing sent;
# 3. waypoints refused one by one (by the library, by the host): the rest
#    go, each refused one named with its status;
# 4. orvek-feed --track: gpsbabel reads one point per fix the host accepted,
#    in order, with times, a new segment after a refused fix, and a whole
#    file after SIGTERM; mobiles export.
set -uo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
# shellcheck source=../../scripts/wine-env.sh
. "$repo/scripts/wine-env.sh"
# shellcheck source=../../scripts/host-emulator.sh
. "$repo/scripts/host-emulator.sh"

client="$build/tools/orvekport/orvekport.exe"
feed="$build/tools/orvek-feed/orvek-feed.exe"
garmin="$repo/tests/feed/nmea/garmin15x.log"
work="$(mktemp -d)"
install_host_emulator "$build" gpx-files
log="$HOST_DIR/orvek-host.log"

trap 'stop_host_emulator; rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The emulator started by the first call inherits the output: a file, never
# a pipe. Sets rc; the output is in $work/out.
client() { timeout 60 wine "$client" "$@" > "$work/out" 2>&1; rc=$?; }
# Requests of the kinds given ("M|", "N|") the host received so far.
requests() { host_log count "$log" recv "$@"; }
to_csv() { gpsbabel "$@" -o unicsv -F - 2>&1 | tr -d '\r'; }

# ---- 1. Round trip ---------------------------------------------------------
# Both hemispheres, both sides of the date line, the poles' latitudes, depths
# below the sea, and names with XML's markup and characters beyond ASCII
# (all within code page 1252, the prefix's). No text holds a comma: the
# host's record is split at commas, which import refuses (below).
cat > "$work/list.csv" <<'CSV'
Name,Latitude,Longitude,Altitude,Description,Symbol
OPERA,-33.856784,151.215297,4.5,Opera & Quay,12
"Q<uote""s>",51.477928,-0.001545,46.25,"said ""hi"" & left",Flag Blue
Café Zürich,47.376887,8.541694,408,Bahnhof <Ost>,7
DATELINE E,-16.5,179.999999,2.25,Fiji side,1
DATELINE W,-16.5,-179.999999,0,Samoa side,1
DEAD SEA,31.5,35.5,-430.5,below the sea,0
CHALLENGER,11.373333,142.591667,-10925,Mariana trench,0
McMurdo,-77.846323,166.668235,10,Antarctica,44
Longyearbyen,78.223,15.6468,12.75,Svalbard,anchor
Ñandú 'ñ',-34.603722,-58.381592,25,Buenos Aires,9
PRIME,0,0,0,where the lines cross,2
SOUTH POLE,-90,0,2835,Amundsen–Scott,6
CSV
gpsbabel -i unicsv -f "$work/list.csv" -o gpx -F "$work/list10.gpx" &&
  gpsbabel -i unicsv -f "$work/list.csv" -o gpx,gpxver=1.1 -F "$work/list11.gpx" ||
  { echo "gpsbabel could not write the list"; exit 1; }
to_csv -i gpx -f "$work/list10.gpx" > "$work/want.csv"
[[ $(wc -l < "$work/want.csv") -eq 13 ]] || { echo "gpsbabel read back: $(cat "$work/want.csv")"; exit 1; }

client waypoint import "$work/list10.gpx"
[[ $rc -eq 0 ]] || fail "import of gpsbabel's GPX 1.0: exit $rc: $(cat "$work/out")"
host_log details "$log" recv | grep -qxF 'M|OPERA,Opera & Quay,151.215297,-33.856784,4.500000,12\n' ||
  fail "the host did not get OPERA as sent"
client waypoint export "$work/back.gpx"
[[ $rc -eq 0 ]] || fail "export: exit $rc: $(cat "$work/out")"
to_csv -i gpx -f "$work/back.gpx" > "$work/got.csv"
diff "$work/want.csv" "$work/got.csv" > "$work/diff" ||
  fail "round trip through the host differs (want < > got):$(echo; cat "$work/diff")"

# The same list as GPX 1.1, replacing: every id is deleted first, then sent.
deleted_before="$(requests 'N|')"
client waypoint import --replace "$work/list11.gpx"
[[ $rc -eq 0 && $(($(requests 'N|') - deleted_before)) -eq 12 ]] ||
  fail "import --replace of GPX 1.1: exit $rc, $(($(requests 'N|') - deleted_before)) deleted"
client waypoint export "$work/back11.gpx"
to_csv -i gpx -f "$work/back11.gpx" | diff "$work/want.csv" - > /dev/null ||
  fail "the GPX 1.1 round trip differs"

# Our own export, imported again in place of what it came from, exports
# to the same bytes: icons, names, positions and descriptions.
client waypoint import --replace "$work/back11.gpx"
[[ $rc -eq 0 ]] || fail "import of our own export: exit $rc: $(cat "$work/out")"
client waypoint export "$work/again.gpx"
cmp -s "$work/back11.gpx" "$work/again.gpx" ||
  fail "our own export does not import back the same: $(diff "$work/back11.gpx" "$work/again.gpx")"

# ---- 2. Files refused whole --------------------------------------------------
head -c 700 "$work/list10.gpx" > "$work/truncated.gpx"
printf 'No,Name\n1,OPERA\n' > "$work/not-xml.gpx"
printf '<?xml version="1.0"?>\n<kml xmlns="http://www.opengis.net/kml/2.2"/>\n' > "$work/kml.gpx"
sed 's/<wpt lat="51.477928000" lon="-0.001545000">/<wpt lat="51.477928000">/' \
  "$work/list10.gpx" > "$work/no-lon.gpx"
long_id="$(printf 'W%.0s' $(seq 100))"
sed "s/<name>PRIME</<name>$long_id</" "$work/list10.gpx" > "$work/long-id.gpx"
sed 's/<name>PRIME</<name>PRIME, EAST</' "$work/list10.gpx" > "$work/comma.gpx"
sed 's/<name>PRIME</<name>東京</' "$work/list10.gpx" > "$work/cjk.gpx"
sed 's/<name>PRIME</<name> </' "$work/list10.gpx" > "$work/no-name.gpx"
sent_before="$(requests 'M|' 'N|')"
while IFS='|' read -r file message; do
  client waypoint import "$work/$file"
  [[ $rc -eq 2 ]] || fail "$file: exit $rc, expected 2"
  grep -qF -- "$message" "$work/out" || fail "$file: no '$message' in: $(cat "$work/out")"
done <<'TABLE'
missing.gpx|can't open it
not-xml.gpx|not XML
kml.gpx|not GPX: the root element is <kml>
truncated.gpx|cut off
no-lon.gpx|line 12, column 4: <wpt> without its lon attribute
long-id.gpx|name is 100 bytes; a waypoint reads back texts of at most 99
comma.gpx|'PRIME, EAST' (line 75): name holds a comma
cjk.gpx|can't hold: '東', '京'; --lossy
no-name.gpx|<wpt> at line 75 has no <name>
TABLE
[[ "$(requests 'M|' 'N|')" -eq "$sent_before" ]] || fail "a refused file changed the host"

# ---- 3. Waypoints refused one by one -----------------------------------------
# A body over the request line's 196 characters (the library's 11), and one
# the host refuses (its E| answer is shown): the others still go.
long_text="$(printf 'd%.0s' $(seq 99))"
cat > "$work/some-refused.gpx" <<GPX
<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">
  <wpt lat="1" lon="2"><name>FIRST</name></wpt>
  <wpt lat="1" lon="2"><name>${long_text:0:90}</name><desc>$long_text</desc></wpt>
  <wpt lat="3" lon="4"><name>REFUSED</name><sym>flag</sym></wpt>
  <wpt lat="5" lon="6"><name>
    LAST </name><desc>two
lines</desc></wpt>
</gpx>
GPX
echo 'when=M|REFUSED, reply E|no room' > "$HOST_DIR/orvek-host.faults"
client --json waypoint import "$work/some-refused.gpx"
rm -f "$HOST_DIR/orvek-host.faults"
python3 - "$work/out" "$rc" <<'PY' || fail "waypoints refused one by one: $(cat "$work/out")"
import json, sys
report = json.loads(open(sys.argv[1], encoding="utf-8").read())
failures = [(f["name"][:4], f["status_name"], f.get("host_answered", ""))
            for f in report["failures"]]
assert int(sys.argv[2]) == 11, sys.argv[2]
assert report["fields"]["imported"] == 2 and report["fields"]["failed"] == 2, report
assert failures == [("dddd", "E_TOO_LONG", ""), ("REFU", "E_READ_REPLY", "E|no room")], failures
PY
# The symbol went as the icon's name.
host_log details "$log" recv | grep -q '^M|REFUSED,,4.000000,3.000000,0.000000,flag' ||
  fail "the symbol flag was not sent as the icon"
# Pretty-printed texts go on one line, trimmed.
host_log details "$log" recv | grep -q '^M|LAST,two lines,6.000000,5.000000,' ||
  fail "the waypoint after the refused ones was not sent on one line"

# ---- 4. The feed's track, and the mobiles ------------------------------------
# garmin15x's fourth fix is refused: six points in two segments.
echo 'when=E|$AAGGAM,,3238.913,N,10822.451, reply E|refused' > "$HOST_DIR/orvek-host.faults"
first=$(( $(host_log lines "$log") + 1 ))
timeout 60 wine "$feed" --fast --quiet --name TRK7 --track "$work/track.gpx" "$garmin" \
  > "$work/feed.out" 2>&1
rc=$?
rm -f "$HOST_DIR/orvek-host.faults"
[[ $rc -eq 1 ]] || fail "feed with a refused fix: exit $rc: $(cat "$work/feed.out")"
grep -qF 'track: 6 points in 2 segments' "$work/feed.out" || fail "track summary: $(cat "$work/feed.out")"
[[ "$(grep -c '<trkseg>' "$work/track.gpx")" -eq 2 ]] || fail "track: not two segments"
to_csv -t -i gpx -f "$work/track.gpx" > "$work/track.csv"
PYTHONPATH="$repo/tools/common" python3 - "$log" "$first" "$work/track.csv" <<'PY' ||
import csv, sys, host_log
accepted = [(f["latitude"], f["longitude"], f["altitude"], f["description"][:6])
            for f in host_log.received_fixes(sys.argv[1], int(sys.argv[2]))
            if f["accepted"]]
points = list(csv.DictReader(open(sys.argv[3], encoding="utf-8")))
assert len(accepted) == 6 and len(points) == 6, (len(accepted), len(points))
for (lat, lon, alt, hhmmss), p in zip(accepted, points):
    # The sentence keeps a thousandth of a minute, truncated.
    assert abs(float(p["Latitude"]) - lat) < 0.0011 / 60, (p, lat)
    assert abs(float(p["Longitude"]) - lon) < 0.0011 / 60, (p, lon)
    assert abs(float(p["Altitude"]) - alt) < 1, (p, alt)
    assert p["Date"] == "2022/10/18" and p["Time"].replace(":", "") == hhmmss, (p, hhmmss)
print("track: %d points match the host's accepted fixes" % len(points))
PY
  fail "track against the host's fixes"

# Ended by SIGTERM while paced (a fix a second): the file on disk is whole
# with the points written so far.
timeout -s TERM 2.5 wine "$feed" --quiet --name TRK7 --track "$work/cut-short.gpx" "$garmin" \
  > "$work/feed.out" 2>&1
points="$(to_csv -t -i gpx -f "$work/cut-short.gpx" | tail -n +2 | wc -l)"
(( points >= 1 && points < 7 )) && [[ "$(tail -n 1 "$work/cut-short.gpx")" == "</gpx>" ]] ||
  fail "track after SIGTERM: $points points: $(tail -n 3 "$work/cut-short.gpx")"

client --json mobiles list
python3 -c '
import json, sys
for m in json.load(open(sys.argv[1]))["mobiles"]:
    print("%.6f,%.6f,%s" % (m["latitude"], m["longitude"], m["name"]))' "$work/out" \
  > "$work/mobiles-want.csv"
client mobiles export "$work/mobiles.gpx"
[[ $rc -eq 0 ]] || fail "mobiles export: exit $rc: $(cat "$work/out")"
to_csv -i gpx -f "$work/mobiles.gpx" | tail -n +2 |
  python3 -c '
import csv, sys
for r in csv.reader(sys.stdin):
    print("%.6f,%.6f,%s" % (float(r[1]), float(r[2]), r[3]))' > "$work/mobiles-got.csv"
grep -q TRK7 "$work/mobiles-want.csv" &&
  diff "$work/mobiles-want.csv" "$work/mobiles-got.csv" > /dev/null ||
  fail "mobiles export: $(cat "$work/mobiles-want.csv") against $(cat "$work/mobiles-got.csv")"

[[ $failures -eq 0 ]] && echo "gpx: all passed"
exit $((failures > 0))
