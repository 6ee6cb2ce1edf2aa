#!/usr/bin/env python3
"""A receiver on TCP that drops once: serves the first half of a log (up to
the start of a cycle) to the first connection, closes it, then the rest,
with a line of binary junk in front, to the second. Loopback only.

usage: nmea_server.py LOG PORT_FILE   (writes the port it listens on)"""
import socket
import sys
import time

LINE_PAUSE_S = 0.005


def main():
    lines = [l.rstrip("\r\n") + "\r\n" for l in open(sys.argv[1], encoding="ascii")]
    half = len(lines) // 2
    while half < len(lines) and not lines[half].startswith("$GPRMC"):
        half += 1
    parts = [lines[:half], ["\x00\xff\xfe junk\r\n"] + lines[half:]]
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    server.settimeout(60)
    with open(sys.argv[2], "w") as port_file:
        port_file.write(str(server.getsockname()[1]))
    for part in parts:
        connection, _ = server.accept()
        for line in part:
            connection.sendall(line.encode("latin-1"))
            time.sleep(LINE_PAUSE_S)
        connection.close()
    server.close()


if __name__ == "__main__":
    main()
