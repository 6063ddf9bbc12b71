#!/usr/bin/env python3
"""plistlib's load and save of FILE, N times; prints each pair's milliseconds on its own line.

  plistlib_bench.py FILE N
  plistlib_bench.py FILE --same-as OTHER    prints "same" when both files hold equal values, else "different"
"""
import io
import plistlib
import sys
import time

path = sys.argv[1]
if sys.argv[2] == "--same-as":
    with open(path, "rb") as a, open(sys.argv[3], "rb") as b:
        print("same" if plistlib.load(a) == plistlib.load(b) else "different")
    sys.exit(0)
rounds = int(sys.argv[2])
for _ in range(rounds):
    start = time.perf_counter()
    with open(path, "rb") as f:
        value = plistlib.load(f)
    out = io.BytesIO()
    plistlib.dump(value, out, sort_keys=False)
    with open(path + ".plistlib-out", "wb") as f:
        f.write(out.getvalue())
    print(f"{(time.perf_counter() - start) * 1000:.3f}", flush=True)
