"""Runs the real program under Wine, on a display of its own, in a Wine prefix
of its own, against the bundled download server, and collects what a user and
the system see: exit code, trace lines from the debug output channel, message
boxes and the progress dialog as the box robot saw them, programs started,
requests the server got, files and registry values left behind."""
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path, PureWindowsPath

import winereg

ROOT = Path(__file__).resolve().parents[2]
BUILD = Path(os.environ.get("QV_BUILD_DIR", ROOT / "build" / "win32")).resolve()
PRISTINE = BUILD / "wine" / "pristine"
FIXTURES = BUILD / "fixtures"
PRODUCT = BUILD / "QVKestrionv4Setup.exe"
SERVER = ROOT / "tests" / "server" / "kserver.py"
SCRATCH = BUILD / "wine" / "runs"
SAMPLE = ROOT / "tests" / "server" / "sample" / "Kestrion"

SYSTEM32 = r"C:\windows\system32"
WINDOWS = r"C:\windows"
# Where the sample manifest puts each product file.
SAMPLE_FOLDERS = {"QVKsAgent.exe": WINDOWS}


def installed_path(name):
    return SAMPLE_FOLDERS.get(name, SYSTEM32) + "\\" + name


def product_file(name, folder="product"):
    return (FIXTURES / folder / name).read_bytes()

HOST = os.environ.get("QV_SERVER_HOST", "download.kestrion.co.kr")
TRACE_PREFIX = b"[Kestrionv4_Setup] "
PROGRAM_PATH = r"C:\Kestrion\QVKestrionv4Setup.exe"
LOG_DIR = r"C:\qvlog"

RUNTIME_KEY = (r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
               r"\{9A25302D-30C0-39D9-BD6F-21E6EC160475}")
RUNONCE_KEY = r"Software\Microsoft\Windows\CurrentVersion\RunOnce"
DEBUG_KEY = r"Software\Quevanta\Morvessa"

IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7


def cp949(text):
    return text.encode("cp949")


def url(path):
    return "http://%s%s" % (HOST, path)


def _hex(text):
    return bytes.fromhex(text) if text else b""


class Box:
    """One message box (or other dialog) as the robot recorded it."""

    def __init__(self, record):
        self.record = record
        self.caption = _hex(record.get("caption", ""))
        self.text = _hex(record.get("text", ""))
        self.buttons = [(b["id"], _hex(b["text"])) for b in record.get("buttons", [])]
        self.button_ids = [b for b, _ in self.buttons]
        self.icon = record.get("icon")
        owner = record.get("owner") or {}
        self.owner_is_main = bool(owner.get("is_main"))
        self.owner_caption = _hex(owner.get("caption", "")) if owner else None
        self.answer = record.get("answer")
        self.time = record.get("t", 0) / 1000.0

    def __repr__(self):
        return "Box(caption=%r, text=%r, buttons=%r, icon=%r, owner_is_main=%r)" % (
            self.caption.decode("cp949", "replace"), self.text.decode("cp949", "replace"),
            self.button_ids, self.icon, self.owner_is_main)


class DialogState:
    def __init__(self, record):
        self.visible = bool(record.get("visible"))
        self.iconic = bool(record.get("iconic"))
        self.enabled = bool(record.get("enabled"))
        self.label = _hex(record.get("label", ""))
        self.pos = record.get("pos")
        self.min = record.get("min")
        self.max = record.get("max")
        self.time = record.get("t", 0) / 1000.0

    def __repr__(self):
        return "Dialog(label=%r, pos=%r, range=%r..%r, visible=%r)" % (
            self.label.decode("cp949", "replace"), self.pos, self.min, self.max, self.visible)


class Started:
    """A stand-in program's start, with what it did afterwards."""

    def __init__(self, records):
        first = records[0]
        self.exe = _hex(first.get("exe", "")).decode("cp949", "replace")
        self.pid = first.get("pid")
        self.cmdline = _hex(first.get("cmdline", ""))
        self.time = first.get("t", 0) / 1000.0

    @property
    def name(self):
        return PureWindowsPath(self.exe).name

    def arguments(self):
        """The command line after the program's own name."""
        line = self.cmdline.decode("cp949", "replace")
        if line.startswith('"'):
            rest = line[line.index('"', 1) + 1:]
        else:
            rest = line[len(line.split(" ")[0]):]
        return rest[1:] if rest.startswith(" ") else rest

    def __repr__(self):
        return "Started(%s %r)" % (self.name, self.cmdline.decode("cp949", "replace"))


class Run:
    """What one run of the program left to look at."""

    def __init__(self, exit_code, duration, debug, robot, requests):
        # exit_code is None when the program did not end in time.
        self.exit_code = exit_code
        self.duration = duration
        self.debug_lines = [_hex(r["hex"]) for r in debug]
        self.traces = [line[len(TRACE_PREFIX):] for line in self.debug_lines
                       if line.startswith(TRACE_PREFIX)]
        self.robot = robot
        self.boxes = [Box(r) for r in robot if r.get("kind") == "box"]
        self.dialog = [DialogState(r) for r in robot if r.get("kind") == "dialog"]
        self.requests = requests

    def trace_strings(self):
        return [t.decode("cp949", "replace") for t in self.traces]

    def request_paths(self):
        return [r["path"] for r in self.requests]


def _read_jsonl(path):
    records = []
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                line = line.strip()
                if line:
                    try:
                        records.append(json.loads(line))
                    except ValueError:
                        pass  # a line cut off by the end of its writer
    except FileNotFoundError:
        pass
    return records


def _write(target, source, data):
    """A copy of source, or data, at target."""
    target.parent.mkdir(parents=True, exist_ok=True)
    if source is not None:
        shutil.copyfile(source, target)
    else:
        target.write_bytes(data)
    return target


def _wait_for(predicate, timeout, what):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if predicate():
            return
        time.sleep(0.05)
    raise TimeoutError("timed out waiting for " + what)


class Machine:
    """A Windows machine: a copy of the pristine prefix, a display, the
    download server, the debug monitor and the box robot."""

    def __init__(self, name, windows_version=None, debug_switch="1", serve=True, env=None):
        SCRATCH.mkdir(parents=True, exist_ok=True)
        self.dir = Path(tempfile.mkdtemp(prefix=name + "-", dir=SCRATCH))
        self.prefix = self.dir / "prefix"
        self.logs = self.dir / "logs"
        self.logs.mkdir()
        self.procs = []
        self.helpers = []
        self.xvfb = None
        self.server = None
        self.server_port = None
        self.server_root = self.dir / "server"
        self.server_script = self.dir / "server-script.json"
        self.server_log = self.dir / "server-log.jsonl"
        self.wine_started = False
        self.extra_env = dict(env or {})
        subprocess.run(["cp", "-a", str(PRISTINE), str(self.prefix)], check=True)
        self.fixture_log = self.drive_c / "qvlog"
        self.fixture_log.mkdir(exist_ok=True)
        if windows_version:
            self.set_user_value(r"Software\Wine", {"Version": windows_version})
        if debug_switch is not None:
            self.set_machine_value(DEBUG_KEY, {"debug": debug_switch})
        self.put_file(PROGRAM_PATH, PRODUCT)
        self.install_fixture("iexplore.exe", r"C:\windows\system32\iexplore.exe")
        self.install_fixture("iexplore.exe",
                             r"C:\Program Files\Internet Explorer\iexplore.exe")
        if serve:
            self.server_root.mkdir()
            self.write_rules({})
            self._start_server()

    # --- paths ---
    @property
    def drive_c(self):
        return self.prefix / "drive_c"

    def host_path(self, windows_path):
        p = PureWindowsPath(windows_path)
        assert p.drive.upper() == "C:", windows_path
        found = self.drive_c
        for part in p.parts[1:]:
            # Wine keeps folders such as "system32" in lower case.
            candidates = [c for c in (found.iterdir() if found.is_dir() else [])
                          if c.name.lower() == part.lower()]
            found = candidates[0] if candidates else found / part
        return found

    def exists(self, windows_path):
        return self.host_path(windows_path).exists()

    def read_file(self, windows_path):
        return self.host_path(windows_path).read_bytes()

    def put_file(self, windows_path, source=None, data=None):
        return _write(self.host_path(windows_path), source, data)

    def install_fixture(self, fixture, windows_path):
        return self.put_file(windows_path, FIXTURES / fixture)

    # --- registry, before wine starts or after it stopped ---
    def set_machine_value(self, key, values):
        assert not self.wine_started, "registry files are edited only while Wine is down"
        winereg.append(self.prefix / "system.reg", key, values)

    def set_user_value(self, key, values):
        assert not self.wine_started, "registry files are edited only while Wine is down"
        winereg.append(self.prefix / "user.reg", key, values)

    def machine_registry(self):
        self.stop_wine()
        return winereg.read(self.prefix / "system.reg")

    # --- the download server ---
    def serve_file(self, server_path, source=None, data=None):
        return _write(self.server_root / server_path.lstrip("/"), source, data)

    def serve_sample(self, manifest=True):
        """The sample product: its manifests and the files they list."""
        if manifest:
            for ini in SAMPLE.glob("*.ini"):
                self.serve_file("/Kestrion/" + ini.name, ini)
        for f in (FIXTURES / "product").iterdir():
            if f.name == "ks_vcredist_x86.exe":
                self.serve_file("/Kestrion/" + f.name, f)
            else:
                self.serve_file("/Kestrion/v4/" + f.name, f)

    def serve_manifest(self, text, path="/Kestrion/Kestrionv4vista.ini"):
        data = text if isinstance(text, bytes) else text.encode("cp949")
        self.serve_file(path, data=data)

    def install_product(self, folder="installed", names=None):
        """Puts fixtures/<folder>/ files where the product installs them."""
        for f in (FIXTURES / folder).iterdir():
            if names is not None and f.name not in names:
                continue
            self.put_file(installed_path(f.name), f)

    def write_rules(self, rules):
        tmp = self.server_script.with_suffix(".tmp")
        tmp.write_text(json.dumps({"rules": rules}))
        os.replace(tmp, self.server_script)

    def _start_server(self):
        port_file = self.dir / "server-port"
        self.server = subprocess.Popen(
            ["python3", str(SERVER), "--root", str(self.server_root), "--port", "0",
             "--port-file", str(port_file), "--script", str(self.server_script),
             "--log", str(self.server_log)],
            stdout=open(self.logs / "server.out", "wb"), stderr=subprocess.STDOUT)
        _wait_for(port_file.exists, 20, "the download server")
        self.server_port = int(port_file.read_text().strip())

    def requests(self):
        return _read_jsonl(self.server_log)

    # --- wine ---
    def env(self):
        env = dict(os.environ)
        for name in ("http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"):
            env.pop(name, None)
        env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEARCH": "win32",
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=d;winemenubuilder.exe=d",
            "LC_ALL": "ko_KR.UTF-8",
            "DISPLAY": self.display(),
            "QV_FIXTURE_LOG": LOG_DIR,
        })
        env.update(self.extra_env)
        # Nothing listens here when the server is not started: connection refused.
        env["http_proxy"] = "http://127.0.0.1:%d" % (self.server_port or self._closed_port())
        return env

    def _closed_port(self):
        import socket
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
        s.close()
        return port

    def display(self):
        if self.xvfb is None:
            read_end, write_end = os.pipe()
            self.xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
            os.close(write_end)
            number = b""
            while not number.endswith(b"\n"):
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                number += chunk
            os.close(read_end)
            self._display = ":" + number.decode().strip()
        return self._display

    def wine(self, args, **kwargs):
        self.wine_started = True
        return subprocess.Popen(["wine"] + list(args), env=self.env(),
                                stdout=kwargs.pop("stdout", subprocess.DEVNULL),
                                stderr=kwargs.pop("stderr", subprocess.DEVNULL), **kwargs)

    def start_background(self, windows_program, *args):
        """Starts a program that keeps running until Wine stops."""
        proc = self.wine([windows_program] + list(args))
        self.procs.append(proc)
        return proc

    def _stop_helpers(self):
        for proc in self.helpers:
            if proc.poll() is None:
                proc.kill()
                proc.wait(10)
        self.helpers = []

    def _start_helpers(self, script_lines):
        # One monitor and one robot at a time: those of an earlier run go.
        self._stop_helpers()
        script = self.logs / "robot-script.txt"
        script.write_text("\n".join(script_lines) + "\n")
        for name in ("dbwin.jsonl", "robot.jsonl"):
            (self.logs / name).write_bytes(b"")
        monitor_ready = self.logs / "dbwin.ready"
        robot_ready = self.logs / "robot.ready"
        for p in (monitor_ready, robot_ready):
            if p.exists():
                p.unlink()
        self.helpers = [
            self.wine([str(FIXTURES / "dbwinmon.exe"), self._z(self.logs / "dbwin.jsonl"),
                       self._z(monitor_ready)]),
            self.wine([str(FIXTURES / "boxrobot.exe"), self._z(script),
                       self._z(self.logs / "robot.jsonl"), self._z(robot_ready)])]
        _wait_for(lambda: monitor_ready.exists() and robot_ready.exists(), 60,
                  "the debug monitor and the box robot")

    @staticmethod
    def _z(path):
        return "Z:" + str(path).replace("/", "\\")

    def run(self, args, answers=(), actions=(), timeout=120):
        """Runs the program with args; the robot answers boxes with answers
        (button ids, in order) and carries out actions on the main dialog."""
        return self.start(args, answers, actions).wait(timeout)

    def start(self, args, answers=(), actions=()):
        """Starts the program as run() does; the returned run's wait() ends it."""
        script = ["box %d" % a for a in answers] + list(actions)
        self._start_helpers(script)
        proc = self.wine([PROGRAM_PATH] + list(args), stdout=open(self.logs / "program.out", "wb"),
                         stderr=subprocess.STDOUT)
        return _PendingRun(self, proc, time.time())

    def _finish(self, proc, start, timeout):
        timed_out = False
        try:
            exit_code = proc.wait(timeout)
        except subprocess.TimeoutExpired:
            timed_out = True
            exit_code = None
        duration = time.time() - start
        time.sleep(0.5)  # the monitor and the robot record the last lines
        debug = _read_jsonl(self.logs / "dbwin.jsonl")
        robot = _read_jsonl(self.logs / "robot.jsonl")
        if timed_out:
            self.stop_wine()
        return Run(exit_code, duration, debug, robot, self.requests())

    def files(self):
        """Every file under C:, with its size and modification time."""
        found = {}
        for path in self.drive_c.rglob("*"):
            if path.is_file() and not path.is_symlink():
                stat = path.stat()
                found[str(path.relative_to(self.drive_c))] = (stat.st_size, stat.st_mtime_ns)
        return found

    def end_program(self):
        """Ends the program the hard way, with TerminateProcess."""
        proc = self.wine([str(FIXTURES / "endprocess.exe"), "QVKestrionv4Setup.exe"])
        return proc.wait(60)

    def started(self, name=None):
        """Stand-in programs started so far, in order of their start."""
        runs = []
        for f in sorted(self.fixture_log.glob("standin-*.jsonl")):
            records = _read_jsonl(f)
            if records:
                runs.append(Started(records))
        runs.sort(key=lambda s: s.time)
        if name is not None:
            runs = [s for s in runs if s.name.lower() == name.lower()]
        return runs

    def registrations(self):
        return _read_jsonl(self.fixture_log / "register.jsonl")

    def restart_windows(self, timeout=120):
        """What Windows does at its next start: runs the RunOnce entries."""
        self.stop_wine()
        proc = subprocess.Popen(["wineboot", "-r"], env=self.env(), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        proc.wait(timeout)
        self.wine_started = True
        subprocess.run(["wineserver", "-w"], env=self.env(), timeout=timeout)
        self.wine_started = False

    def stop_wine(self):
        if self.wine_started:
            subprocess.run(["wineserver", "-k"], env=self.env(), timeout=60)
            subprocess.run(["wineserver", "-w"], env=self.env(), timeout=60)
            for proc in self.procs + self.helpers:
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
            self.procs = []
            self.helpers = []
            self.wine_started = False

    def close(self, keep=False):
        try:
            self.stop_wine()
        finally:
            for proc in (self.server, self.xvfb):
                if proc is not None and proc.poll() is None:
                    proc.send_signal(signal.SIGTERM)
                    try:
                        proc.wait(10)
                    except subprocess.TimeoutExpired:
                        proc.kill()
            if not keep:
                shutil.rmtree(self.prefix, ignore_errors=True)


class _PendingRun:
    def __init__(self, machine, proc, start):
        self.machine, self.proc, self.start = machine, proc, start

    def wait(self, timeout=120):
        return self.machine._finish(self.proc, self.start, timeout)


class WineTestCase(unittest.TestCase):
    """A test that runs the real program. Keeps the run's folder when it fails."""

    maxDiff = None

    def machine(self, **kwargs):
        m = Machine(self.id().split(".")[-1], **kwargs)
        self.addCleanup(self._close, m)
        return m

    def _close(self, machine):
        failed = any(error for _, error in getattr(self._outcome, "errors", []) if error)
        if hasattr(self._outcome, "result"):
            result = self._outcome.result
            failed = failed or any(t is self for t, _ in result.failures + result.errors)
        machine.close(keep=failed)
        if failed:
            print("run kept in", machine.dir)
        else:
            shutil.rmtree(machine.dir, ignore_errors=True)

    # --- assertions ---
    def assertTraces(self, run, expected):
        self.assertEqual(run.trace_strings(), expected)

    def assertBox(self, box, text, caption=None, buttons=(IDOK,), icon=None, owned=None):
        self.assertEqual(box.text.decode("cp949", "replace"), text)
        self.assertEqual(box.text, cp949(text))
        if caption is not None:
            self.assertEqual(box.caption, cp949(caption))
        self.assertEqual(box.button_ids, list(buttons))
        if icon is not None:
            self.assertEqual(box.icon, icon)
        if owned is not None:
            self.assertEqual(box.owner_is_main, owned)
