#!/usr/bin/env python3
"""Compares the fixes the host emulator received with gpsd's decoding of the
same log (NAME.log.chk): one fix per epoch whose last TPV report has mode 2
or 3 and a position, in order; latitude and longitude within a thousandth of
a minute, altitude within 1 m where the mode is 3.

usage: check_fixes.py HOST_LOG FIRST_LINE CHK [NAME]
Reads the host log from line FIRST_LINE (1-based) on, only fixes whose first
text is NAME when given. Prints the counts; exit 1 on any mismatch."""
import json
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../../tools/common"))
import host_log  # noqa: E402

# A receiver that stamps one sentence of each cycle a second late (garmin48's
# GLL) has gpsd report some epochs at the late stamp; the feed keeps the
# cycle's first stamp.
TIME_TOLERANCE_MS = 1000
# A thousandth of a minute is the sentence's precision; the DLL truncates,
# so a value may land one unit below, plus the binary rounding of doubles.
MINUTE_TOLERANCE = 0.001 + 1e-6
ALTITUDE_TOLERANCE_M = 1.0

TIMED = {"GGA": 1, "RMC": 1, "GNS": 1, "GLL": 5}


def time_ms(text):
    """'113258.00' or '2022-10-18T11:32:58.000Z' to ms since midnight."""
    m = re.search(r"(\d\d):?(\d\d):?(\d\d)(\.\d+)?Z?$", text or "")
    if not m:
        return None
    h, mi, s = int(m.group(1)), int(m.group(2)), int(m.group(3))
    frac = float(m.group(4)) if m.group(4) else 0.0
    return (h * 3600 + mi * 60 + s) * 1000 + round(frac * 1000)


def expected_fixes(chk_path):
    """The last TPV of each epoch, for the epochs that have a position."""
    groups = []  # [key, last TPV]
    sentence_time = None
    for line in open(chk_path, encoding="utf-8", errors="replace"):
        line = line.strip()
        if line.startswith("$"):
            fields = line.split("*")[0].split(",")
            kind = fields[0][3:]
            if kind in TIMED and len(fields) > TIMED[kind]:
                sentence_time = time_ms(fields[TIMED[kind]]) or sentence_time
            continue
        if not line.startswith("{"):
            continue
        report = json.loads(line)
        if report.get("class") != "TPV":
            continue
        key = time_ms(report.get("time")) if "time" in report else sentence_time
        if groups and groups[-1][0] == key:
            groups[-1][1] = report
        else:
            groups.append([key, report])
    fixes = []
    for key, tpv in groups:
        if tpv.get("mode", 0) >= 2 and "lat" in tpv and "lon" in tpv:
            fixes.append((key, tpv))
    return fixes, len(groups)


def received_fixes(log_path, first_line, name):
    return [{
        "lat_min": fix["latitude"] * 60,
        "lon_min": fix["longitude"] * 60,
        "alt": fix["altitude"],
        "time": time_ms(fix["description"]),
        "sats": fix["satellites"],
    } for fix in host_log.received_fixes(log_path, first_line, name)]


def main():
    log_path, first_line, chk_path = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    name = sys.argv[4] if len(sys.argv) > 4 else None
    expected, epochs = expected_fixes(chk_path)
    got = received_fixes(log_path, first_line, name)
    problems = []
    if len(got) != len(expected):
        problems.append(f"{len(got)} fixes received, {len(expected)} expected")
    altitudes = 0
    for i, ((key, tpv), fix) in enumerate(zip(expected, got)):
        where = f"fix {i + 1} (epoch {key} ms)"
        if key is not None and fix["time"] is not None and abs(key - fix["time"]) > TIME_TOLERANCE_MS:
            problems.append(f"{where}: time {fix['time']} ms")
        for axis, value in (("lat_min", tpv["lat"]), ("lon_min", tpv["lon"])):
            if abs(fix[axis] - value * 60) > MINUTE_TOLERANCE:
                problems.append(f"{where}: {axis} {fix[axis]:.4f}, gpsd {value * 60:.4f}")
        # gpsd carries an altitude over into epochs that have none of
        # their own (a lone GLL); the feed sends 0 then, and 0 satellites,
        # since both come from the epoch's GGA or GNS.
        if tpv["mode"] >= 3 and ("altMSL" in tpv or "alt" in tpv) and fix["sats"] > 0:
            altitudes += 1
            want = tpv.get("altMSL", tpv.get("alt"))
            if abs(fix["alt"] - want) > ALTITUDE_TOLERANCE_M:
                problems.append(f"{where}: altitude {fix['alt']}, gpsd {want}")
    print(f"{chk_path.split('/')[-1]}: {epochs} epochs in gpsd's reports, "
          f"{len(expected)} with a position, {len(got)} fixes received, "
          f"{altitudes} altitudes checked")
    for problem in problems[:20]:
        print("  MISMATCH " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
