#!/usr/bin/env python3
"""The program's main jobs under Wine against the bundled sample server: a
full setup on a machine without the runtime, then an update of an older
installation and the swap at the next start of Windows. Prints what the
user saw and what the machine holds afterwards; keeps screenshots."""
import contextlib
import hashlib
import shutil
import subprocess
import sys
import threading
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "wine"))

import winereg  # noqa: E402
from harness import (IDYES, RUNONCE_KEY, RUNTIME_KEY, SYSTEM32, Machine,  # noqa: E402
                     installed_path, product_file)

OUT = ROOT / "build" / "demo"
PRODUCT = ["QVKsCore.dll", "QVKsView.dll", "QVKsAgent.exe", "QVKsHelp.dll", "TalviqueSvc.exe"]


@contextlib.contextmanager
def demo_machine(name, **kwargs):
    """A machine serving the sample product, removed afterwards."""
    m = Machine(name, **kwargs)
    try:
        m.serve_sample()
        yield m
    finally:
        m.close()
        shutil.rmtree(m.dir, ignore_errors=True)


class Screenshots:
    """Grabs the display every few tenths of a second and keeps each new picture."""

    def __init__(self, machine, name):
        self.machine, self.name = machine, name
        self.stop = threading.Event()
        self.kept = []
        self.thread = threading.Thread(target=self._loop, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()

    def _loop(self):
        last = None
        while not self.stop.wait(0.3):
            shot = subprocess.run(["import", "-display", self.machine.display(), "-window", "root",
                                   "-depth", "8", "rgb:-"], capture_output=True)
            if shot.returncode != 0 or not shot.stdout:
                continue
            digest = hashlib.sha1(shot.stdout).digest()
            if digest == last or not shot.stdout.strip(b"\0"):
                continue
            last = digest
            path = OUT / ("%s-%02d.png" % (self.name, len(self.kept) + 1))
            subprocess.run(["convert", "-size", "1024x768", "-depth", "8", "rgb:-", str(path)],
                           input=shot.stdout)
            self.kept.append(path)


def show_run(run):
    print("  exit code:", run.exit_code)
    for box in run.boxes:
        print("  box [%s] %s -> button %s" % (box.caption.decode("cp949"),
                                              box.text.decode("cp949").replace("\n", " / "),
                                              box.answer))
    labels = []
    for state in run.dialog:
        label = "%s %d/%d" % (state.label.decode("cp949"), state.pos, state.max)
        if state.visible and (not labels or labels[-1] != label):
            labels.append(label)
    if labels:
        print("  progress dialog:", " | ".join(labels))
    print("  trace lines:")
    for line in run.trace_strings():
        print("    [Kestrionv4_Setup]", line)


def setup_demo():
    print("== Setup: runtime missing, the questions answered Yes")
    with demo_machine("demo-setup", env={
            "QV_STANDIN_KS_VCREDIST_X86": "sleep:12000;key:" + RUNTIME_KEY}) as m:
        m.write_rules({"/Kestrion/v4/" + n: {"delay": 1.0} for n in PRODUCT})
        with Screenshots(m, "setup") as shots:
            run = m.run(["setup", "http://portal.example/kestrion/welcome"],
                        answers=[IDYES, IDYES], actions=["settle 1500"])
        show_run(run)
        print("  installed:")
        for name in PRODUCT + ["ks_vcredist_x86.exe"]:
            path = installed_path(name) if name != "ks_vcredist_x86.exe" else \
                SYSTEM32 + "\\ks_vcredist_x86.exe"
            print("    %-45s %s" % (path, "ok" if m.exists(path) else "MISSING"))
        print("  programs started:")
        for s in m.started():
            print("    %s %s" % (s.exe, s.arguments()))
        for r in m.registrations():
            print("    regsvr32 registered", bytes.fromhex(r["dll"]).decode("cp949"))
        print("  screenshots:", ", ".join(str(p.relative_to(ROOT)) for p in shots.kept))
        return run.exit_code == 0


def update_demo():
    print("== Update of an older installation, then a restart of Windows")
    with demo_machine("demo-update") as m:
        m.install_product()
        with Screenshots(m, "update") as shots:
            run = m.run(["update"], actions=["settle 1500"])
        show_run(run)
        print("  staged:")
        for name in PRODUCT:
            path = installed_path(name) + "_new"
            if m.exists(path):
                print("    " + path)
        print("  %s\\QVKSv4Update.bat:" % SYSTEM32)
        for line in m.read_file(SYSTEM32 + "\\QVKSv4Update.bat").decode("cp949").split("\r\n"):
            if line:
                print("    " + line)
        print("  RunOnce QvKsv4Update =",
              winereg.value(m.machine_registry(), RUNONCE_KEY, "QvKsv4Update"))
        m.restart_windows()
        print("  after the restart:")
        for name in PRODUCT:
            path = installed_path(name)
            if m.exists(path + "_old"):
                state = "replaced by the new version, the old one kept as _old"
            else:
                state = "new" if m.read_file(path) == product_file(name) else "unchanged, current"
            print("    %-45s %s" % (path, state))
        print("  RunOnce QvKsv4Update =",
              winereg.value(m.machine_registry(), RUNONCE_KEY, "QvKsv4Update"))
        print("  screenshots:", ", ".join(str(p.relative_to(ROOT)) for p in shots.kept))
        return run.exit_code == 0


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    OUT.mkdir(parents=True)
    ok = setup_demo()
    ok = update_demo() and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
