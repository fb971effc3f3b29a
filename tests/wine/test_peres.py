import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import peres  # noqa: E402


def w(s):
    return s.encode("utf-16-le") + b"\0\0"


def ordinal(n):
    return struct.pack("<HH", 0xFFFF, n)


PAD2 = b"\0\0"

# Offsets in the comments are where each piece starts; the padding is what
# DWORD alignment of the items demands.
DIALOGEX = (
    struct.pack("<HHIII", 1, 0xFFFF, 7, 0x100, 0x80C800C0)          # 0
    + struct.pack("<Hhhhh", 2, 10, 20, 200, 100)                    # 14
    + b"\0\0" + b"\0\0" + w("Setup")                                # 26 menu, class, caption
    + struct.pack("<HHBB", 9, 400, 1, 129) + w("Tahoma")            # 42 font
    + PAD2                                                          # 62
    + struct.pack("<IIIhhhhI", 0, 0, 0x50010001, 5, 6, 50, 14, 1)   # 64 item 1
    + ordinal(0x80) + w("Go!") + struct.pack("<H", 0)               # 88
    + PAD2                                                          # 102
    + struct.pack("<IIIhhhhI", 9, 0x200, 0x50000000, -3, 0, 20, 8, 0xFFFFFFFF)  # 104 item 2
    + w("Link") + ordinal(101) + struct.pack("<H", 2) + b"\xab\xcd"  # 128
)

DIALOG = (
    struct.pack("<IIHhhhh", 0x80000040, 0, 1, 0, 0, 100, 50)        # 0
    + ordinal(100) + w("Cls") + w("")                               # 18 menu, class, caption
    + struct.pack("<H", 8) + w("MS Sans Serif")                     # 32 font
    + PAD2                                                          # 62
    + struct.pack("<IIhhhhH", 0x50000003, 0, 1, 2, 20, 20, 0xFFFF)  # 64 item
    + ordinal(0x82) + ordinal(1) + struct.pack("<H", 0)             # 82
)


def vblock(key, value=b"", text=False, children=()):
    """One version block; the length excludes the final child's padding."""
    def pad(b):
        return b + b"\0" * (-len(b) % 4)
    vlen = len(value) // 2 if text else len(value)
    body = pad(struct.pack("<HHH", 0, vlen, int(text)) + w(key)) + value
    for child in children:
        body = pad(body) + child
    return struct.pack("<H", len(body)) + body[2:]


FIXED = struct.pack("<13I", 0xFEEF04BD, 0x10000, 0x40000, 0xC0159, 0x40000, 0,
                    0x3F, 0, 0x40004, 1, 0, 0x1, 0x2)
VERSION = vblock("VS_VERSION_INFO", FIXED, children=[
    vblock("StringFileInfo", text=True, children=[
        vblock("041204b0", text=True, children=[
            vblock("CompanyName", w("Kestrion Co."), text=True),
            vblock("Comments", text=True),
            vblock("ProductName", w("QVKestrionv4Setup"), text=True),
        ]),
    ]),
    vblock("VarFileInfo", children=[
        vblock("Translation", struct.pack("<HHHH", 0x412, 949, 0x409, 1200)),
    ]),
])


class DecoderTest(unittest.TestCase):
    def test_dialogex(self):
        d = peres.parse_dialog(DIALOGEX)
        self.assertEqual(
            {k: d[k] for k in ("ex", "helpid", "exstyle", "style", "x", "y", "cx", "cy",
                               "menu", "class", "caption", "pointsize", "weight",
                               "italic", "charset", "typeface")},
            {"ex": True, "helpid": 7, "exstyle": 0x100, "style": 0x80C800C0,
             "x": 10, "y": 20, "cx": 200, "cy": 100, "menu": None, "class": None,
             "caption": "Setup", "pointsize": 9, "weight": 400, "italic": 1,
             "charset": 129, "typeface": "Tahoma"})
        self.assertEqual(d["items"], [
            {"helpid": 0, "exstyle": 0, "style": 0x50010001, "x": 5, "y": 6, "cx": 50,
             "cy": 14, "id": 1, "id16": 1, "class": "Button", "title": "Go!", "extra": b""},
            {"helpid": 9, "exstyle": 0x200, "style": 0x50000000, "x": -3, "y": 0, "cx": 20,
             "cy": 8, "id": 0xFFFFFFFF, "id16": -1, "class": "Link", "title": 101,
             "extra": b"\xab\xcd"},
        ])

    def test_dialog(self):
        d = peres.parse_dialog(DIALOG)
        self.assertEqual((d["ex"], d["style"], d["menu"], d["class"], d["caption"]),
                         (False, 0x80000040, 100, "Cls", ""))
        self.assertEqual((d["pointsize"], d["typeface"]), (8, "MS Sans Serif"))
        [item] = d["items"]
        self.assertEqual((item["class"], item["title"], item["id"], item["id16"], item["cx"]),
                         ("Static", 1, 0xFFFF, -1, 20))

    def test_version(self):
        v = peres.parse_version(VERSION)
        f = v["fixed"]
        self.assertEqual((f["signature"], f["strucversion"], f["file_version"],
                          f["product_version"], f["flags_mask"], f["os"], f["type"], f["date"]),
                         (0xFEEF04BD, 0x10000, (4, 0, 12, 345), (4, 0, 0, 0), 0x3F,
                          0x40004, 1, (1 << 32) | 2))
        self.assertEqual(v["strings"], {"041204b0": {
            "CompanyName": "Kestrion Co.", "Comments": "", "ProductName": "QVKestrionv4Setup"}})
        self.assertEqual(v["translations"], [(0x412, 949), (0x409, 1200)])

    def test_string_bundle(self):
        entries = ["Hello", "", "", "W\u00f6rld \ud55c"] + [""] * 12
        data = b"".join(struct.pack("<H", len(s)) + s.encode("utf-16-le") for s in entries)
        expected = {96: "Hello", 99: "W\u00f6rld \ud55c"}
        self.assertEqual(peres.parse_string_table(data, 7), expected)
        # Some producers stop after the last non-empty entry.
        self.assertEqual(peres.parse_string_table(data[:-24], 7), expected)

    def test_malformed_input_raises(self):
        cases = [
            (peres.parse_dialog, DIALOGEX[:100]),
            (peres.parse_dialog, DIALOG[:40]),
            (peres.parse_version, VERSION[:30]),
            (peres.parse_version, vblock("NOT_VERSION", FIXED)),
            (peres.parse_group_icon, struct.pack("<HHH", 0, 2, 1)),
            (peres.parse_group_icon, struct.pack("<HHH", 0, 1, 2) + b"\0" * 14),
            (peres.PEImage, b"MZ" + b"\0" * 100),
        ]
        for fn, data in cases:
            with self.subTest(fn=fn.__name__, size=len(data)):
                with self.assertRaises(peres.PEError):
                    fn(data)


RC = r"""
#pragma code_page(65001)
#include <windows.h>
LANGUAGE LANG_KOREAN, SUBLANG_DEFAULT
7 ICON "tiny.ico"
101 DIALOGEX 0, 0, 200, 100
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION
EXSTYLE WS_EX_APPWINDOW
CAPTION "설치"
FONT 9, "Tahoma", 700, 1, 129
BEGIN
  DEFPUSHBUTTON "OK", IDOK, 10, 80, 50, 14
  CONTROL "", 1001, "msctls_progress32", WS_CHILD | WS_VISIBLE, 10, 10, 180, 12
  ICON 7, -1, 10, 30, 20, 20
END
102 DIALOG 0, 0, 100, 50
STYLE WS_POPUP | DS_SETFONT
FONT 8, "MS Sans Serif"
BEGIN
  LTEXT "Hi", 2000, 1, 2, 30, 8
END
STRINGTABLE
BEGIN
  1 "first"
  17 "두번째"
END
VS_VERSION_INFO VERSIONINFO
 FILEVERSION 4,0,12,345
 PRODUCTVERSION 4,0,0,0
 FILEFLAGSMASK 0x3f
 FILEFLAGS 0
 FILEOS VOS_NT_WINDOWS32
 FILETYPE VFT_APP
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "041204b0"
    BEGIN
      VALUE "FileVersion", "4.0.12.345"
      VALUE "Comments", ""
      VALUE "ProductName", "QVKestrionv4Setup"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x412, 1200
  END
END
cfg KDATA "blob.bin"
"""

BLOB = bytes(range(7)) + b"\xff"


def tiny_ico():
    bmp = (struct.pack("<IiiHHIIiiII", 40, 1, 2, 1, 32, 0, 8, 0, 0, 0, 0)
           + b"\x10\x20\x30\xff" + b"\0" * 4)
    return (struct.pack("<HHH", 0, 1, 1)
            + struct.pack("<BBBBHHII", 1, 1, 0, 0, 1, 32, len(bmp), 22) + bmp), bmp


class CompiledImageTest(unittest.TestCase):
    """Round trip through the real resource compiler and linker."""

    def build(self, prefix, tmp):
        windres, gcc = prefix + "-windres", prefix + "-gcc"
        if not (shutil.which(windres) and shutil.which(gcc)):
            self.skipTest(f"{prefix} toolchain not installed")
        ico, _ = tiny_ico()
        files = {"tiny.rc": RC.encode("utf-8"), "tiny.ico": ico, "blob.bin": BLOB,
                 "main.c": b"int main(void) { return 0; }\n"}
        for name, data in files.items():
            with open(os.path.join(tmp, name), "wb") as f:
                f.write(data)
        for cmd in ([windres, "tiny.rc", "-O", "coff", "-o", "res.o"],
                    [gcc, "-o", "tiny.exe", "main.c", "res.o"]):
            subprocess.run(cmd, cwd=tmp, check=True, capture_output=True)
        return os.path.join(tmp, "tiny.exe")

    def test_round_trip(self):
        _, bmp = tiny_ico()
        ko = 0x412
        for prefix, plus in [("i686-w64-mingw32", False), ("x86_64-w64-mingw32", True)]:
            with self.subTest(prefix), tempfile.TemporaryDirectory() as tmp:
                exe = self.build(prefix, tmp)
                self.assertEqual(peres.read_pe(exe).pe32plus, plus)
                res = peres.read_resources(exe)
                self.assertEqual(res[("KDATA", "CFG", ko)], BLOB)
                self.assertEqual(res[(3, 1, ko)], bmp)
                self.assertEqual(peres.parse_group_icon(res[(14, 7, ko)]), [peres.GroupIconEntry(
                    width=1, height=1, colors=0, planes=1, bitcount=32, bytes=len(bmp), id=1)])

                dx = peres.parse_dialog(res[(5, 101, ko)])
                self.assertEqual((dx["ex"], dx["caption"], dx["typeface"], dx["pointsize"],
                                  dx["weight"], dx["italic"], dx["charset"]),
                                 (True, "설치", "Tahoma", 9, 700, 1, 129))
                self.assertEqual([(i["class"].lower() if isinstance(i["class"], str) else i["class"],
                                   i["title"], i["id16"], (i["x"], i["y"])) for i in dx["items"]],
                                 [("button", "OK", 1, (10, 80)),
                                  ("msctls_progress32", "", 1001, (10, 10)),
                                  ("static", 7, -1, (10, 30))])
                d = peres.parse_dialog(res[(5, 102, ko)])
                self.assertEqual((d["ex"], d["typeface"], d["items"][0]["title"],
                                  d["items"][0]["id"]), (False, "MS Sans Serif", "Hi", 2000))

                strings = {}
                for (t, n, _), data in res.items():
                    if t == 6:
                        strings.update(peres.parse_string_table(data, n))
                self.assertEqual(strings, {1: "first", 17: "두번째"})

                v = peres.parse_version(res[(16, 1, ko)])
                self.assertEqual(v["fixed"]["file_version"], (4, 0, 12, 345))
                self.assertEqual(v["strings"]["041204b0"], {
                    "FileVersion": "4.0.12.345", "Comments": "",
                    "ProductName": "QVKestrionv4Setup"})
                self.assertEqual(v["translations"], [(0x412, 1200)])

                out = subprocess.run([sys.executable, peres.__file__, exe],
                                     capture_output=True, text=True, check=True).stdout
                self.assertIn("QVKestrionv4Setup", out)


if __name__ == "__main__":
    unittest.main()
