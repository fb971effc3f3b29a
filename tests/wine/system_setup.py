"""Setup and manual mode from the first question to the exit: the runtime,
the downloads with the progress dialog, registration and the outcome."""
import time
import unittest

from harness import (IDOK, IDYES, RUNTIME_KEY, SYSTEM32, WineTestCase, cp949, installed_path,
                     product_file, url, winereg)

PAGE = "http://portal.example/kestrion/done?from=setup"
PRODUCT = ["QVKsCore.dll", "QVKsView.dll", "QVKsAgent.exe", "QVKsHelp.dll", "TalviqueSvc.exe"]
COMPONENTS = ["QVKsCore.dll", "QVKsView.dll"]
PACKAGE = SYSTEM32 + r"\ks_vcredist_x86.exe"
REGISTERED_KEY = r"Software\QVFixture\Registered"
HELP_PAGE = ("http://www.microsoft.com/downloads/details.aspx?displaylang=ko&"
             "FamilyID=5a58b56f-60b6-4412-95b9-54d056d6f9f4")
COMPLETE = "Kestrionv4 설치완료"
APP = "QVKestrionv4Setup"


def slow_files(seconds):
    """Rules that keep each product file in flight long enough to be seen."""
    return {"/Kestrion/v4/" + name: {"delay": seconds} for name in PRODUCT}


class SetupTest(WineTestCase):
    def setup_machine(self, runtime=True, env=None, **kwargs):
        m = self.machine(env=env, **kwargs)
        m.serve_sample()
        if runtime:
            m.set_machine_value(RUNTIME_KEY, {})
        return m

    def wait_for_registrations(self, machine, count):
        deadline = time.time() + 30
        while len(machine.registrations()) < count and time.time() < deadline:
            time.sleep(0.2)

    def assertInstalled(self, machine, names=PRODUCT):
        for name in names:
            self.assertEqual(machine.read_file(installed_path(name)), product_file(name), name)
            self.assertFalse(machine.exists(installed_path(name) + ".part"), name)

    def assertProgress(self, run, names):
        """The label names each file while it is fetched; the bar stands at
        the row before it, and full at the end."""
        states = [s for s in run.dialog if s.visible]
        self.assertTrue(states, "the dialog was never shown")
        self.assertEqual({(s.min, s.max) for s in states}, {(0, len(names))})
        seen = [(s.label, s.pos) for s in states]
        for i, name in enumerate(names):
            self.assertIn((cp949(name), max(i - 1, 0)), seen, name)
        positions = [s.pos for s in states]
        self.assertEqual(positions, sorted(positions))
        self.assertEqual(positions[-1], len(names))

    def test_setup_with_the_runtime_present(self):
        m = self.setup_machine()
        m.write_rules(slow_files(0.6))
        run = m.run(["setup", PAGE], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertInstalled(m)
        self.assertProgress(run, PRODUCT)
        self.assertEqual(len(run.boxes), 3)
        self.assertBox(run.boxes[2], COMPLETE, caption=APP, icon="exclamation", owned=True)
        traces = run.trace_strings()
        start = traces.index("파일 체크 완료")
        self.assertEqual(traces[start + 1:], [
            "다운로드 쓰레드 시작", "vsredist_x86.exe 설치 됨", "모듈 다운로드 시작"] +
            [url("/Kestrion/v4/" + n) for n in PRODUCT] +
            [installed_path(n) for n in COMPONENTS] + ["Kestrionv4 설치 완료"])
        self.assertNotIn("/Kestrion/ks_vcredist_x86.exe", run.request_paths())

        browser = m.started("iexplore.exe")
        self.assertEqual([b.arguments() for b in browser], [PAGE])
        service = m.started("TalviqueSvc.exe")
        self.assertEqual([s.arguments() for s in service], [" -install", " -start"])
        self.assertEqual(service[0].exe.lower(), installed_path("TalviqueSvc.exe").lower())
        self.assertGreaterEqual(service[1].time - service[0].time, 2.9)
        self.assertLess(service[1].time - service[0].time, 6)

        self.wait_for_registrations(m, 2)
        registry = m.machine_registry()
        for name in COMPONENTS:
            self.assertEqual(winereg.value(registry, REGISTERED_KEY, name),
                             (winereg.REG_SZ, installed_path(name)), name)
        self.assertIsNone(winereg.value(registry, REGISTERED_KEY, "TalviqueSvc.exe"))

    def test_manual_does_the_same_work_without_reopening_the_page(self):
        m = self.setup_machine()
        run = m.run(["manual", PAGE])
        self.assertEqual(run.exit_code, 0)
        self.assertInstalled(m)
        self.assertBox(run.boxes[-1], COMPLETE, caption=APP, icon="exclamation")
        self.assertEqual(m.started("iexplore.exe"), [])
        self.assertEqual([s.arguments() for s in m.started("TalviqueSvc.exe")],
                         [" -install", " -start"])

    def test_missing_runtime_is_downloaded_and_installed_quietly(self):
        m = self.setup_machine(runtime=False, env={
            "QV_STANDIN_KS_VCREDIST_X86": "sleep:15000;key:" + RUNTIME_KEY})
        m.put_file(PACKAGE, data=b"stale package from an earlier run")
        run = m.run(["setup", PAGE], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(m.read_file(PACKAGE), product_file("ks_vcredist_x86.exe"))
        (package,) = m.started("ks_vcredist_x86.exe")
        self.assertEqual(package.exe.lower(), PACKAGE.lower())
        self.assertEqual(package.arguments(), "/q")
        labels = [s.label for s in run.dialog if s.visible]
        for dots in (1, 2):
            self.assertIn(cp949("ks_vcredist_x86.exe" + " ." * dots), labels)
        traces = run.trace_strings()
        first = traces.index("vsredist_x86.exe 설치 시작")
        self.assertEqual(traces[first:first + 3], [
            "vsredist_x86.exe 설치 시작", url("/Kestrion/ks_vcredist_x86.exe"),
            "vsredist_x86.exe 설치 쓰레드 실행"])
        # The key comes about 15 s after the package started; polls are 2 s apart.
        self.assertIn(traces.count("vcredist_x86.exe 설치 중"), (7, 8, 9))
        self.assertIn("vcredist_x86.exe 설치 완료", traces)
        self.assertInstalled(m)
        self.assertBox(run.boxes[-1], COMPLETE)

    def test_runtime_that_does_not_install_leads_to_the_help_page(self):
        m = self.setup_machine(runtime=False, env={"QV_STANDIN_KS_VCREDIST_X86": "sleep:1000"})
        run = m.run(["setup", PAGE], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual([b.text for b in run.boxes[2:]], [
            cp949("설치 과정에서 오류가 발생 되었습니다."),
            cp949("Windows Installer을 설치 하시고,\n\n 재설치 하여 주시기 바랍니다.")])
        for box in run.boxes[2:]:
            self.assertBox(box, box.text.decode("cp949"), caption=APP, icon="exclamation")
        self.assertEqual([b.arguments() for b in m.started("iexplore.exe")], [HELP_PAGE])
        self.assertFalse(m.exists(PACKAGE))
        traces = run.trace_strings()
        self.assertEqual(traces[-4:], ["vcredist_x86.exe 설치 중", "vcredist_x86.exe Process 종료 됨",
                                       "vcredist_x86.exe 설치 실패", "vsredist_x86.exe 설치 쓰레드 종료"])
        self.assertFalse(any(p.startswith("/Kestrion/v4/") for p in run.request_paths()))

    def test_runtime_package_not_found_ends_with_a_notice(self):
        m = self.setup_machine(runtime=False)
        m.write_rules({"/Kestrion/ks_vcredist_x86.exe": {"status": 404}})
        run = m.run(["setup", PAGE], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertBox(run.boxes[-1], "Kestrionv4 설치에 필요한 런타임을 받지 못했습니다.\n\n"
                       "잠시 후 다시 설치하여 주시기 바랍니다.", caption=APP, icon="exclamation")
        self.assertEqual(run.trace_strings()[-1], "vsredist_x86.exe 설치 다운로드 실패")
        self.assertEqual(m.started(), [])

    def test_a_file_that_fails_is_named_instead_of_claiming_success(self):
        m = self.setup_machine()
        m.write_rules({"/Kestrion/v4/QVKsView.dll": {"status": 404},
                       "/Kestrion/v4/QVKsHelp.dll": {"send_bytes": 100}})
        run = m.run(["setup", PAGE], answers=[IDYES, IDYES])
        self.assertEqual(run.exit_code, 0)
        self.assertBox(run.boxes[-1], "Kestrionv4 설치를 완료하지 못했습니다.\n\n"
                       "다운로드에 실패한 파일:\nQVKsView.dll\nQVKsHelp.dll\n",
                       caption=APP, icon="exclamation")
        self.assertInstalled(m, ["QVKsCore.dll", "QVKsAgent.exe", "TalviqueSvc.exe"])
        for name in ("QVKsView.dll", "QVKsHelp.dll"):
            self.assertFalse(m.exists(installed_path(name)), name)
            self.assertFalse(m.exists(installed_path(name) + ".part"), name)
        traces = run.trace_strings()
        self.assertIn("다운로드 실패 : QVKsView.dll", traces)
        self.assertIn("다운로드 실패 : QVKsHelp.dll", traces)
        self.assertEqual([b.arguments() for b in m.started("iexplore.exe")], [PAGE])

    def test_running_service_is_not_installed_again(self):
        m = self.setup_machine(env={"QV_STANDIN_TALVIQUESVC_SERVICE": "run"})
        m.put_file(installed_path("TalviqueSvc.exe"), data=product_file("TalviqueSvc.exe", "installed"))
        m.start_background(installed_path("TalviqueSvc.exe"), "-service")
        deadline = time.time() + 30
        while not m.started("TalviqueSvc.exe") and time.time() < deadline:
            time.sleep(0.1)
        run = m.run(["manual"])
        self.assertEqual(run.exit_code, 0)
        self.assertIn("TalviqueSvc.exe 실행 중", run.trace_strings())
        self.assertEqual([s.arguments() for s in m.started("TalviqueSvc.exe")], ["-service"])
        self.assertIsNone(winereg.value(m.machine_registry(), REGISTERED_KEY, "TalviqueSvc.exe"))

    def test_on_xp_the_service_is_registered_like_a_component(self):
        m = self.setup_machine(windows_version="winxp")
        run = m.run(["manual"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.request_paths()[0], "/Kestrion/Kestrionv4xp.ini")
        traces = run.trace_strings()
        self.assertEqual(traces[traces.index(url("/Kestrion/v4/TalviqueSvc.exe")) + 1:], [
            installed_path(n) for n in COMPONENTS + ["TalviqueSvc.exe"]] + ["Kestrionv4 설치 완료"])
        self.assertEqual(m.started("TalviqueSvc.exe"), [])


class ProgressDialogTest(WineTestCase):
    def test_about_box_icons_and_closing_while_the_worker_runs(self):
        m = self.machine()
        m.serve_sample()
        m.set_machine_value(RUNTIME_KEY, {})
        m.write_rules(slow_files(2))
        run = m.run(["manual"], answers=[IDOK, IDOK, IDOK, IDOK], actions=[
            "wait-dialog", "sysmenu", "icons", "post 0x112 0x10 0", "wait-box 3",
            "post 0x112 0x1F 0", "wait-box 4", "close", "minimize", "sleep 500", "restore"])
        self.assertEqual(run.exit_code, 0)
        (menu,) = [r for r in run.robot if r.get("kind") == "sysmenu"]
        items = [(i["id"], bytes.fromhex(i["text"])) for i in menu["items"]]
        about = items.index((0x10, cp949("QVKestrionv4Setup 정보(&A)...")))
        self.assertEqual(items[about - 1][0], 0)  # the separator before it
        (icons,) = [r for r in run.robot if r.get("kind") == "icons"]
        self.assertNotEqual(int(icons["big"], 16), 0)
        self.assertEqual(icons["big"], icons["small"])
        self.assertEqual(icons["big"], icons["drag"])
        for box in run.boxes[2:4]:
            self.assertEqual(box.caption, cp949("QVKestrionv4Setup 정보"))
            self.assertIn(cp949("QVKestrionv4Setup 버전 1.0"),
                          [bytes.fromhex(c["text"]) for c in box.record["children"]])
            self.assertEqual(box.button_ids, [IDOK])
        (close,) = [r for r in run.robot if r.get("kind") == "close"]
        self.assertEqual(close["still_there"], 1)
        self.assertTrue(any(s.iconic for s in run.dialog))
        self.assertBox(run.boxes[-1], COMPLETE)
        self.assertEqual(m.read_file(installed_path("QVKsHelp.dll")), product_file("QVKsHelp.dll"))


if __name__ == "__main__":
    unittest.main()
