#!/usr/bin/env python3
"""The Windows build under wine64, beside the native import, against the targets.

    wine_bench.py FILE...   (run by bench/wine.sh inside a virtual display, wineserver running)

For the 300k CSV file: the import of build/win64/cli/voxaro-import.exe under wine64 against the
native build/native/cli/voxaro-import, both from process start to exit with the output to
/dev/null, best of three. For each file: the window's time from process start to the filled
list (build/win64/voxaro_gui_bench.exe), best of three, of two for the 1M file; each against its
target, met or MISSED. A workbook's window time is judged too (contacts-100k-shared.xlsx).
"""
import os
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
NATIVE = ROOT / "build/native/cli/voxaro-import"
WINDOWS = ROOT / "build/win64/cli/voxaro-import.exe"
GUI_BENCH = ROOT / "build/win64/voxaro_gui_bench.exe"
LIST_FILL = ROOT / "build/win64/voxaro_list_fill.exe"
LIST_LINES = [100000, 300000, 900000]
WINE_RUN = ROOT / "scripts/wine-run"

MAX_WINE_OVER_NATIVE = 1.5          # the Windows import on the 300k file
# Seconds from start to the filled list; a workbook of the 100k export's rows too.
WINDOW_TARGETS = {"100k": 0.7, "300k": 1.3, "1M": 3.0, "100k xlsx": 2.0}


def label(path):
    """contacts-300k.csv gives 300k, contacts-100k-shared.xlsx gives 100k xlsx."""
    path = Path(path)
    size = path.stem.split("-")[1]
    return size if path.suffix == ".csv" else size + " " + path.suffix[1:]


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def best_time(cmd, runs):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, check=True)
        seconds = time.perf_counter() - start
        best = seconds if best is None or seconds < best else best
    return best


def verdict(ok):
    return "met" if ok else "MISSED"


def main():
    files = sys.argv[1:]
    failed = False
    print()
    print("under wine64 (virtual display, wineserver kept running); load average %.2f"
          % os.getloadavg()[0])
    for path in files:
        if label(path) != "300k":
            continue
        native = best_time([str(NATIVE), "--raw", "--country", "49", path], 3)
        wine = best_time([str(WINE_RUN), str(WINDOWS), "--raw", "--country", "49",
                          windows_path(path)], 3)
        print("  import of %s: win64 build %.3f s, native %.3f s, %.2fx  (target at most %.1fx: %s)"
              % (Path(path).name, wine, native, wine / native, MAX_WINE_OVER_NATIVE,
                 verdict(wine / native <= MAX_WINE_OVER_NATIVE)))
    for path in files:
        name = label(path)
        runs = 2 if name == "1M" else 3
        result = subprocess.run([str(WINE_RUN), str(GUI_BENCH), windows_path(path), str(runs)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                stdin=subprocess.DEVNULL, text=True)
        lines = [l for l in result.stderr.replace("\r", "").splitlines() if l.startswith("run ")]
        if result.returncode != 0:
            print("  window, %s: failed (%s)" % (Path(path).name, result.stderr.strip()[-200:]))
            failed = True
            continue
        seconds = float(result.stdout.strip())
        detail = lines[-1].split(",", 1)[1].strip() if lines else ""
        target = WINDOW_TARGETS.get(name)
        judged = ("  (target at most %.1f s: %s)" % (target, verdict(seconds <= target))
                  if target else "  (reported)")
        print("  window, %s: start to filled list %.2f s, best of %d, %s%s"
              % (Path(path).name, seconds, runs, detail, judged))
    # The control's own share: filling the list box with as many lines, without the import.
    result = subprocess.run([str(WINE_RUN), str(LIST_FILL)] + [str(n) for n in LIST_LINES],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            stdin=subprocess.DEVNULL, text=True)
    if result.returncode != 0:
        print("  list box fill: failed (%s)" % result.stderr.strip()[-200:])
        failed = True
    else:
        for line in result.stdout.replace("\r", "").split("\n"):
            if line.strip():
                count, imported, plain = line.split()
                print("  list box fill, %7d lines: %6.2f s as the import fills it, %6.2f s with "
                      "plain LB_ADDSTRING" % (int(count), float(imported), float(plain)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
