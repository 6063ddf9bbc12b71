#!/usr/bin/env python3
"""Peak resident size of the real program on a database, against the same program on an empty one.

  peak_rss.py PROGRAM LARGE_DB EMPTY_DB [--seconds 6] [--runs 3]

Each run starts PROGRAM on the offscreen platform in a home of its own, with preferences that point at the
database and refresh every second, lets it run, reads VmHWM (the peak resident set) from /proc and ends it.
Prints each database's median peak and the difference; exit 1 when it is over 30 MiB.
"""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

PREFS = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
\t<key>DatabaseFileName</key>
\t<string>{db}</string>
\t<key>UpdateInterval</key>
\t<integer>1</integer>
\t<key>AutoRefresh</key>
\t<true/>
</dict>
</plist>
"""


def peak_kib(program, db, seconds):
    with tempfile.TemporaryDirectory(prefix="brindlex-rss-") as home:
        env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
        env.update(HOME=home, XDG_DATA_HOME=f"{home}/.local/share", XDG_CACHE_HOME=f"{home}/.cache",
                   XDG_CONFIG_HOME=f"{home}/.config", XDG_RUNTIME_DIR=f"{home}/.runtime", QT_QPA_PLATFORM="offscreen")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        prefs_dir = f"{home}/.local/share/BrindleX/Preferences"
        os.makedirs(prefs_dir)
        with open(f"{prefs_dir}/Brindle.plist", "w") as f:
            f.write(PREFS.format(db=os.path.abspath(db)))
        proc = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        peak = 0
        opened = False   # the database seen among the program's open files: the preferences took effect
        end = time.monotonic() + seconds
        while time.monotonic() < end and proc.poll() is None:
            time.sleep(0.1)
            try:
                with open(f"/proc/{proc.pid}/status") as status:
                    for line in status:
                        if line.startswith("VmHWM:"):
                            peak = max(peak, int(line.split()[1]))
                if not opened:
                    for fd in os.listdir(f"/proc/{proc.pid}/fd"):
                        try:
                            opened |= os.readlink(f"/proc/{proc.pid}/fd/{fd}") == os.path.realpath(db)
                        except OSError:
                            pass
            except FileNotFoundError:
                break
        if proc.poll() is not None:
            sys.exit(f"{program} ended early with status {proc.returncode} on {db}")
        if not opened:
            sys.exit(f"{program} never opened {db}")
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
        return peak


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("program")
    ap.add_argument("large")
    ap.add_argument("empty")
    ap.add_argument("--seconds", type=float, default=6)
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    large, empty = [], []
    for _ in range(args.runs):   # alternated, so that both see the same machine
        empty.append(peak_kib(args.program, args.empty, args.seconds))
        large.append(peak_kib(args.program, args.large, args.seconds))
    e, l = statistics.median(empty), statistics.median(large)
    diff = (l - e) / 1024
    print(f"peak RSS over {args.seconds:g} s, refreshing every second (median of {args.runs} runs)")
    print(f"  empty database {e / 1024:.1f} MiB   (runs: {', '.join(f'{x / 1024:.1f}' for x in empty)})")
    print(f"  large database {l / 1024:.1f} MiB   (runs: {', '.join(f'{x / 1024:.1f}' for x in large)})")
    print(f"  difference {diff:.1f} MiB (target <= 30 MiB): {'met' if diff <= 30 else 'MISSED'}")
    return 0 if diff <= 30 else 1


if __name__ == "__main__":
    sys.exit(main())
