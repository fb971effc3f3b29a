"""Start-up of the real program: command line, questions and notices, the
debug switch, closing the browser, and the exit code."""
import time
import unittest

from harness import IDNO, IDOK, IDYES, PROGRAM_PATH, WineTestCase, cp949, winereg

QUESTION_1 = ("Kestrionv4.0 설치를 시작합니다.\n\n"
              "사용중인 Internet Explorer가 모두 종료 됩니다.")
QUESTION_2 = ("작업중인 Internet Explorer를 저장하여 주시기 바랍니다.\n\n"
              "확인시 작업중인 Internet Explorer가 모두 종료 됩니다.\n")
CANCELLED = "Kestrionv4.0  설치가 취소 되었습니다.\n"
SERVER_FAILED = "서버 정보 로드에 실패 하였습니다."
APP_TITLE = "QVKestrionv4Setup"
BROWSER = r"C:\windows\system32\iexplore.exe"


def head(mode, url=""):
    return ["1", "2", "3", "AppPath: %s, Type: %s, URL: %s" % (PROGRAM_PATH, mode, url)]


class StartupTest(WineTestCase):
    def start_browsers(self, machine, count):
        procs = [machine.start_background(BROWSER, "http://portal.example/%d" % i)
                 for i in range(count)]
        deadline = time.time() + 30
        while len(machine.started("iexplore.exe")) < count and time.time() < deadline:
            time.sleep(0.1)
        self.assertEqual(len(machine.started("iexplore.exe")), count)
        return procs

    def assertQuestion(self, box, text, buttons=(IDYES, IDNO)):
        self.assertBox(box, text, caption="Kestrion4.0 ", buttons=buttons, icon="none", owned=True)

    def test_no_arguments_traces_only_the_first_line(self):
        m = self.machine()
        run = m.run([])
        self.assertEqual(run.exit_code, 0)
        self.assertTraces(run, ["1"])
        self.assertEqual(run.boxes, [])
        self.assertEqual(run.requests, [])

    def test_mode_with_capitals_is_not_recognised(self):
        m = self.machine()
        run = m.run(["Setup", "http://portal.example/"])
        self.assertEqual(run.exit_code, 0)
        self.assertTraces(run, head("Setup"))
        self.assertEqual(run.boxes, [])

    def test_setup_refused_at_the_first_question(self):
        m = self.machine()
        browsers = self.start_browsers(m, 1)
        run = m.run(["setup"], answers=[IDNO])
        self.assertEqual(run.exit_code, 0)
        self.assertTraces(run, head("setup"))
        self.assertEqual(len(run.boxes), 2)
        self.assertQuestion(run.boxes[0], QUESTION_1)
        self.assertBox(run.boxes[1], CANCELLED, caption="Kestrion4.0", icon="none", owned=True)
        self.assertIsNone(browsers[0].poll(), "the browser was closed")
        self.assertEqual(run.requests, [])

    def test_setup_refused_at_the_second_question(self):
        m = self.machine()
        browsers = self.start_browsers(m, 1)
        run = m.run(["setup", "http://portal.example/page"], answers=[IDYES, IDNO])
        self.assertEqual(run.exit_code, 0)
        self.assertTraces(run, head("setup", "http://portal.example/page"))
        self.assertEqual([b.text for b in run.boxes],
                         [cp949(QUESTION_1), cp949(QUESTION_2), cp949(CANCELLED)])
        self.assertQuestion(run.boxes[1], QUESTION_2)
        self.assertIsNone(browsers[0].poll(), "the browser was closed")
        self.assertEqual(run.requests, [])

    def test_setup_accepted_closes_every_browser_before_loading(self):
        m = self.machine()
        browsers = self.start_browsers(m, 2)
        run = m.run(["setup", "http://portal.example/page"], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.trace_strings()[:5],
                         head("setup", "http://portal.example/page") + ["Kestrionv4.0 iexplore.exe 종료"])
        self.assertEqual(len(run.boxes), 3)
        self.assertBox(run.boxes[2], SERVER_FAILED, caption=APP_TITLE, icon="exclamation", owned=True)
        for browser in browsers:
            self.assertIsNotNone(browser.poll(), "a browser is still running")
        self.assertEqual(len(run.requests), 1)
        # The browsers were gone before the manifest was asked for.
        self.assertLess(max(s.time for s in m.started("iexplore.exe")), run.requests[0]["time"])

    def test_manual_shows_its_two_notices(self):
        m = self.machine()
        browsers = self.start_browsers(m, 1)
        run = m.run(["manual", "http://portal.example/ignored"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.trace_strings()[:5], head("manual") + ["Kestrionv4.0 iexplore.exe 종료"])
        self.assertEqual(len(run.boxes), 3)
        self.assertBox(run.boxes[0], "여기여기", caption=APP_TITLE, icon="exclamation", owned=True)
        self.assertBox(run.boxes[1], QUESTION_1, caption="Kestrion4.0 ", icon="none", owned=True)
        self.assertBox(run.boxes[2], SERVER_FAILED, caption=APP_TITLE, icon="exclamation")
        self.assertIsNotNone(browsers[0].poll(), "the browser is still running")


class DebugSwitchTest(WineTestCase):
    def traces_with(self, data):
        m = self.machine(debug_switch=data)
        run = m.run(["Setup"])
        self.assertEqual(run.exit_code, 0)
        return run

    def test_switch_on(self):
        run = self.traces_with("1")
        self.assertEqual(run.debug_lines, [b"[Kestrionv4_Setup] " + t for t in
                                           [b"1", b"2", b"3", cp949(head("Setup")[3])]])

    def test_switch_off(self):
        cases = {"no key": None, "zero": "0", "one and a blank": "1 ",
                 "number one": 1, "binary one": (winereg.REG_BINARY, b"1")}
        for what, data in cases.items():
            with self.subTest(what):
                run = self.traces_with(data)
                if what == "binary one":
                    # Only the bytes count, not the type.
                    self.assertEqual(run.trace_strings(), head("Setup"))
                else:
                    self.assertEqual(run.debug_lines, [])


if __name__ == "__main__":
    unittest.main()
