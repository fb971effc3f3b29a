#!/usr/bin/env python3
"""Checks the built program's resources: the dialog templates, the About
string, the icon, the version resource and the manifest, as Windows reads them."""
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import peres  # noqa: E402

EXE = None
KOREAN = 1042
RT_ICON, RT_STRING, RT_DIALOG, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 5, 14, 16, 24


class ResourceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.res = peres.read_resources(EXE)

    def resource(self, kind, name):
        return self.res[(kind, name, KOREAN)]

    def test_everything_is_korean(self):
        self.assertEqual({lang for (_, _, lang) in self.res}, {KOREAN})

    def test_main_dialog(self):
        d = peres.parse_dialog(self.resource(RT_DIALOG, 102))
        self.assertEqual((d["x"], d["y"], d["cx"], d["cy"]), (0, 0, 161, 30))
        self.assertEqual(d["style"], 0x90C800C0)
        self.assertEqual(d["exstyle"], 0x00040000)
        self.assertEqual(d["caption"], "QVKestrionv4Setup")
        self.assertEqual((d["pointsize"], d["typeface"], d["charset"]), (9, "MS 셸 대화 상자", 1))
        items = [(i["id16"], i["class"], i["title"], (i["x"], i["y"], i["cx"], i["cy"]), i["style"])
                 for i in d["items"]]
        self.assertEqual(items, [
            (1001, "Static", "Static", (20, 3, 129, 12), 0x50020000),
            (1002, "msctls_progress32", "", (6, 13, 148, 9), 0x50800000),
            (1005, "Static", "File:", (6, 3, 14, 8), 0x50020000),
        ])

    def test_about_box(self):
        d = peres.parse_dialog(self.resource(RT_DIALOG, 100))
        self.assertEqual((d["cx"], d["cy"]), (235, 55))
        self.assertEqual(d["style"], 0x80C800C8)
        self.assertEqual(d["caption"], "QVKestrionv4Setup 정보")
        self.assertEqual((d["pointsize"], d["typeface"], d["charset"]), (9, "MS 셸 대화 상자", 1))
        icon, version, notice, ok = d["items"]
        self.assertEqual((icon["id16"], icon["class"], icon["title"], icon["style"]),
                         (-1, "Static", 128, 0x50000003))
        self.assertEqual((icon["x"], icon["y"], icon["cx"], icon["cy"]), (11, 17, 20, 20))
        self.assertEqual((version["title"], version["style"]), ("QVKestrionv4Setup 버전 1.0", 0x50020080))
        self.assertEqual((version["x"], version["y"], version["cx"], version["cy"]), (40, 10, 119, 8))
        self.assertEqual((notice["style"], notice["x"], notice["y"], notice["cx"], notice["cy"]),
                         (0x50020000, 40, 25, 119, 8))
        self.assertTrue(notice["title"])
        self.assertEqual((ok["id16"], ok["class"], ok["title"], ok["style"]),
                         (1, "Button", "확인", 0x50030001))
        self.assertEqual((ok["x"], ok["y"], ok["cx"], ok["cy"]), (178, 7, 50, 16))

    def test_about_menu_string(self):
        strings = peres.parse_string_table(self.resource(RT_STRING, 101 // 16 + 1), 101 // 16 + 1)
        self.assertEqual(strings[101], "QVKestrionv4Setup 정보(&A)...")

    def test_icon(self):
        entries = peres.parse_group_icon(self.resource(RT_GROUP_ICON, 128))
        self.assertEqual(sorted((e.width, e.height) for e in entries), [(16, 16), (32, 32)])
        for e in entries:
            self.assertIn((RT_ICON, e.id, KOREAN), self.res)

    def test_version(self):
        v = peres.parse_version(self.resource(RT_VERSION, 1))
        fixed = v["fixed"]
        self.assertEqual(fixed["file_version"], (4, 0, 2009, 714))
        self.assertEqual(fixed["product_version"], (4, 0, 2009, 714))
        self.assertEqual((fixed["flags_mask"], fixed["flags"]), (0x3F, 0x08))
        self.assertEqual((fixed["os"], fixed["type"]), (0x00000004, 0x00000001))
        (strings,) = v["strings"].values()
        for name, text in (("FileVersion", "4, 0, 2009, 714"), ("ProductVersion", "4, 0, 2009, 714"),
                           ("InternalName", "QVKestrionv4Setup.exe"),
                           ("OriginalFilename", "QVKestrionv4Setup.exe"),
                           ("ProductName", "Kestrionv4 Setup")):
            self.assertEqual(strings[name], text)
        for name in ("CompanyName", "FileDescription", "LegalCopyright", "PrivateBuild"):
            self.assertTrue(strings[name])

    def test_manifest_asks_for_controls_6_and_administrator(self):
        manifest = self.resource(RT_MANIFEST, 1).decode("utf-8")
        self.assertIn('name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', manifest)
        self.assertIn('level="requireAdministrator"', manifest)


if __name__ == "__main__":
    EXE = sys.argv.pop(1)
    unittest.main()
