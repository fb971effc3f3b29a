#!/usr/bin/env python3
"""Measures the program's downloads under Wine against the bundled server on
loopback, each figure beside a reference measured in the same run: a bare
WinINet loop of our own (the platform's limit) and curl natively."""
import argparse
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "wine"))

from harness import FIXTURES, PROGRAM_PATH, SYSTEM32, Machine, url  # noqa: E402

MiB = 1024 * 1024


def pattern_file(path, size):
    path.parent.mkdir(parents=True, exist_ok=True)
    block = os.urandom(MiB)
    with open(path, "wb") as f:
        for _ in range(size // MiB):
            f.write(block)
        f.write(block[:size % MiB])


def wineserver_cpu():
    """CPU seconds used so far by the running wineserver, which carries
    every socket operation of a Wine process."""
    total = 0.0
    for proc in Path("/proc").iterdir():
        if not proc.name.isdigit():
            continue
        try:
            if (proc / "comm").read_text().strip() != "wineserver":
                continue
            fields = (proc / "stat").read_text().rsplit(")", 1)[1].split()
            total += (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        except OSError:
            pass
    return total


class Bench:
    """Both the program and the bare loop are timed the same way: from the
    moment the server receives the first file request to the moment the
    last file stands complete under its final name."""

    def __init__(self, runs):
        self.runs = runs
        # The debug switch stays off, as on a user's machine.
        self.m = Machine("bench", debug_switch=None)
        self.env = self.m.env()
        self.out_dir = r"C:\bench"
        self.m.host_path(self.out_dir).mkdir(parents=True, exist_ok=True)
        # One wineserver for the whole bench, started before anything is timed.
        self.keepalive = subprocess.Popen(["wineserver", "-p", "-f"], env=self.env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.m.wine_started = True

    def close(self):
        self.m.close()
        self.keepalive.wait(30)
        shutil.rmtree(self.m.dir, ignore_errors=True)

    def clear(self):
        for folder in (SYSTEM32, self.out_dir):
            for path in self.m.host_path(folder).glob("*"):
                if path.name.endswith(("_new", ".part")) or path.name.startswith("bareget-"):
                    path.unlink()

    def timed(self, command, last_file, paths, when_done=None):
        """Runs command; returns (seconds from the first request for one of
        paths to last_file appearing, CPU seconds incl. wineserver, peak RSS).
        Nothing else runs in the prefix meanwhile: the box robot, which polls
        the program's windows, starts only once the files are in (when_done)."""
        self.m._stop_helpers()
        self.clear()
        asked = len(self.m.requests())
        server_before = wineserver_cpu()
        proc = subprocess.Popen(command, env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        target = self.m.host_path(last_file)
        done_at = None
        while True:
            if done_at is None and target.exists():
                done_at = time.time()
                if when_done:
                    when_done()
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                break
            time.sleep(0.002)
        proc.returncode = os.waitstatus_to_exitcode(status)
        if done_at is None:
            raise RuntimeError("%s never appeared" % last_file)
        first = min(r["time"] for r in self.m.requests()[asked:] if r["path"] in paths)
        cpu = usage.ru_utime + usage.ru_stime + wineserver_cpu() - server_before
        return done_at - first, cpu, usage.ru_maxrss * 1024

    def program_update(self, last_name, paths):
        # The robot answers the upgrade notice at the end.
        return self.timed(["wine", PROGRAM_PATH, "update"], SYSTEM32 + "\\" + last_name + "_new",
                          paths, when_done=lambda: self.m._start_helpers([]))

    def bare_loop(self, addresses, paths):
        # Into the System folder too: under Wine a file created in a large
        # folder costs a scan of it, so the folder has to be the same.
        return self.timed(["wine", str(FIXTURES / "bareget.exe"), self.out_dir + r"\result.json",
                           SYSTEM32] + addresses,
                          SYSTEM32 + "\\bareget-%d" % (len(addresses) - 1), paths)

    def curl(self, address):
        with tempfile.NamedTemporaryFile(dir=self.m.dir) as target:
            proc = subprocess.Popen(["curl", "-s", "-x", "http://127.0.0.1:%d" % self.m.server_port,
                                     "-o", target.name, "-w", "%{time_total}", address],
                                    stdout=subprocess.PIPE, text=True)
            out = proc.stdout.read()
            _, _, usage = os.wait4(proc.pid, 0)
            return float(out), usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024

    def interleaved(self, *measures):
        """Each measure run self.runs times, taking turns, so that a drift of
        the machine hits them all alike."""
        samples = [[] for _ in measures]
        for _ in range(self.runs):
            for i, (fn, args) in enumerate(measures):
                samples[i].append(fn(*args))
        return samples


def summary(samples, index, scale=1.0):
    values = [s[index] * scale for s in samples]
    return statistics.median(values), min(values), max(values)


def fmt(stat, unit, digits=1):
    median, low, high = stat
    return "%.*f %s [%.*f-%.*f]" % (digits, median, unit, digits, low, digits, high)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--large-mib", type=int, default=256)
    parser.add_argument("--huge-mib", type=int, default=1024)
    parser.add_argument("--json", type=Path, default=ROOT / "build" / "bench" / "results.json")
    args = parser.parse_args()

    bench = Bench(args.runs)
    m = bench.m
    rows = []
    results = {}
    try:
        # One large file.
        pattern_file(m.server_root / "Kestrion" / "big.dll", args.large_mib * MiB)
        m.serve_manifest("<UPDATE><FILECOUNT>1</FILECOUNT><FILE0><NAME>big.dll</NAME>"
                         "<VERSION>9, 9, 9, 9</VERSION><URL>big.dll</URL><DESTDIR>11</DESTDIR>"
                         "<EXCUTE>0</EXCUTE></FILE0></UPDATE>")
        big = url("/Kestrion/big.dll")
        paths = {"/Kestrion/big.dll"}
        program, bare, curl = bench.interleaved((bench.program_update, ("big.dll", paths)),
                                                (bench.bare_loop, ([big], paths)),
                                                (bench.curl, (big,)))
        size = args.large_mib
        p, b, c = (summary(s, 0, 1.0) for s in (program, bare, curl))
        tput = [tuple(size / v for v in (st[0], st[2], st[1])) for st in (p, b, c)]
        rows.append(("%d MiB file, throughput" % size, fmt(tput[0], "MiB/s"),
                     "bare WinINet loop " + fmt(tput[1], "MiB/s"), "%.3f" % (tput[0][0] / tput[1][0])))
        rows.append(("", "", "curl (native) " + fmt(tput[2], "MiB/s"),
                     "%.3f" % (tput[0][0] / tput[2][0])))
        cpu = [summary(s, 1, 1000.0 / size) for s in (program, bare, curl)]
        rows.append(("CPU per MiB (user+system, incl. wineserver)", fmt(cpu[0], "ms"),
                     "bare WinINet loop " + fmt(cpu[1], "ms"), "%.3f" % (cpu[0][0] / cpu[1][0])))
        rows.append(("", "", "curl (native) " + fmt(cpu[2], "ms"), "%.3f" % (cpu[0][0] / cpu[2][0])))
        results["large"] = {"program": program, "bare": bare, "curl": curl, "mib": size}

        # 127 small files, one session each.
        small = m.server_root / "Kestrion" / "small.bin"
        pattern_file(small, 64 * 1024)
        m.write_rules({"/Kestrion/": {"body_file": str(small)}})
        entries = "".join("<FILE%d><NAME>f%03d</NAME><DESTDIR>11</DESTDIR></FILE%d>" % (i, i, i)
                          for i in range(127))
        m.serve_manifest("<UPDATE><FILECOUNT>127</FILECOUNT>%s</UPDATE>" % entries)
        paths = {"/Kestrion/"}
        program, bare = bench.interleaved((bench.program_update, ("f126", paths)),
                                          (bench.bare_loop, ([url("/Kestrion/")] * 127, paths)))
        p, b = summary(program, 0), summary(bare, 0)
        rows.append(("127 files of 64 KiB, whole update", fmt(p, "s", 3),
                     "bare WinINet loop " + fmt(b, "s", 3), "%.3f" % (b[0] / p[0])))
        results["small"] = {"program": program, "bare": bare}

        # Peak memory, 1 MiB against 1 GiB.
        peaks = {}
        for mib in (1, args.huge_mib):
            pattern_file(m.server_root / "Kestrion" / "big.dll", mib * MiB)
            m.serve_manifest("<UPDATE><FILECOUNT>1</FILECOUNT><FILE0><NAME>big.dll</NAME>"
                             "<URL>big.dll</URL><DESTDIR>11</DESTDIR></FILE0></UPDATE>")
            peaks[mib] = [bench.program_update("big.dll", {"/Kestrion/big.dll"})[2]
                          for _ in range(3)]
        low, high = statistics.median(peaks[1]), statistics.median(peaks[args.huge_mib])
        rows.append(("peak RSS, 1 MiB / %d MiB" % args.huge_mib,
                     "%.1f MiB / %.1f MiB" % (low / MiB, high / MiB),
                     "difference %.2f MiB (must stay under 1 MiB)" % ((high - low) / MiB),
                     "%.4f" % (high / low)))
        results["memory"] = peaks
    finally:
        bench.close()

    native = subprocess.run([str(ROOT / "build" / "bench" / "tests" / "bench" / "bench_manifest"),
                             "--benchmark_format=json", "--benchmark_repetitions=%d" % args.runs],
                            capture_output=True, text=True, check=True)
    marks = json.loads(native.stdout)["benchmarks"]
    for name in ("BM_LoadServerInfo", "BM_GetTagValueLastEntry"):
        times = [b["real_time"] for b in marks if b["name"] == name and b.get("run_type") == "iteration"]
        unit = next(b["time_unit"] for b in marks if b["name"] == name)
        rows.append(("native: %s, 127 entries" % name, fmt(summary([(t,) for t in times], 0), unit, 0),
                     "", ""))
    results["native"] = marks

    width = [max(len(r[i]) for r in rows) for i in range(4)]
    header = ("measurement", "program (median [min-max])", "reference, same run", "ratio")
    width = [max(w, len(h)) for w, h in zip(width, header)]
    line = "  ".join("%-*s" % (w, h) for w, h in zip(width, header))
    print(line)
    print("-" * len(line))
    for r in rows:
        print("  ".join("%-*s" % (w, c) for w, c in zip(width, r)))
    print("\n%d runs each; machine: %s, %d cores, %s; %s" % (
        args.runs, platform.processor() or platform.machine(), os.cpu_count(),
        platform.platform(), subprocess.run(["wine", "--version"], capture_output=True,
                                            text=True).stdout.strip()))
    args.json.parent.mkdir(parents=True, exist_ok=True)
    args.json.write_text(json.dumps({"rows": rows, "results": results}, indent=1, default=str))
    return 0


if __name__ == "__main__":
    sys.exit(main())
