#!/usr/bin/env python3
"""Writes the dialog templates as DIALOGEX binaries, exactly as the dialog
manager reads them: windres would store the standard control classes as
upper-case names instead of their atoms and drop the icon control's size."""
import struct
import sys
from pathlib import Path

STATIC = 0x0082
BUTTON = 0x0080
FONT = (9, 0, 0, 1, "MS 셸 대화 상자")  # points, weight, italic, charset, face


def sz(text):
    return text.encode("utf-16-le") + b"\0\0"


def sz_or_ordinal(value):
    if isinstance(value, int):
        return struct.pack("<HH", 0xFFFF, value)
    return sz(value)


def align4(data):
    return data + b"\0" * (-len(data) % 4)


def template(style, exstyle, rect, caption, items):
    x, y, cx, cy = rect
    out = struct.pack("<HHIIIHhhhh", 1, 0xFFFF, 0, exstyle, style, len(items), x, y, cx, cy)
    out += b"\0\0" + b"\0\0" + sz(caption)  # no menu, default class
    points, weight, italic, charset, face = FONT
    out += struct.pack("<HHBB", points, weight, italic, charset) + sz(face)
    for cls, item_id, title, style_, (ix, iy, icx, icy) in items:
        out = align4(out)
        out += struct.pack("<IIIhhhhi", 0, 0, style_, ix, iy, icx, icy, item_id)
        out += sz_or_ordinal(cls) + sz_or_ordinal(title) + struct.pack("<H", 0)
    return out


MAIN = template(
    0x90C800C0, 0x00040000, (0, 0, 161, 30), "QVKestrionv4Setup",
    [
        (STATIC, 1001, "Static", 0x50020000, (20, 3, 129, 12)),
        ("msctls_progress32", 1002, "", 0x50800000, (6, 13, 148, 9)),
        (STATIC, 1005, "File:", 0x50020000, (6, 3, 14, 8)),
    ])

ABOUT = template(
    0x80C800C8, 0, (0, 0, 235, 55), "QVKestrionv4Setup 정보",
    [
        (STATIC, -1, 128, 0x50000003, (11, 17, 20, 20)),
        (STATIC, -1, "QVKestrionv4Setup 버전 1.0", 0x50020080, (40, 10, 119, 8)),
        (STATIC, -1, "Copyright (C) 2009 Quevanta", 0x50020000, (40, 25, 119, 8)),
        (BUTTON, 1, "확인", 0x50030001, (178, 7, 50, 16)),
    ])


def main(out_dir):
    out = Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    (out / "dialog102.bin").write_bytes(MAIN)
    (out / "dialog100.bin").write_bytes(ABOUT)


if __name__ == "__main__":
    main(sys.argv[1])
