#!/usr/bin/env python3
"""Builds the pristine 32-bit Wine prefix that every system test copies."""
import os
import shutil
import subprocess
import sys
from pathlib import Path

import winereg

# Bump when the prefix's settings change, so that old prefixes are rebuilt.
LAYOUT = "3"


def main(target):
    target = Path(target)
    stamp = target / "qv-prefix-layout"
    if stamp.exists() and stamp.read_text() == LAYOUT:
        return 0
    work = target.with_name(target.name + ".new")
    shutil.rmtree(work, ignore_errors=True)
    target.parent.mkdir(parents=True, exist_ok=True)
    env = dict(os.environ, WINEPREFIX=str(work), WINEARCH="win32", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=d;winemenubuilder.exe=d", LC_ALL="ko_KR.UTF-8")
    env.pop("DISPLAY", None)
    subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True)
    # The browser stand-in, not Wine's own browser, answers to iexplore.exe.
    winereg.append(work / "user.reg", r"Software\Wine\DllOverrides", {"iexplore.exe": "native"})
    # Windows draw their own frames and captions, so screenshots show them
    # without a window manager.
    winereg.append(work / "user.reg", r"Software\Wine\X11 Driver",
                   {"Decorated": "Y", "Managed": "N"})
    # Korean dialog font, as a Korean Windows has it.
    winereg.append(work / "user.reg", r"Software\Wine\Fonts\Replacements",
                   {"MS 셸 대화 상자": "NanumGothic", "굴림": "NanumGothic"})
    (work / "qv-prefix-layout").write_text(LAYOUT)
    shutil.rmtree(target, ignore_errors=True)
    os.replace(work, target)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
