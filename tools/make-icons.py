#!/usr/bin/env python3
"""Draws the program's icons (32x32, 32-bit with mask) into gui/res/.

The icons are our own artwork, generated so that they can be changed in
one place: run this script and commit the .ico files it writes."""
import math
import os
import struct
import sys

SIZE = 32


def pixel(x, y, accent):
    cx = cy = (SIZE - 1) / 2
    r = math.hypot(x - cx, y - cy)
    if r > 15.5:
        return (0, 0, 0, 0)
    # A ring around a vertical gradient disc, with a white bar for the "P" stem.
    top = (0x2b, 0x7c, 0xd9) if accent == "blue" else (0x2f, 0xa8, 0x5a)
    t = y / (SIZE - 1)
    base = tuple(int(c * (1 - 0.35 * t)) for c in top)
    if r > 13.5:
        return (0xff, 0xff, 0xff, 0xff)
    if 10 <= x <= 13 and 8 <= y <= 24:
        return (0xff, 0xff, 0xff, 0xff)
    if 10 <= x <= 21 and 8 <= y <= 17 and math.hypot(x - 16, y - 12.5) > 2.2 and (x <= 16 or math.hypot(x - 16, y - 12.5) < 5):
        return (0xff, 0xff, 0xff, 0xff)
    return base + (0xff,)


def ico(accent):
    rows = []
    mask_rows = []
    for y in reversed(range(SIZE)):  # bottom-up DIB rows
        row = b""
        bits = 0
        mbytes = b""
        for x in range(SIZE):
            r, g, b, a = pixel(x, y, accent)
            row += bytes((b, g, r, a))
            bits = (bits << 1) | (0 if a else 1)
            if x % 8 == 7:
                mbytes += bytes((bits,))
                bits = 0
        rows.append(row)
        mask_rows.append(mbytes)  # 4 bytes per row: already 32-bit aligned
    colour = b"".join(rows)
    mask = b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 22)
    return directory + entry + image


def main():
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui", "res")
    os.makedirs(out, exist_ok=True)
    for name, accent in (("pylonix.ico", "blue"), ("login.ico", "green")):
        with open(os.path.join(out, name), "wb") as f:
            f.write(ico(accent))
    return 0


if __name__ == "__main__":
    sys.exit(main())
