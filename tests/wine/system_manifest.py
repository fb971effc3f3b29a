"""The manifest: which one is asked for, how, and what a bad one leads to in
each run mode."""
import unittest

from harness import HOST, IDYES, PROGRAM_PATH, WineTestCase, url

SERVER_FAILED = "서버 정보 로드에 실패 하였습니다."
FETCH_TRACES = ["설치 파일 정보 확인", "파일 정보 확인 완료", "파일 정보 파싱"]


def manifest(*entries, count=None):
    body = "".join(
        "<FILE%d><NAME>%s</NAME><VERSION>0</VERSION><URL>%s</URL><DESTDIR>%s</DESTDIR>"
        "<EXCUTE>0</EXCUTE></FILE%d>\r\n" % (i, name, url, dest, i)
        for i, (name, url, dest) in enumerate(entries))
    return "<UPDATE>\r\n<FILECOUNT>%d</FILECOUNT>\r\n%s</UPDATE>\r\n" % (
        len(entries) if count is None else count, body)


class ManifestRequestTest(WineTestCase):
    def check_request(self, machine, path):
        run = machine.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(len(run.requests), 1)
        request = run.requests[0]
        self.assertEqual(request["path"], path)
        self.assertEqual(request["host"], HOST)
        self.assertEqual(request["user_agent"], "Kestrionv4Setup")
        self.assertEqual(request["method"], "GET")
        return run

    def test_vista_and_later_ask_for_the_vista_manifest(self):
        m = self.machine()
        run = self.check_request(m, "/Kestrion/Kestrionv4vista.ini")
        self.assertEqual(run.boxes, [])

    def test_xp_asks_for_the_xp_manifest(self):
        m = self.machine(windows_version="winxp")
        self.check_request(m, "/Kestrion/Kestrionv4xp.ini")

    def test_good_manifest_is_parsed_and_handed_to_the_file_check(self):
        m = self.machine()
        m.serve_manifest(manifest(("a.dll", "a.dll", "11")))
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.trace_strings()[4:10], FETCH_TRACES + [
            "파일 정보 파싱 완료", "파일 체크 시작", "파일 체크 완료"])


class BadManifestTest(WineTestCase):
    """A manifest that cannot be had ends setup and manual with the failure
    box, and update without a word."""

    def check_every_mode(self, machine, extra_traces=()):
        for mode, answers in (("setup", [IDYES, IDYES]), ("manual", []), ("update", [])):
            with self.subTest(mode):
                run = machine.run([mode, "http://portal.example/"], answers=answers)
                self.assertEqual(run.exit_code, 0)
                traces = run.trace_strings()
                self.assertEqual(traces[-3 - len(extra_traces):], FETCH_TRACES + list(extra_traces))
                if mode == "update":
                    self.assertEqual(run.boxes, [])
                else:
                    self.assertBox(run.boxes[-1], SERVER_FAILED, caption="QVKestrionv4Setup",
                                   icon="exclamation")

    def test_manifest_not_found(self):
        m = self.machine()
        self.check_every_mode(m)
        self.assertEqual({r["path"] for r in m.requests()}, {"/Kestrion/Kestrionv4vista.ini"})

    def test_server_unreachable(self):
        m = self.machine(serve=False)
        self.check_every_mode(m)

    def test_server_error_and_no_length(self):
        m = self.machine()
        m.serve_manifest(manifest(("a.dll", "a.dll", "11")))
        m.write_rules({"/Kestrion/Kestrionv4vista.ini": {"status": 500}})
        self.check_every_mode(m)
        m.write_rules({"/Kestrion/Kestrionv4vista.ini": {"chunked": True}})
        self.check_every_mode(m)

    def test_manifest_with_an_unsafe_entry_is_refused_whole(self):
        m = self.machine()
        m.serve_manifest(manifest(("a.dll", "a.dll", "11"), ("..\\..\\evil.dll", "evil.dll", "11")))
        self.check_every_mode(m, ["잘못된 파일 정보: FILE1"])
        self.assertFalse(m.exists(r"C:\windows\system32\a.dll"))

    def test_manifest_of_too_many_files_is_refused(self):
        m = self.machine()
        m.serve_manifest(manifest(("a.dll", "a.dll", "11"), count=128))
        self.check_every_mode(m, ["파일 개수 초과: 128"])

    def test_manifest_that_does_not_fit_the_buffer_is_refused(self):
        m = self.machine()
        text = manifest(("a.dll", "a.dll", "11"))
        m.serve_manifest(text.replace("<UPDATE>", "<UPDATE>" + " " * (8096 - len(text))))
        self.check_every_mode(m)


class ManifestTraceTest(WineTestCase):
    def test_setup_traces_the_whole_way_to_the_worker(self):
        m = self.machine()
        m.serve_manifest(manifest())
        run = m.run(["setup", "http://portal.example/"], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.trace_strings(), [
            "1", "2", "3",
            "AppPath: %s, Type: setup, URL: http://portal.example/" % PROGRAM_PATH,
            "Kestrionv4.0 iexplore.exe 종료"] + FETCH_TRACES + [
            "파일 정보 파싱 완료", "파일 체크 시작", "파일 체크 완료", "다운로드 쓰레드 시작",
            "vsredist_x86.exe 설치 시작", url("/Kestrion/ks_vcredist_x86.exe"),
            "vsredist_x86.exe 설치 다운로드 실패"])


if __name__ == "__main__":
    unittest.main()
