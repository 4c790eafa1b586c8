#!/usr/bin/env python3
"""make bench: the native import against a plain read and the Python baseline, file by file.

    bench.py [--runs N] [--importer PATH] FILE...

For each file: the import's best time over N runs (voxaro-import --raw, output to /dev/null) and
its throughput, the best time of `wc -l` over the same file, one run of bench/baseline.py, the
ratios, and the import's peak resident memory as a multiple of the file size. The first import
run and the baseline write their output beside the file; the two must be byte for byte the same.
Then the targets, each met or MISSED: on the 300k and the 1M CSV exports throughput and speed-up
over Python; on every file peak memory (at most twice the file from 50 MB up, at most the file
and 64 MB below); the 1M file's time against the 100k file's; on the vCard file (.vcf)
throughput. A workbook (.xlsx, .ods) of an export's rows is measured beside that CSV file
(contacts-300k-shared.xlsx beside contacts-300k.csv, given before it): its output must be the CSV
file's, and its time and peak memory are judged against the CSV import's. Exit status 1 when an
import fails or its output differs from the baseline's.
"""
import argparse
import os
import platform
import re
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
IMPORTER = "build/native/cli/voxaro-import"
COUNTRY = "49"  # fixed, so that the result does not depend on the locale of the machine

# The targets, judged on these CSV files.
JUDGED = ["300k", "1M"]
MIN_MB_PER_S = 300
MIN_SPEEDUP = 40
# Peak memory on every file: at most MAX_MEMORY times the file from LARGE_FILE up, below that at
# most the file and SMALL_FILE_ROOM.
MAX_MEMORY = 2
LARGE_FILE = 50e6
SMALL_FILE_ROOM = 64e6
MAX_SCALING = 10.5  # the 1M file's time over the 100k file's, for a file ten times as large
SCALING = ("1M", "100k")
# And on the vCard file.
MIN_VCARD_MB_PER_S = 150
# A workbook against the CSV file of the same rows: its import time, and its peak memory as a
# multiple of the CSV file's size.
MAX_WORKBOOK_TIME = 4
MAX_WORKBOOK_MEMORY = 2.5
WORKBOOK_SUFFIXES = (".xlsx", ".xlsm", ".ods")


class Run:
    def __init__(self, seconds, peak_bytes, status, stderr):
        self.seconds = seconds
        self.peak_bytes = peak_bytes
        self.status = status
        self.stderr = stderr


def run(cmd, stdout_path=None):
    """One run of cmd, timed; its peak memory as GNU time reports it.

    Not from wait4 here: the kernel counts a child started with vfork, as Python starts it, at
    least at this process's own high-water mark, which after comparing the 1M outputs is larger
    than the import's. GNU time starts the command from a small process of its own."""
    with open(stdout_path or os.devnull, "wb") as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        child = subprocess.run(["/usr/bin/time", "-q", "-f", "%M", "-o", peak.name] + cmd,
                               stdout=out, stderr=err, stdin=subprocess.DEVNULL)
        seconds = time.perf_counter() - start
        err.seek(0)
        text = err.read().decode("utf-8", "replace")
        report = peak.read().split()
        kilobytes = int(report[-1]) if report and report[-1].isdigit() else 0
    return Run(seconds, kilobytes * 1024, child.returncode, text)


def counts(stderr):
    """(names, numbers) from the closing line `N Namen M Nummern gefunden.`, separators ignored."""
    m = re.search(r"([\d.,' \u00a0\u202f]+) Namen ([\d.,' \u00a0\u202f]+) Nummern gefunden", stderr)
    if not m:
        return None
    return tuple(int(re.sub(r"\D", "", g)) for g in m.groups())


def first_difference(a, b):
    with open(a, "rb") as fa, open(b, "rb") as fb:
        for number, (la, lb) in enumerate(zip(fa, fb), 1):
            if la != lb:
                return "line %d" % number
    return "length"


def last_line(text):
    lines = [line for line in text.splitlines() if line.strip()]
    return lines[-1] if lines else ""


def machine():
    model = ""
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return "%s, %d cores, Python %s" % (model or platform.machine(), os.cpu_count() or 0,
                                         platform.python_version())


class Result:
    def __init__(self, path):
        self.path = Path(path)
        self.label = self.path.stem.split("-", 1)[-1]
        self.vcard = self.path.suffix.lower() == ".vcf"
        if self.vcard:
            self.label += " vcf"
        # contacts-300k-shared.xlsx: the rows of contacts-300k.csv.
        self.workbook = self.path.suffix.lower() in WORKBOOK_SUFFIXES
        self.source = None
        if self.workbook:
            self.label += " " + self.path.suffix[1:].lower()
            self.source = self.path.with_name("-".join(self.path.stem.split("-")[:2]) + ".csv")
        self.size = self.path.stat().st_size
        self.imp = None          # best import run
        self.imp_peak = None     # the largest peak of all import runs
        self.imp_error = None
        self.read = None
        self.base = None
        self.output = "-"
        self.bad = False
        self.counts = None         # the names and numbers the import counted
        self.source_counts = None  # a workbook's: those of its CSV file


def measure(path, importer, runs, counted):
    """The runs on path; counted holds the counts of the files measured before, by path."""
    r = Result(path)
    if r.source:
        r.source_counts = counted.get(r.source.resolve())
    stem = r.path  # beside the file, its whole name kept: exports of one size in two formats
    with open(r.path, "rb") as f:  # into the page cache before anything is timed
        while f.read(1 << 24):
            pass

    if r.workbook:
        # The baseline reads no workbooks: the output is held to its CSV file's baseline output.
        base_out = str(r.source) + ".baseline.out"
        r.base = None
        if not Path(base_out).exists():
            r.bad = True
            r.output = "no baseline of %s" % r.source.name
    else:
        base_out = str(stem) + ".baseline.out"
        r.base = run([sys.executable, str(ROOT / "bench" / "baseline.py"), "--raw", "--country",
                      COUNTRY, str(r.path)], base_out)
    if r.base and r.base.status != 0:
        r.bad = True
        r.output = "baseline failed"

    r.read = min((run(["wc", "-l", str(r.path)]) for _ in range(runs)), key=lambda x: x.seconds)

    if importer is None:
        r.output = "no importer"
        return r
    imp_out = str(stem) + ".import.out"
    cmd = [importer, "--raw", "--country", COUNTRY, str(r.path)]
    first = run(cmd, imp_out)
    if first.status != 0:
        r.imp_error = "exit status %d: %s" % (first.status, last_line(first.stderr))
        r.output = "import failed"
        r.bad = True
        return r
    r.counts = counts(first.stderr)
    timed = [run(cmd) for _ in range(runs)]
    failed = [t for t in timed if t.status != 0]
    if failed:
        r.imp_error = "exit status %d: %s" % (failed[0].status, last_line(failed[0].stderr))
        r.output = "import failed"
        r.bad = True
        return r
    r.imp = min(timed, key=lambda x: x.seconds)
    r.imp_peak = max(t.peak_bytes for t in [first] + timed)
    if r.base is None and r.bad:
        return r
    if r.base is None or r.base.status == 0:
        same = Path(imp_out).read_bytes() == Path(base_out).read_bytes()
        base_counts = counts(r.base.stderr) if r.base else r.source_counts
        same_counts = r.counts == base_counts
        if same and same_counts:
            r.output = "same"
        else:
            r.bad = True
            r.output = ("DIFFERS (%s)" % first_difference(imp_out, base_out)) if not same else \
                "counts differ: %s / %s" % (last_line(first.stderr), base_counts)
    return r


COLUMNS = [("file", 16), ("size", 10), ("import", 10), ("MB/s", 7), ("wc -l", 10), ("imp/read", 9),
           ("python", 9), ("py/imp", 8), ("peak RSS", 10), ("RSS/file", 9), ("output", 0)]


def row(cells):
    out = []
    for i, (cell, (_, width)) in enumerate(zip(cells, COLUMNS)):
        out.append(cell.ljust(width) if i == 0 else cell.rjust(width))
    return "  ".join(out)


def mb(n):
    return n / 1e6


def cells(r):
    dash = "-"
    imp = r.imp
    return [
        r.label,
        "%.1f MB" % mb(r.size),
        "%.4f s" % imp.seconds if imp else dash,
        "%.0f" % (mb(r.size) / imp.seconds) if imp else dash,
        "%.4f s" % r.read.seconds,
        "%.1fx" % (imp.seconds / r.read.seconds) if imp else dash,
        dash if r.base is None else "%.2f s" % r.base.seconds if r.base.status == 0 else "failed",
        "%.1fx" % (r.base.seconds / imp.seconds) if imp and r.base and r.base.status == 0 else dash,
        "%.1f MB" % mb(r.imp_peak) if imp else dash,
        "%.1fx" % (r.imp_peak / r.size) if imp else dash,
        r.output,
    ]


def verdict(ok):
    return "met" if ok else "MISSED"


def target(what, value, goal, ok):
    print("  %-22s %-14s %-19s %s" % (what, value, goal, verdict(ok)))


def judge_memory(results):
    print("peak memory on every export:")
    for r in results:
        if not r.imp or r.workbook:
            continue
        if r.size >= LARGE_FILE:
            target(r.label, "%.2fx file" % (r.imp_peak / r.size), "at most %gx" % MAX_MEMORY,
                   r.imp_peak <= MAX_MEMORY * r.size)
        else:
            beyond = (r.imp_peak - r.size) / 1e6
            target(r.label, "file + %.0f MB" % beyond, "at most file + %.0f MB" % (SMALL_FILE_ROOM / 1e6),
                   r.imp_peak <= r.size + SMALL_FILE_ROOM)


def judge_tables(results):
    by_label = {r.label: r for r in results}
    for label in JUDGED:
        r = by_label.get(label)
        if not r or not r.imp:
            print("targets on the %s file: not judged, the import was not measured" % label)
            continue
        rate = mb(r.size) / r.imp.seconds
        print("targets on the %s file:" % label)
        target("import throughput", "%.0f MB/s" % rate, "at least %g MB/s" % MIN_MB_PER_S,
               rate >= MIN_MB_PER_S)
        if r.base and r.base.status == 0:
            speedup = r.base.seconds / r.imp.seconds
            target("against Python", "%.1fx" % speedup, "at least %gx" % MIN_SPEEDUP,
                   speedup >= MIN_SPEEDUP)
    big, small = (by_label.get(label) for label in SCALING)
    if big and small and big.imp and small.imp:
        scaling = big.imp.seconds / small.imp.seconds
        print("%s/%s import time (the file is %.1f times as large):" % (big.label, small.label,
                                                                       big.size / small.size))
        target("time ratio", "%.1f" % scaling, "at most %g" % MAX_SCALING, scaling <= MAX_SCALING)


def judge_vcards(r):
    if not r.imp:
        print("targets: not judged, the import was not measured on %s" % r.path.name)
        return
    rate = mb(r.size) / r.imp.seconds
    print("targets on the vCard file %s:" % r.path.name)
    target("import throughput", "%.0f MB/s" % rate, "at least %g MB/s" % MIN_VCARD_MB_PER_S,
           rate >= MIN_VCARD_MB_PER_S)


def judge_workbooks(results):
    by_path = {r.path.resolve(): r for r in results}
    for r in results:
        if not r.workbook:
            continue
        csv_run = by_path.get(r.source.resolve())
        if not r.imp or not csv_run or not csv_run.imp:
            print("targets on %s: not judged, it or %s was not measured" % (r.path.name,
                                                                            r.source.name))
            continue
        print("targets on the workbook %s, beside %s:" % (r.path.name, r.source.name))
        ratio = r.imp.seconds / csv_run.imp.seconds
        target("import time", "%.2fx CSV" % ratio, "at most %gx" % MAX_WORKBOOK_TIME,
               ratio <= MAX_WORKBOOK_TIME)
        memory = r.imp_peak / csv_run.size
        target("peak memory", "%.2fx CSV file" % memory, "at most %gx" % MAX_WORKBOOK_MEMORY,
               memory <= MAX_WORKBOOK_MEMORY)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--runs", type=int, default=5, help="timed import and wc runs per file")
    parser.add_argument("--importer", default=str(ROOT / IMPORTER))
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()

    importer = args.importer if os.access(args.importer, os.X_OK) else None
    shown = os.path.relpath(args.importer, ROOT) if args.importer.startswith(str(ROOT)) else args.importer
    print("machine: %s; load average %.2f at the start" % (machine(), os.getloadavg()[0]))
    print("import:  %s --raw --country %s FILE > /dev/null, best of %d; MB = 10^6 bytes"
          % (shown, COUNTRY, args.runs))
    print("read:    wc -l FILE, best of %d; python: bench/baseline.py --raw FILE, once" % args.runs)
    if importer is None:
        print("\n%s is missing, so the import columns stay empty; the other columns are measured."
              % shown)
    print()
    print(row([c for c, _ in COLUMNS]))
    sys.stdout.flush()
    results = []
    counted = {}
    for path in args.files:
        r = measure(path, importer, args.runs, counted)
        counted[r.path.resolve()] = r.counts
        results.append(r)
        print(row(cells(r)))
        if r.imp_error:
            print("        import failed, %s" % r.imp_error)
        sys.stdout.flush()

    print("load average %.2f at the end of the table" % os.getloadavg()[0])
    print()
    tables = [r for r in results if not r.vcard and not r.workbook]
    cards = [r for r in results if r.vcard]
    if tables:
        judge_tables(tables)
    for r in cards:
        judge_vcards(r)
    judge_workbooks(results)
    judge_memory(results)
    return 1 if any(r.bad for r in results) else 0


if __name__ == "__main__":
    sys.exit(main())
