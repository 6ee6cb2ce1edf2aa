#!/usr/bin/env python3
"""Decodes the emulator's exported map (PNG or BMP) and checks that the fixes
it received stand on the track at the pixels where they project.

usage: check_picture.py PICTURE HOST_LOG NAME LON LAT METRES_PER_PIXEL
The view was set with viewport W H and center LON LAT METRES_PER_PIXEL, so
positions follow from the projection alone: equirectangular around the
centre at the picture's middle, longitude shrunk by cos(latitude)."""
import math
import os
import struct
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "../../tools/common"))
import host_log  # noqa: E402

METRES_PER_DEGREE = 111195.0
FIX = (0x0A, 0x1E, 0x64)
TRACK = (0x1F, 0x4F, 0xD0)
MOBILE = (0x10, 0x8A, 0x2A)


def read_png(data):
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    at, packed = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        assert zlib.crc32(kind + body) == struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2)
        elif kind == b"IDAT":
            packed += body
        at += 12 + length
    raw = zlib.decompress(packed)
    stride = width * 3 + 1
    rows = [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]
    assert all(raw[y * stride] == 0 for y in range(height))
    return width, height, lambda x, y: tuple(rows[y][x * 3:x * 3 + 3])


def read_bmp(data):
    assert data[:2] == b"BM"
    offset, = struct.unpack("<I", data[10:14])
    width, height, _, bits = struct.unpack("<iiHH", data[18:30])
    assert bits == 24
    stride = (width * 3 + 3) & ~3
    def pixel(x, y):
        at = offset + (height - 1 - y) * stride + x * 3
        b, g, r = data[at:at + 3]
        return (r, g, b)
    return width, height, pixel


def main():
    picture, log_path, name = sys.argv[1:4]
    lon0, lat0, scale = map(float, sys.argv[4:7])
    data = open(picture, "rb").read()
    width, height, pixel = read_png(data) if picture.endswith(".png") else read_bmp(data)
    fixes = [(fix["latitude"], fix["longitude"])
             for fix in host_log.received_fixes(log_path, name=name)]
    assert fixes, "no fixes of " + name
    hits = 0
    for i, (lat, lon) in enumerate(fixes):
        x = round(width / 2 + (lon - lon0) * METRES_PER_DEGREE * math.cos(math.radians(lat0)) / scale)
        y = round(height / 2 - (lat - lat0) * METRES_PER_DEGREE / scale)
        assert 0 <= x < width and 0 <= y < height, f"fix {i + 1} outside at {x},{y}"
        # The last fix lies under the mobile it moved.
        want = MOBILE if i == len(fixes) - 1 else FIX
        # An earlier fix may lie under the mobile's marker too.
        if pixel(x, y) == want or (want == FIX and pixel(x, y) == MOBILE):
            hits += 1
        else:
            print(f"{picture}: fix {i + 1} at {x},{y} is {pixel(x, y)}")
    print(f"{picture}: {width}x{height}, {hits} of {len(fixes)} fixes on their markers")
    return 0 if hits == len(fixes) else 1


if __name__ == "__main__":
    sys.exit(main())
