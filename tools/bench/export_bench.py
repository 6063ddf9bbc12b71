#!/usr/bin/env python3
"""The article export against the engine dumping the same rows, and its peak memory.

  export_bench.py BRINDLEXCTL LARGE_DB EMPTY_FEED_DB [--rounds 5]

Program: `brindlexctl export-articles --flagged -o /dev/null` on LARGE_DB, whose articles are all flagged: every
article as Atom, read, escaped and written row by row. Yardstick: `sqlite3 -json` running the same statement (the
same columns, the same order, dates taken as the program takes them but for text that holds a number, which
sqlite3 cannot read as one) with its output to /dev/null. The rounds alternate which goes first; the ratio is of
the medians of this run. Memory: the peak resident set (getrusage of the finished child) of the program on
LARGE_DB against an export of a feed without articles (EMPTY_FEED_DB, key 1). Then one export to a regular file
on the same disk (a temporary file renamed over it), whose size and entries are checked and reported.
Exit 1 when the ratio is over 2 or the memory more than 50 MiB over; 2 when something could not run.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

START, END = -63113904000, 252423993600   # the years 1 to 9999, in seconds since 2001


def usable(column):
    return (f"CASE WHEN typeof(Articles.{column}) IN ('integer','real') AND Articles.{column} >= {START} "
            f"AND Articles.{column} < {END} THEN Articles.{column} END")


STATEMENT = ("SELECT Articles.id, Articles.author, Articles.title, Articles.contents, Articles.excerpt, Articles.GUID, "
             "Articles.permalink, Articles.categories, " + usable("date") + " AS published, " + usable("dateReceived") +
             " AS received, Sources.id, Sources.title, Sources.URL, Sources.homePage "
             "FROM Articles LEFT JOIN Sources ON Sources.id = Articles.source_id WHERE 1 AND Articles.flagged=1 "
             "ORDER BY published IS NULL, published DESC, Articles.id")


def run(command, output=os.devnull):
    """Wall time in seconds and peak resident set in KiB of one run, its output to a file."""
    with open(output, "wb") as out:
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=out, stderr=subprocess.PIPE)
        _, status, usage = os.wait4(process.pid, 0)
        elapsed = time.perf_counter() - start
    error = process.stderr.read().decode()
    process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0 or error:
        sys.exit(f"{' '.join(command)} failed ({os.waitstatus_to_exitcode(status)}): {error}")
    return elapsed, usage.ru_maxrss


def describe(values, unit="s"):
    v = sorted(values)
    return f"median {statistics.median(v):.2f} {unit} (min {v[0]:.2f}, max {v[-1]:.2f}, n={len(v)})"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("brindlexctl")
    ap.add_argument("large")
    ap.add_argument("empty")
    ap.add_argument("--rounds", type=int, default=5)
    args = ap.parse_args()
    program = [args.brindlexctl, "--database", args.large, "export-articles", "--flagged", "-o", "/dev/null"]
    engine = ["sqlite3", "-json", args.large, STATEMENT]
    empty = [args.brindlexctl, "--database", args.empty, "export-articles", "1", "-o", "/dev/null"]
    articles = int(subprocess.check_output(["sqlite3", args.large, "SELECT count(*) FROM Articles WHERE flagged=1"]))
    size = os.path.getsize(args.large) / 2**20

    run(program), run(engine)   # the file into the page cache, for both alike
    times = {"program": [], "engine": []}
    peaks = []
    for r in range(args.rounds):
        for side in (("program", "engine") if r % 2 == 0 else ("engine", "program")):
            elapsed, peak = run(program if side == "program" else engine)
            times[side].append(elapsed)
            if side == "program":
                peaks.append(peak)
    empty_peaks = [run(empty)[1] for _ in range(args.rounds)]

    ratio = statistics.median(times["program"]) / statistics.median(times["engine"])
    extra = (statistics.median(peaks) - statistics.median(empty_peaks)) / 1024
    print(f"article export: {articles} articles (all flagged), {size:.0f} MiB database")
    print(f"  export-articles --flagged (Atom) to /dev/null  {describe(times['program'])}")
    print(f"  sqlite3 -json, same rows, to /dev/null         {describe(times['engine'])}")
    print(f"  ratio {ratio:.2f} (target <= 2): {'met' if ratio <= 2 else 'MISSED'}")
    print(f"  peak RSS: export of every article {statistics.median(peaks) / 1024:.1f} MiB "
          f"(runs: {', '.join(f'{p / 1024:.1f}' for p in peaks)}), of a feed without articles "
          f"{statistics.median(empty_peaks) / 1024:.1f} MiB")
    print(f"  difference {extra:.1f} MiB (target <= 50 MiB): {'met' if extra <= 50 else 'MISSED'}")

    target = os.path.join(os.path.dirname(os.path.abspath(args.large)), "export.atom")
    elapsed, peak = run(program[:-1] + [target])
    with open(target, "rb") as f:
        entries, tail = 0, b""
        while chunk := f.read(1 << 22):
            entries += (tail + chunk).count(b"<entry>")
            tail = chunk[-6:]
    written = os.path.getsize(target) / 2**20
    os.remove(target)
    print(f"  to a regular file: {elapsed:.2f} s, {written:.0f} MiB, {entries} entries, peak RSS {peak / 1024:.1f} MiB (reported)")
    if entries != articles:
        sys.exit(f"the file holds {entries} entries for {articles} articles")
    return 0 if ratio <= 2 and extra <= 50 else 1


if __name__ == "__main__":
    sys.exit(main())
