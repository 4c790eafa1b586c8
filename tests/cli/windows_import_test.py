#!/usr/bin/env python3
"""A Windows build's command-line importer against the native one, byte for byte.

    windows_import_test.py NATIVE WINDOWS FILE...

runs NATIVE (build/native/cli/voxaro-import) and WINDOWS (a voxaro-import.exe, through
scripts/wine-run with the environment it is given) with --raw --country 49 on each FILE, all the
Windows runs side by side, since each start of a program under an emulator is slow. Every FILE
must give the same output bytes, the same counts on standard error and the same exit status.
VOXARO_WAIT_FACTOR stretches the minute each run may take. Exits 1 when a file differs.
"""
import concurrent.futures
import os
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
WINE_RUN = ROOT / "scripts" / "wine-run"
LIMIT_SECONDS = 60 * max(1, int(os.environ.get("VOXARO_WAIT_FACTOR", "1") or "1"))


def windows_path(path):
    """Wine shows the Unix root as drive Z:."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def run(command, environment=None):
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              stdin=subprocess.DEVNULL, timeout=LIMIT_SECONDS, env=environment)
    except subprocess.TimeoutExpired:
        return None
    return done.returncode, done.stdout, done.stderr


def counts(stderr):
    """The last line of standard error: the counts after an import, or the error."""
    lines = stderr.decode("cp1252", "replace").replace("\r", "").strip().splitlines()
    return lines[-1] if lines else ""


def first_difference(a, b):
    lines_a, lines_b = a.split(b"\r\n"), b.split(b"\r\n")
    for number, (x, y) in enumerate(zip(lines_a, lines_b), 1):
        if x != y:
            return "line %d: %r against %r" % (number, y, x)
    return "%d lines against %d" % (len(lines_b), len(lines_a))


def compare(native, windows, path):
    """One line about the file; True when the Windows importer gave what the native one gave."""
    # The counts' thousands separator is the locale's: the native importer gets the one that
    # scripts/wine-run gives Wine.
    locale = dict(os.environ, LC_ALL=os.environ.get("VOXARO_WINE_LOCALE", "de_DE.UTF-8"))
    expected = run([native, "--raw", "--country", "49", str(path)], locale)
    got = run([str(WINE_RUN), windows, "--raw", "--country", "49", windows_path(path)])
    name = Path(path).name
    if expected is None or expected[0] != 0:
        return False, "%s: the native importer failed" % name
    if got is None:
        return False, "%s: %s did not end within %d s" % (name, windows, LIMIT_SECONDS)
    problems = []
    if got[0] != expected[0]:
        problems.append("exit status %d, not %d" % (got[0], expected[0]))
    if got[1] != expected[1]:
        problems.append("other output (%s)" % first_difference(expected[1], got[1]))
    if counts(got[2]) != counts(expected[2]):
        problems.append("counts %r, not %r" % (counts(got[2]), counts(expected[2])))
    if problems:
        return False, "%s: %s" % (name, "; ".join(problems))
    return True, "%s: %d bytes, %s" % (name, len(got[1]), counts(got[2]))


def main(argv):
    if len(argv) < 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    native, windows, files = argv[1], argv[2], argv[3:]
    with concurrent.futures.ThreadPoolExecutor(max_workers=len(files)) as pool:
        results = list(pool.map(lambda f: compare(native, windows, f), files))
    for ok, line in results:
        print(("same: " if ok else "DIFFERENT: ") + line)
    return 0 if all(ok for ok, _ in results) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
