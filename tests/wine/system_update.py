"""Update mode from the request to the swap at the next start of Windows."""
import time
import unittest

from harness import (FIXTURES, RUNONCE_KEY, SYSTEM32, WINDOWS, WineTestCase, cp949, installed_path,
                     product_file, url, winereg)

UPGRADED = "Kestrionv4 업그레이드가 진행 되었습니다.\n\n변경사항은 재부팅 후, 적용 됩니다."
BATCH = SYSTEM32 + r"\QVKSv4Update.bat"
SERVICE = SYSTEM32 + r"\TalviqueSvc.exe"
# The sample installation: QVKsView.dll current, QVKsCore.dll and
# TalviqueSvc.exe older, QVKsAgent.exe newer than the server's, QVKsHelp.dll missing.
STAGED = ["QVKsCore.dll", "QVKsAgent.exe", "QVKsHelp.dll", "TalviqueSvc.exe"]


def renames(name):
    path = installed_path(name)
    return "ren %s %s_old\r\nren %s_new %s\r\n" % (path, name, path, name)


def service_lines():
    return renames("TalviqueSvc.exe") + "%s -remove\r\n%s -install\r\n%s -start\r\n" % (
        SERVICE, SERVICE, SERVICE)


class UpdateTest(WineTestCase):
    def sample_machine(self, **kwargs):
        m = self.machine(**kwargs)
        m.serve_sample()
        m.install_product()
        return m

    def assertStaged(self, machine, names):
        for name in STAGED + ["QVKsView.dll"]:
            staged = machine.exists(installed_path(name) + "_new")
            self.assertEqual(staged, name in names, name)
            if staged:
                self.assertEqual(machine.read_file(installed_path(name) + "_new"),
                                 product_file(name), name)
            self.assertFalse(machine.exists(installed_path(name) + "_new.part"), name)

    def run_value(self, machine):
        return winereg.value(machine.machine_registry(), RUNONCE_KEY, "QvKsv4Update")

    def test_out_of_date_and_missing_files_are_staged_and_swapped_at_restart(self):
        m = self.sample_machine()
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(len(run.boxes), 1)
        self.assertBox(run.boxes[0], UPGRADED, caption="QVKestrionv4Setup", icon="exclamation")
        self.assertStaged(m, STAGED)
        # Installed copies are left alone until the swap.
        self.assertEqual(m.read_file(installed_path("QVKsCore.dll")),
                         product_file("QVKsCore.dll", "installed"))
        self.assertEqual(m.read_file(BATCH), cp949(
            renames("QVKsCore.dll") + renames("QVKsAgent.exe") + renames("QVKsHelp.dll") +
            service_lines()))
        self.assertEqual(self.run_value(m), (winereg.REG_SZ, BATCH))
        self.assertEqual(sorted(r["path"] for r in run.requests), sorted(
            ["/Kestrion/Kestrionv4vista.ini"] + ["/Kestrion/v4/" + n for n in STAGED]))
        for r in run.requests:
            agent = "Kestrionv4Setup" if r["path"].endswith(".ini") else "Kestrion"
            self.assertEqual(r["user_agent"], agent, r["path"])
        traces = run.trace_strings()
        self.assertEqual(traces[7:10], ["파일 정보 파싱 완료", "파일 체크 시작", "파일 체크 완료"])
        self.assertEqual(traces[10:], [
            line for name in STAGED
            for line in (url("/Kestrion/v4/" + name), "다운로드 성공 FileName: " + name)])

        m.restart_windows()
        for name in STAGED:
            self.assertEqual(m.read_file(installed_path(name)), product_file(name), name)
            self.assertFalse(m.exists(installed_path(name) + "_new"), name)
        for name in ("QVKsCore.dll", "QVKsAgent.exe", "TalviqueSvc.exe"):
            self.assertEqual(m.read_file(installed_path(name) + "_old"),
                             product_file(name, "installed"), name)
        self.assertFalse(m.exists(installed_path("QVKsView.dll") + "_old"))
        self.assertIsNone(self.run_value(m))
        service = [s.arguments() for s in m.started("TalviqueSvc.exe")]
        self.assertEqual(service, ["-remove", "-install", "-start"])

    def test_file_in_use_is_staged_and_replaced_after_its_user_ended(self):
        m = self.sample_machine()
        core = installed_path("QVKsCore.dll")
        holder = m.start_background(str(FIXTURES / "holdfile.exe"), core, r"C:\qvlog\held")
        deadline = time.time() + 30
        while not m.exists(r"C:\qvlog\held") and time.time() < deadline:
            time.sleep(0.1)
        self.assertTrue(m.exists(r"C:\qvlog\held"))
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertIsNone(holder.poll())
        self.assertStaged(m, STAGED)
        m.restart_windows()  # the holder ends with the session
        self.assertEqual(m.read_file(core), product_file("QVKsCore.dll"))
        self.assertEqual(m.read_file(core + "_old"), product_file("QVKsCore.dll", "installed"))

    def test_on_xp_the_service_gets_only_its_renames(self):
        m = self.sample_machine(windows_version="winxp")
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.request_paths()[0], "/Kestrion/Kestrionv4xp.ini")
        self.assertEqual(m.read_file(BATCH), cp949(
            renames("QVKsCore.dll") + renames("QVKsAgent.exe") + renames("QVKsHelp.dll") +
            renames("TalviqueSvc.exe")))

    def test_failed_downloads_are_traced_and_left_out(self):
        m = self.sample_machine()
        m.write_rules({"/Kestrion/v4/QVKsCore.dll": {"status": 404},
                       "/Kestrion/v4/QVKsHelp.dll": {"send_bytes": 3000}})
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertStaged(m, ["QVKsAgent.exe", "TalviqueSvc.exe"])
        traces = run.trace_strings()
        for line in ("다운로드 실패 FileName: QVKsCore.dll", "다운로드 실패 FileName: QVKsHelp.dll",
                     "다운로드 성공 FileName: QVKsAgent.exe", "다운로드 성공 FileName: TalviqueSvc.exe"):
            self.assertIn(line, traces)
        self.assertEqual(traces[-2:], ["다운실패 QVKsCore.dll", "다운실패 QVKsHelp.dll"])
        self.assertEqual(m.read_file(BATCH), cp949(renames("QVKsAgent.exe") + service_lines()))
        self.assertBox(run.boxes[0], UPGRADED)

    def test_nothing_out_of_date_schedules_nothing(self):
        m = self.machine()
        m.serve_sample()
        m.install_product("product")
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertEqual(run.request_paths(), ["/Kestrion/Kestrionv4vista.ini"])
        self.assertFalse(m.exists(BATCH))
        self.assertIsNone(self.run_value(m))

    def test_unreachable_server_shows_nothing_and_changes_nothing(self):
        m = self.machine(serve=False)
        m.install_product()
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertEqual(run.boxes, [])
        self.assertFalse(m.exists(BATCH))
        self.assertIsNone(self.run_value(m))

    def test_earlier_staging_and_a_stale_old_copy(self):
        m = self.sample_machine()
        core = installed_path("QVKsCore.dll")
        m.put_file(core + "_old", data=b"stale")
        m.put_file(installed_path("QVKsView.dll") + "_old", data=b"kept")
        m.put_file(BATCH, data=b"ren left over from last time\r\n" * 20)
        run = m.run(["update"])
        self.assertEqual(run.exit_code, 0)
        self.assertFalse(m.exists(core + "_old"))  # would block the rename at the swap
        self.assertEqual(m.read_file(installed_path("QVKsView.dll") + "_old"), b"kept")
        self.assertFalse(m.read_file(BATCH).startswith(b"ren left over"))
        self.assertFalse(m.exists(BATCH + ".part"))


if __name__ == "__main__":
    unittest.main()
