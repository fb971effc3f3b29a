#!/usr/bin/env python3
"""Measures the program's downloads under Wine against the bundled server on
loopback, each figure beside a reference measured in the same run: a bare
WinINet loop of our own (the platform's limit) and curl natively."""
import argparse
import json
import os
import platform
import resource
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "wine"))

from harness import (FIXTURES, PROGRAM_PATH, SYSTEM32, Machine, _read_jsonl,  # noqa: E402
                     cp949, url)

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


def measured(command, env):
    """Runs command in a child of its own; returns (wall, cpu, peak rss in
    bytes) of that process, plus the wineserver's CPU meanwhile."""
    probe = ("import resource, subprocess, sys, time, json\n"
             "t = time.time(); code = subprocess.call(sys.argv[1:]); t = time.time() - t\n"
             "u = resource.getrusage(resource.RUSAGE_CHILDREN)\n"
             "print(json.dumps([code, t, u.ru_utime + u.ru_stime, u.ru_maxrss * 1024]))\n")
    server_before = wineserver_cpu()
    out = subprocess.run([sys.executable, "-c", probe] + command, env=env, capture_output=True,
                         text=True, check=True).stdout.strip().splitlines()[-1]
    code, wall, cpu, rss = json.loads(out)
    return code, wall, cpu + (wineserver_cpu() - server_before), rss


class Bench:
    def __init__(self, runs):
        self.runs = runs
        self.m = Machine("bench")
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

    def clear_staging(self):
        for path in self.m.host_path(SYSTEM32).glob("*_new*"):
            path.unlink()
        for path in self.m.host_path(self.out_dir).iterdir():
            path.unlink()

    def program_update(self, names):
        """One update run; the download span from the first address traced to
        the last file reported, as the debug monitor timed them."""
        self.clear_staging()
        self.m._start_helpers([])
        command = ["wine", PROGRAM_PATH, "update"]
        code, wall, cpu, rss = measured(command, self.env)
        time.sleep(0.3)
        records = _read_jsonl(self.m.logs / "dbwin.jsonl")
        first = next(r["t"] for r in records if b"http://" in bytes.fromhex(r["hex"]))
        done = [r["t"] for r in records if cp949("다운로드 성공 FileName: ") in bytes.fromhex(r["hex"])]
        if len(done) != len(names):
            raise RuntimeError("the program fetched %d of %d files" % (len(done), len(names)))
        return (max(done) - first) / 1000.0, cpu, rss

    def bare_loop(self, addresses):
        self.clear_staging()
        result = self.m.host_path(self.out_dir) / "result.json"
        command = ["wine", str(FIXTURES / "bareget.exe"), self.out_dir + r"\result.json",
                   self.out_dir] + addresses
        code, wall, cpu, rss = measured(command, self.env)
        data = json.loads(result.read_text())
        if code != 0 or data["failed"]:
            raise RuntimeError("the bare loop failed: %r" % data)
        return data["seconds"], cpu, rss

    def curl(self, address):
        with tempfile.NamedTemporaryFile(dir=self.m.dir) as target:
            command = ["curl", "-s", "-x", "http://127.0.0.1:%d" % self.m.server_port, "-o",
                       target.name, "-w", "%{time_total}", address]
            probe = ("import resource, subprocess, sys\n"
                     "out = subprocess.run(sys.argv[1:], capture_output=True, text=True).stdout\n"
                     "u = resource.getrusage(resource.RUSAGE_CHILDREN)\n"
                     "print(out, u.ru_utime + u.ru_stime)\n")
            out = subprocess.run([sys.executable, "-c", probe] + command, capture_output=True,
                                 text=True, check=True).stdout.split()
            return float(out[0]), float(out[1]), 0

    def repeat(self, fn, *args):
        return [fn(*args) for _ in range(self.runs)]


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
        program = bench.repeat(bench.program_update, ["big.dll"])
        bare = bench.repeat(bench.bare_loop, [big])
        curl = bench.repeat(bench.curl, big)
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
        names = ["f%03d" % i for i in range(127)]
        program = bench.repeat(bench.program_update, names)
        bare = bench.repeat(bench.bare_loop, [url("/Kestrion/")] * 127)
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
            peaks[mib] = [bench.program_update(["big.dll"])[2] for _ in range(3)]
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
