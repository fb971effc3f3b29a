#!/usr/bin/env python3
"""Draws the application icon (a download arrow on a blue tile) into
QVKestrionv4Setup.ico: 32x32 and 16x16, 32-bit with alpha and an AND mask."""
import struct
import sys


def pixel(size, x, y):
    """RGBA of one pixel, drawn in a 32-unit space."""
    u = (x + 0.5) * 32.0 / size
    v = (y + 0.5) * 32.0 / size
    # Tile with rounded corners.
    r = 6.0
    cx = min(max(u, r + 1), 31 - r)
    cy = min(max(v, r + 1), 31 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r or not (1 <= u <= 31 and 1 <= v <= 31):
        return (0, 0, 0, 0)
    shade = int(40 * v / 32)
    colour = (30 + shade, 90 + shade, 200 - shade, 255)
    # Arrow: a shaft and a head, then a tray under it.
    if 13 <= u <= 19 and 6 <= v <= 16:
        return (255, 255, 255, 255)
    if 16 <= v <= 23 and abs(u - 16) <= (23 - v) * 1.1:
        return (255, 255, 255, 255)
    if 24.5 <= v <= 27 and 7 <= u <= 25:
        return (250, 210, 60, 255)
    return colour


def image(size):
    rows = []
    mask_rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b""
        bits = 0
        mask = bytearray()
        for x in range(size):
            rr, gg, bb, aa = pixel(size, x, y)
            row += bytes((bb, gg, rr, aa))
            bits = (bits << 1) | (1 if aa == 0 else 0)
            if x % 8 == 7:
                mask.append(bits)
                bits = 0
        while len(mask) % 4:
            mask.append(0)
        rows.append(row)
        mask_rows.append(bytes(mask))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def main(path):
    sizes = (32, 16)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "QVKestrionv4Setup.ico")
