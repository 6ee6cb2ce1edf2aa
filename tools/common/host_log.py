#!/usr/bin/env python3
"""The emulator's log, orvek-host.log, for the scripts: the one reader of its
grammar in Python (host_log_format.h beside this file is the C++ one).

A line is the time, a blank, a one-word event and, when there is one, a blank
and its detail; request and reply bytes are escaped (\\n \\r \\t \\\\ \\xNN):

    14:02:31.207 start pid 32 in Z:\\...\\run\\LateAnswer
    14:02:31.301 recv F|0\\n
    14:02:31.302 send G|orvek-host 3

As a module: lines(), events(), unescape(), received_fixes(). As a command,
for shell scripts (LOG is the log's path; --from N starts at line N, 1 the
first; --from-byte N at byte offset N):

    host_log.py details LOG EVENT [--from N] [--from-byte N]
        the detail of every EVENT line, one a line, escaped as in the log
    host_log.py count LOG EVENT [PREFIX...] [--from N] [--from-byte N]
        how many EVENT lines have a detail beginning with a PREFIX (with
        none given: how many EVENT lines)
    host_log.py last-start LOG
        the process id of the last start line (nothing when none)
    host_log.py stopped LOG PID
        exit 0 when process PID has logged its stop line
    host_log.py lines LOG
        how many whole lines the log has (a mark for --from: the count + 1)
"""
import argparse
import collections
import re
import sys

Line = collections.namedtuple("Line", "number time event detail")

START, STOP, RECV, SEND, STALL = "start", "stop", "recv", "send", "stall"


def lines(path, first=1, first_byte=0):
    """Every whole line from line `first` (1-based) and byte `first_byte` on,
    as Line tuples; a missing log has none. A last line without its line feed
    is still being written and is left out."""
    try:
        with open(path, "rb") as log:
            log.seek(first_byte)
            data = log.read()
    except FileNotFoundError:
        return []
    read = []
    whole = data.split(b"\n")[:-1]
    for number, raw in enumerate(whole, 1):
        if number < first:
            continue
        text = raw.decode("ascii", errors="replace").rstrip("\r")
        time, _, untimed = text.partition(" ")
        event, _, detail = untimed.partition(" ")
        read.append(Line(number, time, event, detail))
    return read


def events(path, event, first=1, first_byte=0):
    return [line for line in lines(path, first, first_byte) if line.event == event]


def unescape(detail):
    """The bytes a detail stands for: 'F|0\\n' -> b'F|0\\n'."""
    named = {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\", "0": b"\0"}
    out = bytearray()
    i = 0
    while i < len(detail):
        c = detail[i]
        if c == "\\" and i + 1 < len(detail):
            n = detail[i + 1]
            if n == "x":
                out += bytes([int(detail[i + 2:i + 4], 16)])
                i += 4
                continue
            out += named[n]
            i += 2
            continue
        out += c.encode("latin-1")
        i += 1
    return bytes(out)


def pid_of(detail):
    """32 of a start, stop or refused line's 'pid 32 ...'."""
    m = re.match(r"pid (\d+)", detail)
    return int(m.group(1)) if m else None


def _degrees(value, hemisphere):
    whole = int(float(value) // 100)
    degrees = whole + (float(value) - whole * 100) / 60
    return -degrees if hemisphere in ("S", "W") else degrees


def received_fixes(path, first=1, name=None):
    """The position fixes the host read, in order: dicts of latitude and
    longitude (decimal degrees), altitude (whole metres), name and
    description (fields 17 and 18), satellites, their sentence fields
    ('fields', "$AAGGAM" as 0) and whether the host accepted it ('accepted':
    the next send line is "A|fix ..."). Only those of `name` when given."""
    fixes = []
    pending = None
    for line in lines(path, first):
        if line.event == SEND and pending is not None:
            pending["accepted"] = line.detail.startswith("A|fix")
            pending = None
        if line.event != RECV or not line.detail.startswith("E|$AAGGAM,"):
            continue
        sentence = unescape(line.detail)[2:].decode("latin-1")
        f = sentence.split("*")[0].split(",")
        if len(f) < 21 or (name is not None and f[17] != name):
            continue
        pending = {
            "latitude": _degrees(f[2], f[3]),
            "longitude": _degrees(f[4], f[5]),
            "altitude": int(f[9]),
            "name": f[17],
            "description": f[18],
            "satellites": int(f[20]),
            "fields": f,
            "accepted": False,
        }
        fixes.append(pending)
    return fixes


def _main(argv):
    parser = argparse.ArgumentParser(prog="host_log.py")
    parser.add_argument("command",
                        choices=["details", "count", "last-start", "stopped", "lines"])
    parser.add_argument("log")
    parser.add_argument("rest", nargs="*")
    parser.add_argument("--from", dest="first", type=int, default=1)
    parser.add_argument("--from-byte", dest="first_byte", type=int, default=0)
    a = parser.parse_args(argv)
    if a.command == "details":
        for line in events(a.log, a.rest[0], a.first, a.first_byte):
            print(line.detail)
    elif a.command == "count":
        prefixes = tuple(a.rest[1:]) or ("",)
        print(sum(1 for line in events(a.log, a.rest[0], a.first, a.first_byte)
                  if line.detail.startswith(prefixes)))
    elif a.command == "last-start":
        starts = events(a.log, START)
        if starts:
            print(pid_of(starts[-1].detail))
    elif a.command == "stopped":
        pid = int(a.rest[0])
        return 0 if any(pid_of(line.detail) == pid for line in events(a.log, STOP)) else 1
    else:
        print(len(lines(a.log)))
    return 0


if __name__ == "__main__":
    sys.exit(_main(sys.argv[1:]))
