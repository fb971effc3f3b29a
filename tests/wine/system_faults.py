"""The program under faults and hostile input: killed mid-download, servers
that misbehave, a destination in use, manifests at and past their limits.
Nothing may be lost, nothing written outside the Windows and System folders,
and every outcome reported as it is."""
import os
import time
import unittest

from harness import (FIXTURES, IDYES, RUNTIME_KEY, SYSTEM32, WineTestCase, cp949, installed_path,
                     product_file)

BIG = "QVKsData.dll"
BIG_PATH = SYSTEM32 + "\\" + BIG
UPGRADED = "Kestrionv4 업그레이드가 진행 되었습니다.\n\n변경사항은 재부팅 후, 적용 됩니다."


def entry(i, name, url=None, dest="11", version="9, 9, 9, 9", execute="0"):
    fields = "<NAME>%s</NAME><VERSION>%s</VERSION>" % (name, version)
    if url is not False:
        fields += "<URL>%s</URL>" % (name if url is None else url)
    return "<FILE%d>%s<DESTDIR>%s</DESTDIR><EXCUTE>%s</EXCUTE></FILE%d>" % (
        i, fields, dest, execute, i)


def manifest(*entries, count=None):
    return "<UPDATE><FILECOUNT>%d</FILECOUNT>%s</UPDATE>" % (
        len(entries) if count is None else count, "".join(entries))


class FaultTest(WineTestCase):
    def one_file_machine(self, size=256 * 1024, **kwargs):
        """A machine with an older copy of one file, and a newer one on the server."""
        m = self.machine(**kwargs)
        self.body = os.urandom(size)
        m.serve_file("/Kestrion/" + BIG, data=self.body)
        m.serve_manifest(manifest(entry(0, BIG)))
        self.installed = b"MZ installed copy " + os.urandom(4096)
        m.put_file(BIG_PATH, data=self.installed)
        return m

    def assertUntouched(self, machine):
        self.assertEqual(machine.read_file(BIG_PATH), self.installed)
        self.assertFalse(machine.exists(BIG_PATH + "_new"))

    def wait_for_request(self, machine, path, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if any(r["path"] == path for r in machine.requests()):
                return
            time.sleep(0.1)
        self.fail("no request for " + path)


class KilledMidDownloadTest(FaultTest):
    def kill_while_fetching(self, machine, args, answers=()):
        machine.write_rules({"/Kestrion/" + BIG: {"rate": 4 * 1024 * 1024, "count": 1}})
        pending = machine.start(args, answers=answers)
        self.wait_for_request(machine, "/Kestrion/" + BIG)
        time.sleep(2)  # well inside the body
        self.assertEqual(machine.end_program(), 0)
        run = pending.wait(30)
        self.assertNotEqual(run.exit_code, 0)
        return run

    def test_update_killed_mid_download_loses_nothing(self):
        m = self.one_file_machine(size=32 * 1024 * 1024)
        self.kill_while_fetching(m, ["update"])
        self.assertUntouched(m)
        self.assertFalse(m.exists(SYSTEM32 + r"\QVKSv4Update.bat"))
        run = m.run(["update"])  # the server is fast again
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(m.read_file(BIG_PATH + "_new"), self.body)
        self.assertFalse(m.exists(BIG_PATH + "_new.part"))
        self.assertEqual(m.read_file(BIG_PATH), self.installed)
        self.assertBox(run.boxes[0], UPGRADED)

    def test_setup_killed_mid_download_loses_nothing(self):
        m = self.one_file_machine(size=32 * 1024 * 1024)
        m.set_machine_value(RUNTIME_KEY, {})
        self.kill_while_fetching(m, ["setup", "http://portal.example/"], answers=[IDYES, IDYES])
        self.assertUntouched(m)
        run = m.run(["setup", "http://portal.example/"], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(m.read_file(BIG_PATH), self.body)
        self.assertFalse(m.exists(BIG_PATH + ".part"))
        self.assertBox(run.boxes[-1], "Kestrionv4 설치완료")


class ServerFaultTest(FaultTest):
    CASES = [
        # rule, staged, what the file must then hold
        ("closed mid-body", {"send_bytes": 100000}, False),
        ("less than announced", {"content_length": 300000}, False),
        ("more than announced", {"extra_bytes": 5000}, True),
        ("no length", {"no_content_length": True}, False),
        ("chunked", {"chunked": True}, False),
        ("reset before the reply", {"reset": True}, False),
        ("status 500", {"status": 500}, False),
        ("status 416", {"status": 416}, True),
    ]

    def test_each_transfer_ends_with_the_right_result(self):
        m = self.one_file_machine()
        for what, rule, staged in self.CASES:
            with self.subTest(what):
                m.write_rules({"/Kestrion/" + BIG: rule})
                for leftover in (BIG_PATH + "_new", SYSTEM32 + r"\QVKSv4Update.bat"):
                    if m.exists(leftover):
                        m.host_path(leftover).unlink()
                run = m.run(["update"], timeout=90)
                self.assertEqual(run.exit_code, 0)
                self.assertLess(run.duration, 30)
                self.assertEqual(m.read_file(BIG_PATH), self.installed)
                self.assertFalse(m.exists(BIG_PATH + "_new.part"))
                traces = run.trace_strings()
                if staged:
                    self.assertIn("다운로드 성공 FileName: " + BIG, traces)
                    self.assertEqual(m.read_file(BIG_PATH + "_new"), self.body)
                    self.assertBox(run.boxes[0], UPGRADED)
                else:
                    self.assertIn("다운로드 실패 FileName: " + BIG, traces)
                    self.assertEqual(traces[-1], "다운실패 " + BIG)
                    self.assertFalse(m.exists(BIG_PATH + "_new"))
                    self.assertEqual(run.boxes, [])

    def test_stalled_body_times_out(self):
        m = self.one_file_machine()
        m.write_rules({"/Kestrion/" + BIG: {"stall_after": 50000, "stall_seconds": 300}})
        run = m.run(["update"], timeout=150)
        self.assertEqual(run.exit_code, 0)
        self.assertGreater(run.duration, 55)
        self.assertLess(run.duration, 100)
        self.assertIn("다운로드 실패 FileName: " + BIG, run.trace_strings())
        self.assertUntouched(m)

    def test_stalled_manifest_times_out(self):
        m = self.one_file_machine()
        m.write_rules({"/Kestrion/Kestrionv4vista.ini": {"stall_after": 10, "stall_seconds": 300}})
        run = m.run(["manual"], timeout=150)
        self.assertEqual(run.exit_code, 0)
        self.assertLess(run.duration, 100)
        self.assertBox(run.boxes[-1], "서버 정보 로드에 실패 하였습니다.")

    def test_refused_connection_ends_at_once(self):
        m = self.machine(serve=False)
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertLess(run.duration, 20)
        self.assertEqual(run.boxes, [])


class DestinationInUseTest(FaultTest):
    def test_file_held_open_is_left_whole_and_reported(self):
        m = self.one_file_machine()
        m.set_machine_value(RUNTIME_KEY, {})
        m.start_background(str(FIXTURES / "holdfile.exe"), BIG_PATH, r"C:\qvlog\held")
        deadline = time.time() + 30
        while not m.exists(r"C:\qvlog\held") and time.time() < deadline:
            time.sleep(0.1)
        run = m.run(["manual"])
        self.assertEqual(run.exit_code, 0)
        self.assertBox(run.boxes[-1], "Kestrionv4 설치를 완료하지 못했습니다.\n\n"
                       "다운로드에 실패한 파일:\n%s\n" % BIG)
        self.assertEqual(m.read_file(BIG_PATH), self.installed)
        self.assertFalse(m.exists(BIG_PATH + ".part"))


class HostileManifestTest(WineTestCase):
    """Whatever the manifest says, nothing lands outside the Windows and
    System folders and nothing unsafe reaches a command line."""

    def changed_outside_windows(self, before, after):
        return sorted(path for path, stamp in after.items()
                      if before.get(path) != stamp and not path.startswith(("windows/", "qvlog/",
                                                                             "users/")))

    def hostile_machine(self):
        m = self.machine()
        m.set_machine_value(RUNTIME_KEY, {})
        for name in ("a.dll", "b.dll", "evil.dll", "x"):
            m.serve_file("/Kestrion/" + name, data=b"payload")
        m.write_rules({"/Kestrion/": {"body": "listing"}})
        return m

    def check(self, m, text, accepted, expect_files=()):
        m.serve_manifest(text)
        asked = len(m.requests())
        before = m.files()
        update = m.run(["update"])
        manual = m.run(["manual"])
        for run in (update, manual):
            self.assertEqual(run.exit_code, 0)
        self.assertEqual(self.changed_outside_windows(before, m.files()), [])
        batch = SYSTEM32 + r"\QVKSv4Update.bat"
        if accepted:
            self.assertNotIn("서버 정보 로드에 실패 하였습니다.",
                             [b.text.decode("cp949") for b in manual.boxes])
            for name in expect_files:
                self.assertTrue(m.exists(SYSTEM32 + "\\" + name), name)
            for line in m.read_file(batch).decode("cp949").split("\r\n"):
                self.assertTrue(line == "" or len(line.split(" ")) == 3, line)
        else:
            self.assertEqual(update.boxes, [])
            self.assertFalse(m.exists(batch))
            self.assertBox(manual.boxes[-1], "서버 정보 로드에 실패 하였습니다.")
            self.assertEqual([r["path"] for r in m.requests()[asked:]],
                             ["/Kestrion/Kestrionv4vista.ini"] * 2)
        return update, manual

    def test_largest_manifest_is_accepted_and_one_byte_more_refused(self):
        core = manifest(entry(0, "a.dll"))
        padding = 8095 - len(core.encode())
        self.check(self.hostile_machine(), core.replace("<UPDATE>", "<UPDATE>" + " " * (padding + 1)),
                   False)
        self.check(self.hostile_machine(), core.replace("<UPDATE>", "<UPDATE>" + " " * padding), True,
                   ["a.dll"])

    def test_a_full_table_is_accepted_and_one_entry_more_refused(self):
        # 127 entries fit into a manifest only without server paths; they all
        # fetch the product folder's own address.
        entries = ["<FILE%d><NAME>f%d</NAME><DESTDIR>11</DESTDIR></FILE%d>" % (i, i, i)
                   for i in range(127)]
        text = "<UPDATE><FILECOUNT>127</FILECOUNT>%s</UPDATE>" % "".join(entries)
        self.assertLessEqual(len(text), 8095)
        self.check(self.hostile_machine(), text.replace("127", "128", 1), False)
        update, _ = self.check(self.hostile_machine(), text, True, ["f0", "f126"])
        self.assertEqual(update.trace_strings().count("다운로드 성공 FileName: f126"), 1)

    def test_entries_that_could_reach_elsewhere_are_refused(self):
        bad = {
            "backslash": entry(1, "..\\..\\evil.dll", url="evil.dll"),
            "slash": entry(1, "sub/evil.dll", url="evil.dll"),
            "drive": entry(1, "C:evil.dll", url="evil.dll"),
            "dot dot": entry(1, "..", url="evil.dll"),
            "blank": entry(1, "a b.dll", url="evil.dll"),
            "ampersand": entry(1, "a&amp;amp;amp;calc.exe", url="evil.dll"),
            "percent": entry(1, "%windir%.dll", url="evil.dll"),
            "control byte": entry(1, "evil\x01.dll", url="evil.dll"),
            "unknown folder": entry(1, "evil.dll", dest="12"),
            "no folder": entry(1, "evil.dll", dest=""),
            "blank in the path": entry(1, "evil.dll", url="evil.dll x"),
            "line break in the path": entry(1, "evil.dll", url="evil.dll\r\nren"),
        }
        m = self.hostile_machine()
        for what, hostile in bad.items():
            with self.subTest(what):
                self.check(m, manifest(entry(0, "a.dll"), hostile), False)


if __name__ == "__main__":
    unittest.main()
